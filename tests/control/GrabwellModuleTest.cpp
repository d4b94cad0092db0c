// Grabwell.so as start-up registration and containers see it: loaded from the program folder,
// registered into the registry store with its type library, read back through LoadRegTypeLib
// alone, unregistered, and asked for its two classes by class identifier.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <set>

#include "control/LumicorIds.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/OleInterfaces.h"
#include "platform/com/TypeLibRegistration.h"
#include "platform/devices/PropertyPageInterfaces.h"
#include "platform/os/RegistryStore.h"
#include "tests/control/LumicorExpectedMembers.h"
#include "tests/control/TypeLibReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

const std::string kControlKey = "CLSID\\" + CLSID_Lumicor.ToString();
const std::string kPageKey = "CLSID\\" + CLSID_LumicorPropPage.ToString();
const std::string kLibKey = "TypeLib\\" + LIBID_LUMICORLib.ToString();

class GrabwellModule : public testing::Test {
protected:
    void SetUp() override {
        path_ = testing_support::DistDir() / "Grabwell.so";
        ASSERT_EQ(LoadModule(path_, module_), S_OK) << LastModuleError();
        register_ = GetProcAddressAs<DllRegisterServerFn>(module_, "DllRegisterServer");
        unregister_ = GetProcAddressAs<DllUnregisterServerFn>(module_, "DllUnregisterServer");
        canUnload_ = GetProcAddressAs<DllCanUnloadNowFn>(module_, "DllCanUnloadNow");
        getClassObject_ = GetProcAddressAs<DllGetClassObjectFn>(module_, "DllGetClassObject");
        ASSERT_TRUE(register_ && unregister_ && canUnload_ && getClassObject_);
    }
    void TearDown() override { FreeLibrary(module_); }

    std::string Value(const std::string& key, const std::string& name = "") const {
        return RegistryStore::Default().GetString(HKEY_CLASSES_ROOT, key, name).value_or("<none>");
    }
    bool Exists(const std::string& key) const {
        return RegistryStore::Default().KeyExists(HKEY_CLASSES_ROOT, key);
    }
    bool SamePath(const std::string& value) const {
        std::error_code error;
        return std::filesystem::equivalent(value, path_, error);
    }

    // Points the registry store at a path whose folder is a plain file: nothing can be read or
    // written there, whoever runs the test.
    void MakeStoreUnwritable() {
        std::filesystem::path blocker = testing_support::TestEnvironment::Current().Dir() / "blocker";
        std::ofstream(blocker) << "not a folder";
        setenv("ORVANTA_REGISTRY", (blocker / "registry").c_str(), 1);
    }
    void RestoreStore() {
        setenv("ORVANTA_REGISTRY",
               testing_support::TestEnvironment::Current().RegistryFile().c_str(), 1);
    }

    std::filesystem::path path_;
    HMODULE module_ = nullptr;
    DllRegisterServerFn register_ = nullptr;
    DllUnregisterServerFn unregister_ = nullptr;
    DllCanUnloadNowFn canUnload_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
};

ComPtr<ITypeLib> LoadRegistered() {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_LUMICORLib, 1, 0, 1033, lib.ReleaseAndGetAddressOf()), S_OK);
    return lib;
}

// One interface of the registered library against the independent list of its members.
void ExpectMembers(const typelib_reader::Type& type,
                   const std::vector<lumicor_expected::Member>& expected) {
    EXPECT_EQ(type.members.size(), expected.size());
    for (const lumicor_expected::Member& e : expected) {
        SCOPED_TRACE(e.name);
        auto found = type.members.find(e.name);
        ASSERT_NE(found, type.members.end());
        const typelib_reader::Member& m = found->second;
        ASSERT_TRUE(m.hasGet);
        EXPECT_EQ(m.get.memid, e.id);
        EXPECT_EQ(m.get.invkind, e.method ? INVOKE_FUNC : INVOKE_PROPERTYGET);
        EXPECT_EQ(m.get.result.vt, e.vt);
        if (*e.declared) {
            EXPECT_EQ(m.get.result.name, e.declared);
        }
        EXPECT_EQ(m.hasPut, !e.method && !e.readOnly);
        if (m.hasPut) {
            EXPECT_EQ(m.put.memid, e.id);
            ASSERT_EQ(m.put.params.size(), 1u);
            EXPECT_EQ(m.put.params[0].type.vt, e.vt);
        }
        ASSERT_EQ(m.get.params.size(), e.params.size());
        ASSERT_EQ(m.names.size(), 1 + (e.method ? e.params.size() : 0));
        EXPECT_EQ(m.names[0], e.name);
        for (size_t i = 0; i < e.params.size(); ++i) {
            EXPECT_EQ(m.get.params[i].name, e.params[i].name);
            EXPECT_EQ(m.get.params[i].type.vt, e.params[i].vt) << e.params[i].name;
            EXPECT_EQ(m.names[1 + i], e.params[i].name);
        }
    }
}

}  // namespace

