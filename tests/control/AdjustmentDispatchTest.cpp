// The adjustment objects as a container sees them without any device: their interfaces, the
// DISPIDs and names bound through GetIDsOfNames and Invoke, read-only members, the default
// member, the type information the control's type library takes from them, and the fields a
// write keeps when nothing can be reached.
#include <gtest/gtest.h>

#include <set>

#include "control/Adjustment.h"
#include "engine/CaptureSession.h"
#include "platform/com/DispatchDriver.h"

namespace {

DISPID IdOf(IDispatch* object, const char* name) {
    DISPID id = DISPID_UNKNOWN;
    const char* names[] = {name};
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
}

int32_t GetLong(const DispatchDriver& driver, const char* name) {
    Variant v;
    EXPECT_EQ(driver.GetProperty(name, &v), S_OK) << name;
    EXPECT_EQ(v.Type(), VT_I4) << name;
    int64_t n = 0;
    v.GetInteger(&n);
    return static_cast<int32_t>(n);
}

}  // namespace

TEST(AdjustmentDispatch, EveryKindAnswersItsOwnInterfaceAndBindsItsMembersAtTheTablesDispids) {
    CCaptureSession session;
    std::set<Guid> iids;
    for (const AdjustmentInfo& info : AllAdjustments()) {
        SCOPED_TRACE(info.property);
        ComPtr<IDispatch> object = CreateAdjustment(info.kind, &session);
        ASSERT_TRUE(object);
        EXPECT_TRUE(iids.insert(info.iid).second);
        void* p = nullptr;
        ASSERT_EQ(object->QueryInterface(info.iid, &p), S_OK);
        static_cast<IUnknown*>(p)->Release();
        // Not another adjustment's interface.
        const AdjustmentInfo& other =
            AllAdjustments()[(static_cast<size_t>(info.kind) + 1) % kAdjustmentCount];
        EXPECT_EQ(object->QueryInterface(other.iid, &p), E_NOINTERFACE);

        const AdjustmentDispids& d = info.dispids;
        EXPECT_EQ(IdOf(object.Get(), "Min"), d.min);
        EXPECT_EQ(IdOf(object.Get(), "max"), d.max);  // names compare without case
        EXPECT_EQ(IdOf(object.Get(), "Default"), d.defaultValue);
        EXPECT_EQ(IdOf(object.Get(), "Value"), d.value);
        EXPECT_EQ(IdOf(object.Get(), "StepSize"), d.stepSize);
        EXPECT_EQ(IdOf(object.Get(), "Auto"), d.isAuto);
        EXPECT_EQ(IdOf(object.Get(), "Available"), d.available);
        EXPECT_EQ(IdOf(object.Get(), "_Value"), DISPID_VALUE);

        // Invoke by DISPID: a write through the Value DISPID reads back through DISPID 0 and
        // through the name, and nothing else moved.
        DispatchDriver driver(object);
        ASSERT_EQ(
            driver.PutProperty(d.value, Variant(int32_t{40 + static_cast<int32_t>(info.kind)})),
            S_OK);
        Variant v;
        ASSERT_EQ(driver.GetProperty(DISPID_VALUE, &v), S_OK);
        EXPECT_EQ(v.Type(), VT_I4);
        EXPECT_EQ(GetLong(driver, "Value"), 40 + static_cast<int32_t>(info.kind));
        ASSERT_EQ(driver.PutProperty(DISPID_VALUE, Variant(int32_t{-7})), S_OK);
        EXPECT_EQ(GetLong(driver, "Value"), -7);
        ASSERT_EQ(driver.GetProperty(d.isAuto, &v), S_OK);
        EXPECT_EQ(v.Type(), VT_BOOL);
        EXPECT_EQ(v.Bool(), 0);
        ASSERT_EQ(driver.GetProperty(d.available, &v), S_OK);
        EXPECT_EQ(v.Type(), VT_BOOL);
        EXPECT_EQ(v.Bool(), 0);
        // A DISPID no member has.
        EXPECT_EQ(driver.GetProperty(8, &v), DISP_E_MEMBERNOTFOUND);
    }
    EXPECT_EQ(iids.size(), kAdjustmentCount);
}

