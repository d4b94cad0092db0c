#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/com/DispatchDriver.h"
#include "platform/com/DispatchMap.h"
#include "platform/com/DispatchObject.h"
#include "platform/com/EnumVariant.h"
#include "tests/platform/com/AutomationTestObjects.h"

using automation_test::RefCount;
using automation_test::ValueObject;

namespace {

struct _DRecorder : IDispatch {
    static constexpr IID iid = MakeGuid("{6D3A1F20-8C4B-4E77-9B05-1A2C3D4E5F60}");
    using Base = IDispatch;

protected:
    ~_DRecorder() = default;
};

// A control-like object: properties of every kind, methods with and without parameters.
class Recorder final : public DispatchObject<Recorder, _DRecorder> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t device = 0;
    BOOL captureMode = FALSE;
    std::string fileName;
    OLE_COLOR textColor = 255;
    std::string name = "recorder";
    ComPtr<IDispatch> devices = MakeCom<ValueObject>(Variant("devices"));
    ComPtr<IDispatch> picture;
    std::vector<std::string> calls;
    // Run by Drop(): lets a handler release the caller's reference.
    std::function<void()> onDrop;

private:
    int16_t GetDevice() const { return device; }
    void SetDevice(int16_t value) { device = value; }
    BOOL SnapShot(const std::string& file) {
        if (file == "/no/such/folder/x.bmp") {
            throw DispatchException(MakeHResult(0x800A004C), "Path not found", "Recorder");
        }
        if (file.empty()) throw DispatchError(E_INVALIDARG);
        calls.push_back("SnapShot " + file);
        return 240;
    }
    BOOL SnapShotJPEG(const std::string& file, int16_t quality) {
        calls.push_back("SnapShotJPEG " + file + " " + std::to_string(quality));
        return TRUE;
    }
};

const DispatchTable& Recorder::GetDispatchTable() {
    static const DispatchTable table = [] {
        DispatchMap<Recorder> map(_DRecorder::iid, "_DRecorder", "Dispatch interface for Recorder");
        map.Property(1, "Device", &Recorder::GetDevice, &Recorder::SetDevice);
        map.Property(
               6, "CaptureMode", [](Recorder& r) { return r.captureMode; },
               [](Recorder& r, BOOL value) { r.captureMode = value; })
            .Type(VT_BOOL);
        map.Property(
            7, "CaptureFileName", [](Recorder& r) { return r.fileName; },
            [](Recorder& r, const std::string& value) { r.fileName = value; });
        map.Property(3, "Devices", [](Recorder& r) { return r.devices; });
        map.Property(
               47, "TextColor", [](Recorder& r) { return r.textColor; },
               [](Recorder& r, OLE_COLOR value) { r.textColor = value; })
            .Type(TypeDesc::OleColor());
        map.Property(
               20, "Picture", [](Recorder& r) { return r.picture; },
               [](Recorder& r, ComPtr<IDispatch> value) { r.picture = value; })
            .Type(TypeDesc(VT_DISPATCH, "IPictureDisp*"));
        map.Property(
               10, "Name", [](Recorder& r) { return r.name; },
               [](Recorder& r, std::string_view value) { r.name = value; })
            .Default();
        map.Method(80, "SnapShot", &Recorder::SnapShot).Params({"strFileName"}).Type(VT_BOOL);
        map.Method(87, "SnapShotJPEG", &Recorder::SnapShotJPEG)
            .Params({"strFileName", "iJPEGQuality"})
            .Type(VT_BOOL);
        map.Method(4, "Item", [](Recorder&, const Variant& key) { return Variant(key.Describe()); })
            .Params({"Key"});
        map.Method(5, "Scale",
                   [](Recorder&, int32_t value, double factor) { return value * factor; })
            .Params({"value", {"factor", VT_R8, Variant(2.0)}});
        map.Method(8, "Tag",
                   [](Recorder&, const Variant& tag) {
                       return tag.IsMissing() ? Variant("none") : tag;
                   })
            .Params({ParamSpec::Optional("tag")});
        map.Property(
               DISPID_NEWENUM, "_NewEnum",
               [](Recorder&) {
                   return ComPtr<IUnknown>(EnumVariant::Create({Variant(1), Variant(2)}).Get());
               })
            .Restricted();
        map.Method(9, "Drop", [](Recorder& r) {
            if (r.onDrop) r.onDrop();
            r.calls.push_back("Drop");
        });
        map.Method(DISPID_ABOUTBOX, "AboutBox", [](Recorder& r) { r.calls.push_back("AboutBox"); })
            .Hidden();
        return map.Build();
    }();
    return table;
}