TEST_F(GrabwellModule, RegistersTheControlThePageAndTheLibraryUnderTheirKeys) {
    ASSERT_EQ(register_(), S_OK);

    EXPECT_EQ(Value(kControlKey), "Lumicor Live Control");
    EXPECT_TRUE(SamePath(Value(kControlKey + "\\InprocServer32")));
    EXPECT_EQ(Value(kControlKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Value(kControlKey + "\\ProgID"), "LUMICOR.LumicorCtrl.1");
    EXPECT_EQ(Value("LUMICOR.LumicorCtrl.1\\CLSID"), CLSID_Lumicor.ToString());
    EXPECT_EQ(Value(kControlKey + "\\MiscStatus"), std::to_string(0x20191));
    EXPECT_EQ(Value(kControlKey + "\\TypeLib"), LIBID_LUMICORLib.ToString());
    EXPECT_EQ(Value(kControlKey + "\\Version"), "1.0");
    EXPECT_TRUE(Exists(kControlKey + "\\Control"));
    EXPECT_FALSE(Exists(kControlKey + "\\Insertable"));
    std::string toolbox = Value(kControlKey + "\\ToolboxBitmap32");
    ASSERT_GT(toolbox.size(), 3u);
    EXPECT_EQ(toolbox.substr(toolbox.size() - 3), ", 1");
    EXPECT_TRUE(SamePath(toolbox.substr(0, toolbox.size() - 3)));

    EXPECT_EQ(Value(kPageKey), "Lumicor Live Property Page");
    EXPECT_TRUE(SamePath(Value(kPageKey + "\\InprocServer32")));
    EXPECT_EQ(Value(kPageKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_FALSE(Exists(kPageKey + "\\Control"));
    EXPECT_EQ(Value(kPageKey + "\\ProgID"), "LUMICOR.LumicorPropPage.1");
    EXPECT_EQ(Value("LUMICOR.LumicorPropPage.1\\CLSID"), CLSID_LumicorPropPage.ToString());

    EXPECT_EQ(Value(kLibKey + "\\1.0"), "Lumicor Live ActiveX Control");
    EXPECT_TRUE(SamePath(Value(kLibKey + "\\1.0\\409\\linux")));
    EXPECT_EQ(Value("Interface\\" + DIID__DLumicor.ToString()), "_DLumicor");
    EXPECT_EQ(Value("Interface\\" + DIID__DLumicor.ToString() + "\\TypeLib"),
              LIBID_LUMICORLib.ToString());
    EXPECT_EQ(Value("Interface\\" + DIID__DLumicorEvents.ToString()), "_DLumicorEvents");
    EXPECT_EQ(RegisteredModulePath(CLSID_Lumicor), RegisteredModulePath(CLSID_LumicorPropPage));

    EXPECT_EQ(register_(), S_OK);  // again: the same keys, nothing doubled
    EXPECT_EQ(RegistryStore::Default().EnumSubKeys(HKEY_CLASSES_ROOT, kLibKey).size(), 1u);
}

TEST_F(GrabwellModule, RegisteredLibraryDescribesTheControlItsEventsAndEveryOtherType) {
    ASSERT_EQ(register_(), S_OK);
    ComPtr<ITypeLib> lib = LoadRegistered();
    ASSERT_TRUE(lib);

    TLIBATTR attr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr.guid, LIBID_LUMICORLib);
    EXPECT_EQ(attr.wMajorVerNum, 1);
    EXPECT_EQ(attr.wMinorVerNum, 0);
    EXPECT_EQ(attr.lcid, 1033u);
    BSTR name, help, file;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &help, nullptr, &file), S_OK);
    EXPECT_EQ(name, "LUMICORLib");
    EXPECT_EQ(help, "Lumicor Live ActiveX Control");
    EXPECT_EQ(file, "Lumicor.hlp");

    typelib_reader::Library read = typelib_reader::Read(lib.Get());
    ASSERT_TRUE(read.Has("_DLumicor"));
    ASSERT_TRUE(read.Has("_DLumicorEvents"));
    ASSERT_TRUE(read.Has("Lumicor"));
    const typelib_reader::Type& control = read.types.at("_DLumicor");
    EXPECT_EQ(control.attr.guid, DIID__DLumicor);
    EXPECT_EQ(control.attr.typekind, TKIND_DISPATCH);
    EXPECT_EQ(control.helpString, "Dispatch interface for Lumicor Control");
    {
        SCOPED_TRACE("_DLumicor");
        ExpectMembers(control, lumicor_expected::ControlMembers());
    }
    const typelib_reader::Type& events = read.types.at("_DLumicorEvents");
    EXPECT_EQ(events.attr.guid, DIID__DLumicorEvents);
    EXPECT_EQ(events.helpString, "Event interface for Lumicor Control");
    {
        SCOPED_TRACE("_DLumicorEvents");
        ExpectMembers(events, lumicor_expected::EventMembers());
    }

    // The coclass: default interface and default source, creatable, a control.
    const typelib_reader::Type& lumicor = read.types.at("Lumicor");
    EXPECT_EQ(lumicor.attr.guid, CLSID_Lumicor);
    EXPECT_EQ(lumicor.attr.typekind, TKIND_COCLASS);
    EXPECT_EQ(lumicor.helpString, "Lumicor Control");
    EXPECT_TRUE(lumicor.attr.wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_TRUE(lumicor.attr.wTypeFlags & TYPEFLAG_FCONTROL);
    ASSERT_EQ(lumicor.attr.cImplTypes, 2);
    std::map<Guid, INT> implemented;
    for (UINT i = 0; i < 2; ++i) {
        HREFTYPE ref = 0;
        INT flags = 0;
        ComPtr<ITypeInfo> itf;
        TYPEATTR itfAttr;
        ASSERT_EQ(lumicor.info->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(lumicor.info->GetImplTypeFlags(i, &flags), S_OK);
        ASSERT_EQ(lumicor.info->GetRefTypeInfo(ref, itf.ReleaseAndGetAddressOf()), S_OK);
        ASSERT_EQ(itf->GetTypeAttr(&itfAttr), S_OK);
        implemented[itfAttr.guid] = flags;
    }
    EXPECT_EQ(implemented[DIID__DLumicor], IMPLTYPEFLAG_FDEFAULT);
    EXPECT_EQ(implemented[DIID__DLumicorEvents], IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);

    // The collections', items', enumerators' and adjustments' types, and nothing besides.
    for (const std::string& itf : lumicor_expected::OtherInterfaceNames()) {
        ASSERT_TRUE(read.Has(itf)) << itf;
        EXPECT_EQ(read.types.at(itf).attr.typekind, TKIND_DISPATCH) << itf;
    }
    for (const std::string& coclass : lumicor_expected::OtherCoclassNames()) {
        ASSERT_TRUE(read.Has(coclass)) << coclass;
        const TYPEATTR& a = read.types.at(coclass).attr;
        EXPECT_EQ(a.typekind, TKIND_COCLASS) << coclass;
        EXPECT_FALSE(a.wTypeFlags & TYPEFLAG_FCANCREATE) << coclass;  // type information only
    }
    EXPECT_EQ(read.types.size(), 3 + lumicor_expected::OtherInterfaceNames().size() +
                                      lumicor_expected::OtherCoclassNames().size());

    for (const std::string& collection : lumicor_expected::CollectionInterfaceNames()) {
        SCOPED_TRACE(collection);
        const auto& members = read.types.at(collection).members;
        ASSERT_TRUE(members.count("Count") && members.count("Item") && members.count("_NewEnum"));
        EXPECT_EQ(members.at("Count").get.memid, 1);
        EXPECT_FALSE(members.at("Count").hasPut);
        EXPECT_EQ(members.at("_NewEnum").get.memid, DISPID_NEWENUM);
        EXPECT_TRUE(members.at("_NewEnum").get.flags & FUNCFLAG_FRESTRICTED);
        EXPECT_FALSE(members.at("Item").get.flags & FUNCFLAG_FRESTRICTED);
        ASSERT_EQ(members.at("Item").get.params.size(), 1u);
        EXPECT_EQ(members.at("Item").get.params[0].name, "Key");
    }
    EXPECT_EQ(read.types.at("IDevices").members.at("FindDevice").names,
              (std::vector<std::string>{"FindDevice", "strDeviceName"}));
    EXPECT_EQ(read.types.at("IAudioInputPins").members.at("SetMixLevel").names,
              (std::vector<std::string>{"SetMixLevel", "iIndex", "iMixLevel"}));

    // Every object type a member declares by name is a type of this library (or a platform one).
    const std::set<std::string> platformTypes = {"", "IDispatch", "IUnknown", "IPictureDisp",
                                                 "VARIANT"};
    for (const auto& [typeName, type] : read.types) {
        for (const auto& [memberName, member] : type.members) {
            const std::string& declared = member.get.result.name;
            if (member.get.result.IsObject() && !platformTypes.count(declared)) {
                EXPECT_TRUE(read.Has(declared)) << typeName << "." << memberName << ": " << declared;
            }
        }
    }
}

TEST_F(GrabwellModule, UnregisteringRemovesTheLibraryAndBothClassesAndTwiceIsHarmless) {
    ASSERT_EQ(register_(), S_OK);
    ASSERT_EQ(unregister_(), S_OK);
    EXPECT_FALSE(Exists(kControlKey));
    EXPECT_FALSE(Exists(kPageKey));
    EXPECT_FALSE(Exists("LUMICOR.LumicorCtrl.1"));
    EXPECT_FALSE(Exists(kLibKey));
    EXPECT_FALSE(Exists("Interface\\" + DIID__DLumicor.ToString()));
    EXPECT_FALSE(Exists("Interface\\" + DIID__DLumicorEvents.ToString()));
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_LUMICORLib, 1, 0, 1033, lib.ReleaseAndGetAddressOf()),
              TYPE_E_LIBNOTREGISTERED);
    ComPtr<IDispatch> control;
    EXPECT_EQ(CoCreateInstance(CLSID_Lumicor, nullptr, CLSCTX_INPROC_SERVER, &control),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(unregister_(), S_OK);  // nothing left to remove is no failure

    // Another library's and another class's keys stay.
    RegistryStore::Default().SetString(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}", "", "other");
    ASSERT_EQ(register_(), S_OK);
    ASSERT_EQ(unregister_(), S_OK);
    EXPECT_TRUE(Exists("CLSID\\{00000000-1111-2222-3333-444444444444}"));
}

TEST_F(GrabwellModule, AStoreThatCannotBeWrittenFailsWithTheSelfRegistrationCodes) {
    MakeStoreUnwritable();
    // The library is registered first, so its failure is the one reported.
    EXPECT_EQ(register_(), SELFREG_E_TYPELIB);
    // No library can be found there, so unregistration gets as far as the classes.
    EXPECT_EQ(unregister_(), SELFREG_E_CLASS);
    RestoreStore();
    EXPECT_FALSE(Exists(kControlKey));
    EXPECT_EQ(register_(), S_OK);
}

TEST_F(GrabwellModule, HandsOutClassObjectsForTheControlAndThePageOnly) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject_(CLSID_LumicorPropPage, IID_IClassFactory,
                              factory.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(canUnload_(), S_FALSE);  // a factory is a live object of the module
    ComPtr<IPropertyPage> page;
    ASSERT_EQ(factory->CreateInstance(nullptr, IPropertyPage::iid, page.ReleaseAndGetVoidAddress()), S_OK);
    PROPPAGEINFO info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.title, "General");
    ComPtr<IUnknown> outer;
    EXPECT_EQ(factory->CreateInstance(page.Get(), IID_IUnknown, outer.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);

    // A server lock outlives the factory that took it; one unlock too many is refused.
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    page.Reset();
    factory.Reset();
    EXPECT_EQ(canUnload_(), S_FALSE);
    ASSERT_EQ(getClassObject_(CLSID_LumicorPropPage, IID_IClassFactory,
                              factory.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), E_UNEXPECTED);
    factory.Reset();
    EXPECT_EQ(canUnload_(), S_OK);

    ASSERT_EQ(getClassObject_(CLSID_Lumicor, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()), S_OK);
    ComPtr<IDispatch> control;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.ReleaseAndGetVoidAddress()), S_OK);
    ASSERT_TRUE(control);
    CLSID clsid = GUID_NULL;
    ComPtr<IOleObject> object;
    ASSERT_EQ(control->QueryInterface(IOleObject::iid, object.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(object->GetUserClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Lumicor);
    DWORD misc = 0;
    EXPECT_EQ(object->GetMiscStatus(1, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);
    EXPECT_EQ(canUnload_(), S_FALSE);

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(LIBID_LUMICORLib, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(getClassObject_(CLSID_Lumicor, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(GrabwellModule, CarriesItsToolboxBitmapAsBitmapResourceOne) {
    using ResourceFn = const unsigned char* (*)(int, unsigned*);
    auto resource = GetProcAddressAs<ResourceFn>(module_, "OrvantaBitmapResource");
    ASSERT_TRUE(resource);
    unsigned size = 0;
    const unsigned char* bytes = resource(1, &size);
    ASSERT_TRUE(bytes);
    QImage image;
    ASSERT_TRUE(image.loadFromData(bytes, static_cast<int>(size), "BMP"));
    EXPECT_EQ(image.size(), QSize(16, 15));
    // Toolbox grey in the corners, the blue lens in the middle of the body.
    EXPECT_EQ(image.pixel(0, 0), qRgb(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(image.pixel(15, 14), qRgb(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(image.pixel(6, 9), qRgb(0x20, 0x50, 0xB0));
    EXPECT_EQ(image.pixel(13, 5), qRgb(0xE0, 0x20, 0x20));

    EXPECT_EQ(resource(2, &size), nullptr);
    EXPECT_EQ(size, 0u);
}
