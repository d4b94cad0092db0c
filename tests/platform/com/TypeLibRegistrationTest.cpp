#include <gtest/gtest.h>

#include <QtGlobal>
#include <filesystem>
#include <fstream>

#include "platform/com/ModuleLoader.h"
#include "platform/com/TypeLibRegistration.h"
#include "platform/os/RegistryStore.h"
#include "tests/platform/com/modules/TypeLibModule.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

fs::path ModuleFile() {
    return testing_support::TestBinDir() / "TypeLibModule.so";
}

ComPtr<ITypeLib> LoadedModuleLib() {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLib(ModuleFile(), lib.ReleaseAndGetAddressOf()), S_OK);
    return lib;
}

const std::string kLib = "TypeLib\\" + LIBID_TestCamera.ToString();
const std::string kControlInterface = "Interface\\" + DIID__DTestCamera.ToString();
const std::string kEventInterface = "Interface\\" + DIID__DTestCameraEvents.ToString();

}  // namespace

TEST(TypeLibRegistration, RegisteringWritesTheLibraryAndItsInterfaces) {
    ComPtr<ITypeLib> lib = LoadedModuleLib();
    ASSERT_TRUE(lib);
    ASSERT_EQ(RegisterTypeLib(lib.Get(), ModuleFile()), S_OK);

    RegistryStore store = RegistryStore::Default();
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kLib + "\\1.2", ""), "Test Camera Control");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kLib + "\\1.2\\0\\linux", ""),
              fs::absolute(ModuleFile()).string());
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kLib + "\\1.2\\FLAGS", ""), "0");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kLib + "\\1.2\\HELPDIR", ""),
              fs::absolute(ModuleFile()).parent_path().string());

    for (const auto& [key, name] : {std::pair{kControlInterface, "_DTestCamera"},
                                    std::pair{kEventInterface, "_DTestCameraEvents"}}) {
        EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, key, ""), name);
        EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, key + "\\ProxyStubClsid32", ""),
                  "{00020420-0000-0000-C000-000000000046}");
        EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, key + "\\TypeLib", ""),
                  LIBID_TestCamera.ToString());
        EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, key + "\\TypeLib", "Version"), "1.2");
    }
    // Coclasses are the class registration's business, not the library's.
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "Interface\\" + CLSID_TestCamera.ToString()));

    // Versions are named in hex, and a library registers in its own locale.
    TypeLibDesc later = TestCameraTypeLib();
    later.minorVersion = 10;
    later.lcid = 0x409;
    ComPtr<ITypeLib> laterLib;
    ASSERT_EQ(CreateTypeLib(later, laterLib.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(RegisterTypeLib(laterLib.Get(), ModuleFile(), "/opt/help"), S_OK);
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, kLib + "\\1.a\\409\\linux"));
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kLib + "\\1.a\\HELPDIR", ""), "/opt/help");

    EXPECT_EQ(RegisterTypeLib(nullptr, ModuleFile()), E_INVALIDARG);
    EXPECT_EQ(RegisterTypeLib(lib.Get(), ""), E_INVALIDARG);
}

TEST(TypeLibRegistration, AContainerLoadsTheLibraryOfAModuleItDoesNotLink) {
    ASSERT_EQ(RegisterTypeLib(LoadedModuleLib().Get(), ModuleFile()), S_OK);

    // Any minor version up to the registered one, any locale (the neutral entry serves).
    for (auto [minor, lcid] : {std::pair<WORD, LCID>{0, 0}, {2, 0}, {1, 0x409}}) {
        ComPtr<ITypeLib> lib;
        ASSERT_EQ(LoadRegTypeLib(LIBID_TestCamera, 1, minor, lcid, lib.ReleaseAndGetAddressOf()),
                  S_OK);
        ComPtr<ITypeInfo> coclass;
        ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_TestCamera, coclass.ReleaseAndGetAddressOf()), S_OK);
        BSTR name;
        coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(name, "TestCamera");
    }

    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestCamera, 1, 3, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestCamera, 2, 0, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(DIID__DTestCamera, 1, 0, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_LIBNOTREGISTERED);
    EXPECT_FALSE(lib);
}

