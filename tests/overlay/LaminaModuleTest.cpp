// The module as other modules see it: loaded from the program folder, registered into the
// registry store, and asked for filters by class identifier only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/contracts/OverlayConfig.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/FilterRegistration.h"
#include "platform/com/ModuleLoader.h"
#include "platform/os/RegistryStore.h"
#include "tests/support/TestEnvironment.h"

namespace {
// IBaseFilter, spelled out: this file stays clear of the filter-graph headers, as a caller of
// the module would.
constexpr IID kIID_IBaseFilter = MakeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
const std::string kClassKey = "CLSID\\" + CLSID_OverlayTransformFilter.ToString();

class LaminaModule : public testing::Test {
protected:
    void SetUp() override {
        path_ = testing_support::DistDir() / "Lamina.so";
        ASSERT_EQ(LoadModule(path_, module_), S_OK) << LastModuleError();
        registerServer_ = GetProcAddressAs<DllRegisterServerFn>(module_, "DllRegisterServer");
        unregisterServer_ = GetProcAddressAs<DllUnregisterServerFn>(module_, "DllUnregisterServer");
        canUnload_ = GetProcAddressAs<DllCanUnloadNowFn>(module_, "DllCanUnloadNow");
        getClassObject_ = GetProcAddressAs<DllGetClassObjectFn>(module_, "DllGetClassObject");
        ASSERT_TRUE(registerServer_ && unregisterServer_ && canUnload_ && getClassObject_);
    }
    void TearDown() override { FreeLibrary(module_); }

    std::filesystem::path path_;
    HMODULE module_ = nullptr;
    DllRegisterServerFn registerServer_ = nullptr;
    DllUnregisterServerFn unregisterServer_ = nullptr;
    DllCanUnloadNowFn canUnload_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
};

std::optional<FilterRegistration> FindOverlay(DWORD minimumMerit) {
    for (FilterRegistration& f : EnumRegisteredFilters(CLSID_LegacyAmFilterCategory, minimumMerit))
        if (f.clsid == CLSID_OverlayTransformFilter) return f;
    return std::nullopt;
}
}  // namespace

TEST_F(LaminaModule, RegistersTheClassAndTheFilterAndRemovesBoth) {
    ASSERT_EQ(registerServer_(), S_OK);
    RegistryStore store = RegistryStore::Default();
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey, ""), "Lamina Filter");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"), "Both");
    std::optional<std::string> server = store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "");
    ASSERT_TRUE(server);
    EXPECT_TRUE(std::filesystem::equivalent(*server, path_));

    std::optional<FilterRegistration> filter = FindOverlay(0);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->friendlyName, "Quillon Tranform Filter");
    EXPECT_EQ(filter->merit, 0x00200000u);
    ASSERT_EQ(filter->pins.size(), 2u);
    EXPECT_EQ(filter->pins[0].name, "Input");
    EXPECT_EQ(filter->pins[0].flags, 0u);
    EXPECT_EQ(filter->pins[0].connectsToPin, "Output");
    EXPECT_EQ(filter->pins[1].name, "Output");
    EXPECT_EQ(filter->pins[1].flags, REG_PINFLAG_B_OUTPUT);
    EXPECT_EQ(filter->pins[1].connectsToPin, "Input");
    for (const FilterPinRegistration& pin : filter->pins) {
        ASSERT_EQ(pin.mediaTypes.size(), 1u);
        EXPECT_TRUE(pin.mediaTypes[0].majorType.IsNull());
        EXPECT_TRUE(pin.mediaTypes[0].subType.IsNull());
    }
    // Intelligent connect looks above "do not use": it never sees this filter.
    EXPECT_FALSE(FindOverlay(0x00200001));

    ASSERT_EQ(unregisterServer_(), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(FindOverlay(0));
    EXPECT_EQ(unregisterServer_(), S_OK);  // twice is harmless
}

TEST_F(LaminaModule, CreatedByClassIdentifierAndConfiguredAcrossTheModuleBoundary) {
    ComPtr<IOverlayConfig> config;
    EXPECT_EQ(CoCreateInstance(CLSID_OverlayTransformFilter, nullptr, CLSCTX_INPROC_SERVER, &config),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(registerServer_(), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_OverlayTransformFilter, nullptr, CLSCTX_INPROC_SERVER, &config), S_OK);
    ASSERT_TRUE(config);
    EXPECT_EQ(canUnload_(), S_FALSE);

    EXPECT_EQ(config->SetText("across modules"), S_OK);
    char text[kOverlayTextBytes] = {};
    EXPECT_EQ(config->GetText(text), S_OK);
    EXPECT_STREQ(text, "across modules");
    EXPECT_EQ(config->SetTextFont("DejaVu Sans", 17), S_OK);
    char face[kOverlayPathBytes] = {};
    int size = 0;
    EXPECT_EQ(config->GetTextFont(face, &size), S_OK);
    EXPECT_STREQ(face, "DejaVu Sans");
    EXPECT_EQ(size, 17);

    ComPtr<IUnknown> filter;
    EXPECT_EQ(config->QueryInterface(kIID_IBaseFilter, filter.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_TRUE(filter);
    filter.Reset();
    config.Reset();
    EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(LaminaModule, ClassObjectOnlyForItsOwnClass) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(CLSID_OverlayTransformFilter, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()),
              S_OK);
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IOverlayConfig::iid, object.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown,
                                      object.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(MakeGuid("{00000000-1111-2222-3333-444444444444}"), IID_IClassFactory, &other),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(other, nullptr);
}

TEST_F(LaminaModule, CarriesItsVersionRecord) {
    using RecordFn = const char* (*)(unsigned*);
    auto record = GetProcAddressAs<RecordFn>(module_, "OrvantaVersionRecord");
    ASSERT_TRUE(record);
    unsigned size = 0;
    const char* data = record(&size);
    std::vector<std::string> entries;
    for (const char* p = data; p < data + size - 1; p += std::strlen(p) + 1) entries.emplace_back(p);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "FileDescription=Tranform Filter"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "OLESelfRegister="), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "OriginalFilename=Lamina.so"), entries.end());
}