// One Invoke with arguments in declaration order; a put passes its value as the named argument.
struct Call {
    HRESULT hr = S_OK;
    Variant result;
    UINT argErr = 0xFFFFFFFF;
    EXCEPINFO excepInfo;
};

Call InvokeRaw(IDispatch* d, DISPID id, WORD flags, std::vector<Variant> args,
               std::vector<DISPID> named = {}) {
    Call call;
    std::vector<Variant> rgvarg(args.rbegin(), args.rend());
    DISPPARAMS params;
    params.rgvarg = rgvarg.empty() ? nullptr : rgvarg.data();
    params.cArgs = static_cast<UINT>(rgvarg.size());
    params.rgdispidNamedArgs = named.empty() ? nullptr : named.data();
    params.cNamedArgs = static_cast<UINT>(named.size());
    call.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &call.result,
                        &call.excepInfo, &call.argErr);
    return call;
}

Call Put(IDispatch* d, DISPID id, Variant value) {
    // The value is the only argument and the named one: it sits at rgvarg[0].
    return InvokeRaw(d, id, DISPATCH_PROPERTYPUT, {std::move(value)}, {DISPID_PROPERTYPUT});
}
Call Get(IDispatch* d, DISPID id) {
    return InvokeRaw(d, id, DISPATCH_PROPERTYGET, {});
}
Call Method(IDispatch* d, DISPID id, std::vector<Variant> args = {}) {
    return InvokeRaw(d, id, DISPATCH_METHOD, std::move(args));
}

}  // namespace

TEST(Dispatch, MembersAreReachedByDispidAndByName) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    ComPtr<IDispatch> d = QueryAs<IDispatch>(recorder.Get());
    ASSERT_TRUE(d);
    EXPECT_TRUE(QueryAs<_DRecorder>(recorder.Get()));

    EXPECT_EQ(Put(d.Get(), 1, Variant(int16_t{3})).hr, S_OK);
    EXPECT_EQ(recorder->device, 3);
    Call got = Get(d.Get(), 1);
    EXPECT_EQ(got.hr, S_OK);
    EXPECT_EQ(got.result, Variant(int16_t{3}));

    // Names compare without regard to case; further names are the member's parameters.
    const char* names[] = {"snapshotjpeg", "IJPEGQUALITY", "strFileName"};
    DISPID ids[3] = {};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], 87);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);

    DispatchDriver driver(d);
    EXPECT_EQ(driver.PutProperty("capturefilename", Variant("/tmp/a.avi")), S_OK);
    EXPECT_EQ(recorder->fileName, "/tmp/a.avi");
    Variant value;
    EXPECT_EQ(driver.GetProperty("CaptureFileName", &value), S_OK);
    EXPECT_EQ(value, Variant("/tmp/a.avi"));
    EXPECT_EQ(driver.Call("SnapShotJPEG", {Variant("/tmp/b.jpg"), Variant(75)}, &value), S_OK);
    EXPECT_EQ(value, Variant(true));
    EXPECT_EQ(driver.Call(DISPID_ABOUTBOX), S_OK);
    EXPECT_EQ(recorder->calls,
              (std::vector<std::string>{"SnapShotJPEG /tmp/b.jpg 75", "AboutBox"}));

    // Callers often pass both flags for a read; either kind of member answers it.
    EXPECT_EQ(InvokeRaw(d.Get(), 1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).result,
              Variant(int16_t{3}));
    EXPECT_EQ(InvokeRaw(d.Get(), 80, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant("f")}).result,
              Variant(true));
}