TEST(TypeLibRegistration, TheHighestMinorVersionWins) {
    ASSERT_EQ(RegisterTypeLib(LoadedModuleLib().Get(), ModuleFile()), S_OK);
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, kLib + "\\1.5\\0\\linux", "", "/nowhere/Newer.so"),
              S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, kLib + "\\not-a-version\\0\\linux", "",
                              "/nowhere/Odd.so"),
              S_OK);
    fs::path path;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_TestCamera, 1, 0, 0, &path), S_OK);
    EXPECT_EQ(path, "/nowhere/Newer.so");
    // That module's file is gone: the load fails cleanly.
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestCamera, 1, 0, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_FALSE(lib);
}

TEST(TypeLibRegistration, ModulesThatCannotServeTheLibraryFailCleanly) {
    ComPtr<ITypeLib> lib;
    fs::path dir = testing_support::TestEnvironment::Current().Dir();
    EXPECT_EQ(LoadTypeLib(dir / "Missing.so", lib.ReleaseAndGetAddressOf()),
              TYPE_E_CANTLOADLIBRARY);
    fs::path notAModule = dir / "NotAModule.so";
    std::ofstream(notAModule) << "not an object file";
    EXPECT_EQ(LoadTypeLib(notAModule, lib.ReleaseAndGetAddressOf()), TYPE_E_CANTLOADLIBRARY);
    // A real shared library without DllGetTypeLib.
    fs::path qtCore = ModulePathOf(reinterpret_cast<const void*>(&qVersion));
    ASSERT_FALSE(qtCore.empty());
    EXPECT_EQ(LoadTypeLib(qtCore, lib.ReleaseAndGetAddressOf()), TYPE_E_CANTLOADLIBRARY);

    // A registered copy of the module whose file was removed afterwards.
    fs::path copy = dir / "CopiedTypeLibModule.so";
    fs::copy_file(ModuleFile(), copy);
    ComPtr<ITypeLib> original = LoadedModuleLib();
    ASSERT_EQ(RegisterTypeLib(original.Get(), copy), S_OK);
    fs::remove(copy);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestCamera, 1, 0, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_CANTLOADLIBRARY);

    // A module registered for a library it does not hold.
    TypeLibDesc other = TestCameraTypeLib();
    other.libid = MakeGuid("{4B1D2C3E-5F60-4718-9A2B-3C4D5E6F7081}");
    ComPtr<ITypeLib> otherLib;
    ASSERT_EQ(CreateTypeLib(other, otherLib.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(RegisterTypeLib(otherLib.Get(), ModuleFile()), S_OK);
    EXPECT_EQ(LoadRegTypeLib(other.libid, 1, 0, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_LIBNOTREGISTERED);
    EXPECT_FALSE(lib);
}

TEST(TypeLibRegistration, UnregisteringRemovesOnlyWhatNamesThatVersion) {
    ASSERT_EQ(RegisterTypeLib(LoadedModuleLib().Get(), ModuleFile()), S_OK);
    RegistryStore store = RegistryStore::Default();
    // Interfaces of another library, and of another version of this one.
    const std::string foreign = "Interface\\{11111111-2222-3333-4444-555555555555}";
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, foreign + "\\TypeLib", "",
                              "{11111111-0000-0000-0000-000000000000}"),
              S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, foreign + "\\TypeLib", "Version", "1.2"), S_OK);
    const std::string olderVersion = "Interface\\{66666666-2222-3333-4444-555555555555}";
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, olderVersion + "\\TypeLib", "",
                              LIBID_TestCamera.ToString()),
              S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, olderVersion + "\\TypeLib", "Version", "1.0"),
              S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, kLib + "\\1.0\\0\\linux", "", "/old/Camera.so"),
              S_OK);

    ASSERT_EQ(UnRegisterTypeLib(LIBID_TestCamera, 1, 2), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kLib + "\\1.2"));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kControlInterface));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kEventInterface));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, foreign));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, olderVersion));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, kLib + "\\1.0"));

    EXPECT_EQ(UnRegisterTypeLib(LIBID_TestCamera, 1, 2), TYPE_E_LIBNOTREGISTERED);
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestCamera, 1, 1, 0, lib.ReleaseAndGetAddressOf()),
              TYPE_E_LIBNOTREGISTERED);

    // The last version takes the library's key with it.
    ASSERT_EQ(UnRegisterTypeLib(LIBID_TestCamera, 1, 0), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kLib));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, olderVersion));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, foreign));
}