TEST(AdjustmentDispatch, OnlyValueCanBeWrittenTheOthersFailWithSetNotSupportedAndKeepTheirValue) {
    CCaptureSession session;
    ComPtr<IDispatch> object = CreateAdjustment(AdjustmentKind::Tilt, &session);
    DispatchDriver driver(object);
    for (const char* name : {"Min", "Max", "Default", "StepSize", "Auto", "Available"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(driver.PutProperty(name, Variant(int32_t{1})), CTL_E_SETNOTSUPPORTED);
    }
    EXPECT_EQ(GetLong(driver, "Min"), 0);
    Variant v;
    ASSERT_EQ(driver.GetProperty("Auto", &v), S_OK);
    EXPECT_EQ(v.Bool(), 0);
    EXPECT_EQ(driver.PutProperty("Value", Variant("12")),
              S_OK);  // converted like any long argument
    EXPECT_EQ(GetLong(driver, "Value"), 12);
    EXPECT_EQ(driver.PutProperty("Value", Variant("twelve")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(GetLong(driver, "Value"), 12);
}

TEST(AdjustmentDispatch, WithoutAGraphReadsReturnTheStoredFieldsAndAvailableAndAutoAreFalse) {
    CCaptureSession session;  // never started: no graph
    ComPtr<IDispatch> brightness = CreateAdjustment(AdjustmentKind::Brightness, &session);
    DispatchDriver driver(brightness);
    Variant v;
    ASSERT_EQ(driver.GetProperty("Available", &v), S_OK);
    EXPECT_EQ(v.Bool(), 0);
    ASSERT_EQ(driver.GetProperty("Auto", &v), S_OK);
    EXPECT_EQ(v.Bool(), 0);
    for (const char* name : {"Min", "Max", "Default", "StepSize", "Value"})
        EXPECT_EQ(GetLong(driver, name), 0) << name;
    ASSERT_EQ(driver.PutProperty("Value", Variant(int32_t{33})), S_OK);
    EXPECT_EQ(GetLong(driver, "Value"), 33);
    // Each object keeps its own fields.
    DispatchDriver contrast(CreateAdjustment(AdjustmentKind::Contrast, &session));
    EXPECT_EQ(GetLong(contrast, "Value"), 0);
}

TEST(AdjustmentDispatch, AnObjectThatOutlivesItsSessionAnswersFromItsFields) {
    ComPtr<IDispatch> focus;
    {
        CCaptureSession session;
        focus = CreateAdjustment(AdjustmentKind::Focus, &session);
        DispatchDriver(focus).PutProperty("Value", Variant(int32_t{5}));
        DetachAdjustment(focus.Get());
    }
    DispatchDriver driver(focus);
    EXPECT_EQ(GetLong(driver, "Value"), 5);
    EXPECT_EQ(driver.PutProperty("Value", Variant(int32_t{6})), S_OK);
    EXPECT_EQ(GetLong(driver, "Value"), 6);
    EXPECT_EQ(GetLong(driver, "Max"), 0);
}

TEST(AdjustmentDispatch, TypeInformationDescribesEachInterfaceAndANonCreatableCoclass) {
    std::vector<InterfaceDesc> interfaces = AdjustmentInterfaceDescriptions();
    std::vector<CoclassDesc> coclasses = AdjustmentCoclassDescriptions();
    ASSERT_EQ(interfaces.size(), kAdjustmentCount);
    ASSERT_EQ(coclasses.size(), kAdjustmentCount);
    for (size_t i = 0; i < kAdjustmentCount; ++i) {
        const AdjustmentInfo& info = AllAdjustments()[i];
        SCOPED_TRACE(info.property);
        const InterfaceDesc& desc = interfaces[i];
        EXPECT_EQ(desc.iid, info.iid);
        EXPECT_EQ(desc.name, std::string("I") + info.property);
        EXPECT_EQ(desc.kind, TKIND_DISPATCH);
        int gets = 0, puts = 0;
        for (const FuncDesc& f : desc.funcs) {
            if (f.invkind == INVOKE_PROPERTYGET) ++gets;
            if (f.invkind == INVOKE_PROPERTYPUT) {
                ++puts;
                EXPECT_TRUE(f.name == "Value" || f.name == "_Value") << f.name;
                EXPECT_EQ(f.memid, f.name == "Value" ? info.dispids.value : DISPID_VALUE);
            }
            if (f.name == "Auto" || f.name == "Available") {
                EXPECT_EQ(f.result.vt, VT_BOOL);
            }
            if (f.name == "Min" && f.invkind == INVOKE_PROPERTYGET) {
                EXPECT_EQ(f.memid, info.dispids.min);
                EXPECT_EQ(f.result.vt, VT_I4);
            }
        }
        EXPECT_EQ(gets, 8);  // seven members and _Value
        EXPECT_EQ(puts, 2);
        EXPECT_EQ(coclasses[i].clsid, info.coclassClsid);
        EXPECT_EQ(coclasses[i].name, info.property);
        EXPECT_EQ(coclasses[i].typeFlags & TYPEFLAG_FCANCREATE, 0);
        ASSERT_EQ(coclasses[i].interfaces.size(), 1u);
        EXPECT_EQ(coclasses[i].interfaces[0].iid, info.iid);
    }
    EXPECT_EQ(coclasses[0].clsid, MakeGuid("{6E513118-61A6-424E-B5FC-0A74C6F629E1}"));
    EXPECT_EQ(interfaces[15].iid, MakeGuid("{095BDAE6-D5FE-44E0-ACEB-F7ED47B60796}"));
    // The control declares Iris with its coclass, the sixteen others with their interfaces.
    EXPECT_EQ(AdjustmentPropertyType(AdjustmentKind::Iris), TypeDesc(VT_DISPATCH, "Iris"));
    EXPECT_EQ(AdjustmentPropertyType(AdjustmentKind::Zoom), TypeDesc(VT_DISPATCH, "IZoom"));
}

TEST(AdjustmentDispatch, KindsFollowTheControlsPropertiesAndTheirDevices) {
    int dispid = 8;
    for (const AdjustmentInfo& info : AllAdjustments()) {
        EXPECT_EQ(info.controlDispid, dispid++) << info.property;
        EXPECT_EQ(&AdjustmentInfoOf(info.kind), &info);
        EXPECT_EQ(AdjustmentInfoByIid(info.iid), &info);
    }
    EXPECT_EQ(AdjustmentInfoOf(AdjustmentKind::Gain).device, AdjustmentDevice::ProcAmp);
    EXPECT_EQ(AdjustmentInfoOf(AdjustmentKind::Gain).propertyId, 9);
    EXPECT_EQ(AdjustmentInfoOf(AdjustmentKind::Pan).device, AdjustmentDevice::Camera);
    EXPECT_EQ(AdjustmentInfoOf(AdjustmentKind::Iris).propertyId, 5);
    EXPECT_EQ(AdjustmentInfoByIid(IDispatch::iid), nullptr);
}