TEST(Dispatch, ArgumentsAreConvertedToTheDeclaredTypes) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());

    EXPECT_EQ(Put(d, 1, Variant(" 12 ")).hr, S_OK);
    EXPECT_EQ(recorder->device, 12);
    EXPECT_EQ(Put(d, 1, Variant(2.5)).hr, S_OK);
    EXPECT_EQ(recorder->device, 2);

    // BOOL: any non-zero value is TRUE in the object, VARIANT_TRUE on the way out.
    EXPECT_EQ(Put(d, 6, Variant(5)).hr, S_OK);
    EXPECT_EQ(recorder->captureMode, TRUE);
    EXPECT_EQ(Get(d, 6).result, Variant(true));
    EXPECT_EQ(Put(d, 6, Variant("False")).hr, S_OK);
    EXPECT_EQ(recorder->captureMode, FALSE);

    // A colour is a 32-bit pattern whichever sign it travels with.
    EXPECT_EQ(Put(d, 47, Variant(static_cast<int32_t>(0x80000005u))).hr, S_OK);
    EXPECT_EQ(recorder->textColor, 0x80000005u);
    EXPECT_EQ(Put(d, 47, Variant(uint32_t{0x80000008u})).hr, S_OK);
    EXPECT_EQ(recorder->textColor, 0x80000008u);
    EXPECT_EQ(Get(d, 47).result, Variant(static_cast<int32_t>(0x80000008u)));
    EXPECT_EQ(Put(d, 47, Variant(0x00FF00)).hr, S_OK);
    EXPECT_EQ(recorder->textColor, 0x00FF00u);

    // By-reference arguments are read through.
    int16_t quality = 90;
    EXPECT_EQ(Method(d, 87, {Variant("q.jpg"), Variant::MakeByRef(VT_I2, &quality)}).hr, S_OK);
    EXPECT_EQ(recorder->calls.back(), "SnapShotJPEG q.jpg 90");

    // A VT_VARIANT parameter sees the argument exactly as passed.
    std::string key = "first";
    EXPECT_EQ(Method(d, 4, {Variant::MakeByRef(VT_BSTR, &key)}).result,
              Variant("VT_BYREF|VT_BSTR"));
    EXPECT_EQ(Method(d, 4, {Variant(1)}).result, Variant("VT_I4 1"));

    // Object properties take objects, by put or by putref.
    ComPtr<ValueObject> picture = MakeCom<ValueObject>(Variant(1));
    EXPECT_EQ(InvokeRaw(d, 20, DISPATCH_PROPERTYPUTREF, {Variant::MakeDispatch(picture.Get())},
                        {DISPID_PROPERTYPUT})
                  .hr,
              S_OK);
    EXPECT_EQ(recorder->picture.Get(), static_cast<IDispatch*>(picture.Get()));
    EXPECT_EQ(Get(d, 20).result, Variant::MakeDispatch(picture.Get()));
}

