#include <gtest/gtest.h>

#include <gnu/libc-version.h>
#include <stdlib.h>

#include <fstream>

#include "platform/com/ClassRegistry.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/ServerRegistration.h"
#include "platform/os/RegistryStore.h"

namespace fs = std::filesystem;

namespace {

constexpr CLSID kClass = MakeGuid("{9A1F6C22-0000-4000-8000-0000000000A1}");
constexpr CLSID kOtherClass = MakeGuid("{9A1F6C22-0000-4000-8000-0000000000A2}");
constexpr Guid kLibrary = MakeGuid("{9A1F6C22-0000-4000-8000-0000000000B1}");

ClassRegistration FullClass() {
    ClassRegistration r;
    r.clsid = kClass;
    r.typeName = "Sample Control";
    r.threadingModel = "Apartment";
    r.progId = "Sample.Control.1";
    r.versionIndependentProgId = "Sample.Control";
    r.control = true;
    r.insertable = true;
    r.miscStatus = 0x20191;
    r.toolboxBitmap = 1;
    r.typeLib = kLibrary;
    r.version = "1.0";
    r.modulePath = "/opt/orvanta/Sample.so";
    return r;
}

std::string ClassKey(const CLSID& clsid) {
    return "CLSID\\" + clsid.ToString();
}

}  // namespace

TEST(ClassRegistryRegistration, ModulePathIsTheFileHoldingTheCode) {
    // Linked into this test program, the helpers find the program itself.
    EXPECT_EQ(ThisModulePath(), fs::canonical("/proc/self/exe"));
    EXPECT_EQ(ModulePathOf(reinterpret_cast<const void*>(&RegisterServerClass)),
              fs::canonical("/proc/self/exe"));
    // Code of a shared library is found in that library.
    // (A function the sanitizers do not wrap.)
    fs::path libc = ModulePathOf(reinterpret_cast<const void*>(&::gnu_get_libc_version));
    EXPECT_NE(libc.filename().string().find("libc"), std::string::npos) << libc;
    EXPECT_TRUE(libc.is_absolute());
    EXPECT_TRUE(ModulePathOf(nullptr).empty());

    // A class registered without a module path gets this program's.
    ClassRegistration r;
    r.clsid = kClass;
    ASSERT_EQ(RegisterServerClass(r), S_OK);
    EXPECT_EQ(RegisteredModulePath(kClass), fs::canonical("/proc/self/exe"));
}

TEST(ClassRegistryRegistration, ReRegisteringReplacesWhatTheClassNoLongerDeclares) {
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(RegisterServerClass(FullClass()), S_OK);
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClass) + "\\Insertable"));
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, "Sample.Control\\CurVer", ""), "Sample.Control.1");
    // Keys that someone else wrote under the class stay.
    ASSERT_EQ(store.CreateKey(HKEY_CLASSES_ROOT, ClassKey(kClass) + "\\Implemented Categories"),
              S_OK);

    ClassRegistration slim;
    slim.clsid = kClass;
    slim.typeName = "Sample Control 2";
    slim.modulePath = "/opt/orvanta/Sample2.so";
    ASSERT_EQ(RegisterServerClass(slim), S_OK);
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, ClassKey(kClass), ""), "Sample Control 2");
    EXPECT_EQ(RegisteredModulePath(kClass), fs::path("/opt/orvanta/Sample2.so"));
    EXPECT_FALSE(store.GetString(HKEY_CLASSES_ROOT, ClassKey(kClass) + "\\InprocServer32",
                                 "ThreadingModel"));
    for (const char* gone : {"\\ProgID", "\\VersionIndependentProgID", "\\Control", "\\Insertable",
                             "\\MiscStatus", "\\ToolboxBitmap32", "\\TypeLib", "\\Version"}) {
        EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClass) + gone)) << gone;
    }
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClass) + "\\Implemented Categories"));
}

TEST(ClassRegistryRegistration, UnregisteringNeverTakesAnotherClassesProgId) {
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(RegisterServerClass(FullClass()), S_OK);
    // Another class took over the version-independent ProgID since.
    ClassRegistration other;
    other.clsid = kOtherClass;
    other.typeName = "Successor";
    other.progId = "Sample.Control.2";
    other.versionIndependentProgId = "Sample.Control";
    other.modulePath = "/opt/orvanta/Successor.so";
    ASSERT_EQ(RegisterServerClass(other), S_OK);

    ASSERT_EQ(UnregisterServerClass(FullClass()), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClass)));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "Sample.Control.1"));
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, "Sample.Control\\CLSID", ""),
              kOtherClass.ToString());
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, "Sample.Control\\CurVer", ""), "Sample.Control.2");
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, ClassKey(kOtherClass)));

    // Nothing registered: still S_OK, nothing else touched.
    EXPECT_EQ(UnregisterServerClass(FullClass()), S_OK);
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, "Sample.Control.2"));
}

TEST(ClassRegistryRegistration, TypeLibraryVersionsComeAndGoSeparately) {
    RegistryStore store = RegistryStore::Default();
    TypeLibRegistration library;
    library.libid = kLibrary;
    library.major = 10;
    library.minor = 2;
    library.lcid = 0x409;
    library.helpString = "Sample Library";
    library.helpDir = "/opt/orvanta/help";
    library.flags = 2;
    library.modulePath = "/opt/orvanta/Sample.so";
    ASSERT_EQ(RegisterTypeLibKeys(library), S_OK);
    const std::string versionKey = "TypeLib\\" + kLibrary.ToString() + "\\a.2";
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, versionKey, ""), "Sample Library");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, versionKey + "\\FLAGS", ""), "2");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, versionKey + "\\HELPDIR", ""),
              "/opt/orvanta/help");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, versionKey + "\\409\\linux", ""),
              "/opt/orvanta/Sample.so");

    library.major = 1;
    library.minor = 0;
    ASSERT_EQ(RegisterTypeLibKeys(library), S_OK);
    ASSERT_EQ(UnregisterTypeLibKeys(kLibrary, 10, 2), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, versionKey));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + kLibrary.ToString() + "\\1.0"));
    ASSERT_EQ(UnregisterTypeLibKeys(kLibrary, 1, 0), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + kLibrary.ToString()));
    EXPECT_EQ(UnregisterTypeLibKeys(kLibrary, 1, 0), S_OK);
}

TEST(ClassRegistryRegistration, FailuresMapToTheSelfRegistrationCodes) {
    ClassRegistration nullClass;
    EXPECT_EQ(RegisterServerClass(nullClass), E_INVALIDARG);
    ClassRegistration badProgId = FullClass();
    badProgId.progId = "Bad\\ProgID";
    EXPECT_EQ(RegisterServerClass(badProgId), E_INVALIDARG);
    EXPECT_EQ(RegisterTypeLibKeys(TypeLibRegistration{}), E_INVALIDARG);

    // A store that cannot be written.
    fs::path blocker = RegistryStore::Default().Path().parent_path() / "plain-file";
    std::ofstream(blocker) << "x";
    ::setenv("ORVANTA_REGISTRY", (blocker / "registry").c_str(), 1);
    EXPECT_EQ(RegisterServerClass(FullClass()), SELFREG_E_CLASS);
    EXPECT_EQ(UnregisterServerClass(FullClass()), SELFREG_E_CLASS);
    TypeLibRegistration library;
    library.libid = kLibrary;
    EXPECT_EQ(RegisterTypeLibKeys(library), SELFREG_E_TYPELIB);
    EXPECT_EQ(UnregisterTypeLibKeys(kLibrary, 1, 0), SELFREG_E_TYPELIB);
}