TEST(Dispatch, ConversionFailuresNameTheArgument) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());
    recorder->device = 4;

    Call overflow = Put(d, 1, Variant(70000));
    EXPECT_EQ(overflow.hr, DISP_E_OVERFLOW);
    EXPECT_EQ(overflow.argErr, 0u);
    Call garbage = Put(d, 1, Variant("four"));
    EXPECT_EQ(garbage.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(garbage.argErr, 0u);
    EXPECT_EQ(recorder->device, 4);

    // Arguments travel last first: the second argument is rgvarg[0], the first rgvarg[1].
    Call second = Method(d, 87, {Variant("x.jpg"), Variant("high")});
    EXPECT_EQ(second.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(second.argErr, 0u);
    Call first = Method(d, 87, {Variant::MakeNull(), Variant(50)});
    EXPECT_EQ(first.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(first.argErr, 1u);
    Call object = Method(d, 87, {Variant::MakeDispatch(recorder->devices.Get()), Variant(50)});
    EXPECT_EQ(object.hr, S_OK);  // converted through the object's default member
    EXPECT_EQ(recorder->calls.back(), "SnapShotJPEG devices 50");
    EXPECT_EQ(recorder->calls.size(), 1u);

    Call scalarIntoObject = Put(d, 20, Variant(5));
    EXPECT_EQ(scalarIntoObject.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(scalarIntoObject.argErr, 0u);
}

TEST(Dispatch, EveryMisuseGivesItsCode) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());

    EXPECT_EQ(Get(d, 999).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Method(d, -999).hr, DISP_E_MEMBERNOTFOUND);

    const char* unknown[] = {"NoSuchMember"};
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    const char* badParam[] = {"SnapShot", "strFileName", "iNoSuch"};
    DISPID ids[3] = {};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, badParam, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 80);
    EXPECT_EQ(ids[1], 0);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    const Guid someIid = MakeGuid("{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(d->GetIDsOfNames(someIid, unknown, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);

    // Wrong kind of call for the member.
    EXPECT_EQ(InvokeRaw(d, 80, DISPATCH_PROPERTYGET, {Variant("f")}).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(InvokeRaw(d, 1, DISPATCH_METHOD, {}).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(InvokeRaw(d, 80, DISPATCH_PROPERTYPUT, {Variant("f")}, {DISPID_PROPERTYPUT}).hr,
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(
        InvokeRaw(d, 1, DISPATCH_PROPERTYPUTREF, {Variant(int16_t{1})}, {DISPID_PROPERTYPUT}).hr,
        DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(InvokeRaw(d, 1, 0, {}).hr, DISP_E_MEMBERNOTFOUND);

    // Argument counts.
    EXPECT_EQ(Method(d, 87, {Variant("a"), Variant(1), Variant(2)}).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Method(d, 87, {Variant("a")}).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Method(d, 80).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(InvokeRaw(d, 1, DISPATCH_PROPERTYGET, {Variant(1)}).hr, DISP_E_BADPARAMCOUNT);

    // A required parameter passed as "missing", or left out among named arguments.
    Call missing = Method(d, 87, {Variant::MakeMissing(), Variant(1)});
    EXPECT_EQ(missing.hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(missing.argErr, 1u);
    EXPECT_EQ(InvokeRaw(d, 87, DISPATCH_METHOD, {Variant(1)}, {1}).hr, DISP_E_PARAMNOTOPTIONAL);

    // A put needs its value as the named DISPID_PROPERTYPUT argument.
    EXPECT_EQ(InvokeRaw(d, 1, DISPATCH_PROPERTYPUT, {Variant(int16_t{1})}).hr,
              DISP_E_PARAMNOTOPTIONAL);

    // A named argument that names no parameter.
    Call badNamed = InvokeRaw(d, 87, DISPATCH_METHOD, {Variant("a"), Variant(2)}, {7});
    EXPECT_EQ(badNamed.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(badNamed.argErr, 0u);
    EXPECT_EQ(InvokeRaw(d, 80, DISPATCH_METHOD, {Variant("a")}, {DISPID_PROPERTYPUT}).hr,
              DISP_E_PARAMNOTFOUND);

    // Malformed argument blocks and interfaces.
    EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr),
              E_INVALIDARG);
    DISPPARAMS broken;
    broken.cArgs = 2;
    EXPECT_EQ(d->Invoke(80, IID_NULL, 0, DISPATCH_METHOD, &broken, nullptr, nullptr, nullptr),
              E_INVALIDARG);
    DISPPARAMS none;
    EXPECT_EQ(d->Invoke(1, someIid, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_TRUE(recorder->calls.empty());
}

TEST(Dispatch, PutOnAReadOnlyPropertyIsSetNotSupported) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());
    IDispatch* before = recorder->devices.Get();

    Call put = Put(d, 3, Variant::MakeDispatch(nullptr));
    EXPECT_EQ(put.hr, MakeHResult(0x800A017F));
    EXPECT_EQ(put.hr, CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(put.excepInfo.scode, CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(recorder->devices.Get(), before);
    EXPECT_EQ(InvokeRaw(d, 3, DISPATCH_PROPERTYPUTREF, {Variant::MakeDispatch(nullptr)},
                        {DISPID_PROPERTYPUT})
                  .hr,
              CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(Put(d, DISPID_NEWENUM, Variant()).hr, CTL_E_SETNOTSUPPORTED);
    // Reading still works.
    EXPECT_EQ(Get(d, 3).result, Variant::MakeDispatch(before));
}

TEST(Dispatch, NamedAndOptionalArguments) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());

    // Named arguments come first in rgvarg, paired with their parameter positions.
    Call named = InvokeRaw(d, 87, DISPATCH_METHOD, {Variant("n.jpg"), Variant(int16_t{33})}, {1});
    EXPECT_EQ(named.hr, S_OK);
    EXPECT_EQ(recorder->calls.back(), "SnapShotJPEG n.jpg 33");
    Call allNamed =
        InvokeRaw(d, 87, DISPATCH_METHOD, {Variant(int16_t{44}), Variant("m.jpg")}, {0, 1});
    EXPECT_EQ(allNamed.hr, S_OK);
    EXPECT_EQ(recorder->calls.back(), "SnapShotJPEG m.jpg 44");

    EXPECT_EQ(Method(d, 5, {Variant(3)}).result, Variant(6.0));
    EXPECT_EQ(Method(d, 5, {Variant(3), Variant("0.5")}).result, Variant(1.5));
    EXPECT_EQ(Method(d, 5, {Variant(3), Variant::MakeMissing()}).result, Variant(6.0));
    EXPECT_EQ(Method(d, 8).result, Variant("none"));
    EXPECT_EQ(Method(d, 8, {Variant(9)}).result, Variant(9));
}

TEST(Dispatch, HandlersFailWithErrorsOrAutomationExceptions) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());

    Call ok = Method(d, 80, {Variant("/tmp/s.bmp")});
    EXPECT_EQ(ok.hr, S_OK);
    EXPECT_EQ(ok.result, Variant(true));  // BOOL 240: non-zero, VARIANT_TRUE on the way out

    Call exception = Method(d, 80, {Variant("/no/such/folder/x.bmp")});
    EXPECT_EQ(exception.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(exception.excepInfo.scode, MakeHResult(0x800A004C));
    EXPECT_EQ(exception.excepInfo.bstrDescription, "Path not found");
    EXPECT_EQ(exception.excepInfo.bstrSource, "Recorder");
    EXPECT_TRUE(exception.result.IsEmpty());

    EXPECT_EQ(Method(d, 80, {Variant("")}).hr, E_INVALIDARG);
}

TEST(Dispatch, DefaultMemberAnswersDispidValue) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());
    EXPECT_EQ(Get(d, DISPID_VALUE).result, Variant("recorder"));
    EXPECT_EQ(Put(d, DISPID_VALUE, Variant(7)).hr, S_OK);
    EXPECT_EQ(recorder->name, "7");
    Variant object = Variant::MakeDispatch(d);
    EXPECT_EQ(object.ChangeType(VT_I4), S_OK);
    EXPECT_EQ(object, Variant(7));
}

TEST(Dispatch, TheObjectOutlivesAHandlerThatDropsIt) {
    IDispatch* d = nullptr;
    {
        ComPtr<Recorder> recorder = MakeCom<Recorder>();
        d = static_cast<_DRecorder*>(recorder.Detach());
    }
    auto* recorder = static_cast<Recorder*>(static_cast<_DRecorder*>(d));
    recorder->onDrop = [d] { EXPECT_EQ(d->Release(), 1u); };  // the call's own reference remains
    int before = com_detail::ModuleObjectCount();
    EXPECT_EQ(Method(d, 9).hr, S_OK);
    EXPECT_LT(com_detail::ModuleObjectCount(), before);
}

TEST(Dispatch, TypeInfoDescribesTheMap) {
    ComPtr<Recorder> recorder = MakeCom<Recorder>();
    IDispatch* d = static_cast<_DRecorder*>(recorder.Get());
    UINT count = 0;
    EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(d->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(d->GetTypeInfo(1, 0, info.ReleaseAndGetAddressOf()), DISP_E_BADINDEX);
    ASSERT_EQ(d->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf()), S_OK);

    TYPEATTR attr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr.guid, _DRecorder::iid);
    EXPECT_EQ(attr.typekind, TKIND_DISPATCH);
    // 6 writable properties give two entries each, 2 read-only ones one, 7 methods one.
    EXPECT_EQ(attr.cFuncs, 6 * 2 + 2 + 7);

    std::vector<FuncDesc> funcs(attr.cFuncs);
    for (UINT i = 0; i < attr.cFuncs; ++i) ASSERT_EQ(info->GetFuncDesc(i, &funcs[i]), S_OK);
    FuncDesc past;
    EXPECT_EQ(info->GetFuncDesc(attr.cFuncs, &past), TYPE_E_ELEMENTNOTFOUND);
    auto find = [&](MEMBERID id, INVOKEKIND kind) -> const FuncDesc* {
        for (const FuncDesc& f : funcs) {
            if (f.memid == id && f.invkind == kind) return &f;
        }
        return nullptr;
    };
    ASSERT_TRUE(find(1, INVOKE_PROPERTYGET));
    EXPECT_EQ(find(1, INVOKE_PROPERTYGET)->result.vt, VT_I2);
    ASSERT_TRUE(find(1, INVOKE_PROPERTYPUT));
    EXPECT_EQ(find(1, INVOKE_PROPERTYPUT)->params.back().type.vt, VT_I2);
    EXPECT_TRUE(find(3, INVOKE_PROPERTYGET));
    EXPECT_FALSE(find(3, INVOKE_PROPERTYPUT));
    EXPECT_FALSE(find(3, INVOKE_PROPERTYPUTREF));
    EXPECT_TRUE(find(20, INVOKE_PROPERTYPUTREF));
    EXPECT_EQ(find(6, INVOKE_PROPERTYGET)->result.vt, VT_BOOL);
    EXPECT_EQ(find(47, INVOKE_PROPERTYGET)->result.Spelling(), "OLE_COLOR");
    const FuncDesc* jpeg = find(87, INVOKE_FUNC);
    ASSERT_TRUE(jpeg);
    ASSERT_EQ(jpeg->params.size(), 2u);
    EXPECT_EQ(jpeg->params[0].name, "strFileName");
    EXPECT_EQ(jpeg->params[0].type.vt, VT_BSTR);
    EXPECT_EQ(jpeg->params[1].name, "iJPEGQuality");
    EXPECT_EQ(jpeg->params[1].type.vt, VT_I2);
    EXPECT_EQ(jpeg->result.vt, VT_BOOL);
    EXPECT_EQ(find(DISPID_NEWENUM, INVOKE_PROPERTYGET)->flags & FUNCFLAG_FRESTRICTED,
              FUNCFLAG_FRESTRICTED);
    EXPECT_EQ(find(DISPID_ABOUTBOX, INVOKE_FUNC)->flags & FUNCFLAG_FHIDDEN, FUNCFLAG_FHIDDEN);
    EXPECT_EQ(find(DISPID_ABOUTBOX, INVOKE_FUNC)->result.vt, VT_VOID);
    EXPECT_EQ(find(10, INVOKE_PROPERTYGET)->flags & FUNCFLAG_FUIDEFAULT, FUNCFLAG_FUIDEFAULT);
    const FuncDesc* scale = find(5, INVOKE_FUNC);
    ASSERT_TRUE(scale && scale->params.size() == 2);
    EXPECT_TRUE(scale->params[1].flags & PARAMFLAG_FOPT);
    EXPECT_EQ(scale->params[1].defaultValue, Variant(2.0));
    EXPECT_EQ(scale->OptionalParamCount(), 1u);

    // The type info binds names exactly as the object does.
    const char* names[] = {"SNAPSHOTJPEG", "iJPEGQuality"};
    MEMBERID ids[2] = {};
    EXPECT_EQ(info->GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 87);
    EXPECT_EQ(ids[1], 1);
    BSTR memberNames[4];
    UINT got = 0;
    EXPECT_EQ(info->GetNames(87, memberNames, 4, &got), S_OK);
    ASSERT_EQ(got, 3u);
    EXPECT_EQ(memberNames[0], "SnapShotJPEG");
    EXPECT_EQ(memberNames[2], "iJPEGQuality");
    BSTR docName;
    BSTR doc;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &docName, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(docName, "_DRecorder");
    EXPECT_EQ(doc, "Dispatch interface for Recorder");
}

TEST(DispatchMap, ListsEachMemberOnce) {
    struct Thing {
        int16_t Value() const { return 0; }
    };
    DispatchMap<Thing> sameId(_DRecorder::iid, "_DThing");
    sameId.Property(1, "A", &Thing::Value);
    sameId.Property(1, "B", &Thing::Value);
    EXPECT_THROW(sameId.Build(), std::logic_error);

    DispatchMap<Thing> sameName(_DRecorder::iid, "_DThing");
    sameName.Property(1, "Value", &Thing::Value);
    sameName.Property(2, "VALUE", &Thing::Value);
    EXPECT_THROW(sameName.Build(), std::logic_error);

    DispatchMap<Thing> twoDefaults(_DRecorder::iid, "_DThing");
    twoDefaults.Property(1, "A", &Thing::Value).Default();
    twoDefaults.Property(2, "B", &Thing::Value).Default();
    EXPECT_THROW(twoDefaults.Build(), std::logic_error);

    DispatchMap<Thing> wrongParams(_DRecorder::iid, "_DThing");
    EXPECT_THROW(wrongParams.Method(3, "M", [](Thing&, int32_t) {}).Params({"a", "b"}),
                 std::logic_error);
    DispatchMap<Thing> requiredAfterOptional(_DRecorder::iid, "_DThing");
    requiredAfterOptional.Method(3, "M", [](Thing&, int32_t, int32_t) {})
        .Params({{"a", VT_I4, Variant(1)}, "b"});
    EXPECT_THROW(requiredAfterOptional.Build(), std::logic_error);
}
