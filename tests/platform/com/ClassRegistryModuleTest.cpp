#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "platform/com/ClassRegistry.h"
#include "platform/com/FilterRegistration.h"
#include "platform/com/ModuleLoader.h"
#include "platform/os/RegistryStore.h"
#include "tests/platform/com/modules/Greeter.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::DistDir;
using testing_support::TestBinDir;
using testing_support::TestEnvironment;

namespace {

const std::string kClassKey = "CLSID\\" + CLSID_TestGreeter.ToString();

fs::path GreeterModule() {
    return TestBinDir() / "GreeterModule.so";
}

// Runs orvanta-registry with the test's environment; returns its exit code, output in `output`.
int RunTool(const std::string& arguments, std::string& output) {
    std::string command =
        "'" + (DistDir() / "orvanta-registry").string() + "' " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    output.clear();
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsLoaded(const fs::path& module) {
    void* probe = ::dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (probe) ::dlclose(probe);  // the probe's own reference
    return probe != nullptr;
}

HRESULT CallEntry(HMODULE module, const char* name) {
    auto entry = GetProcAddressAs<DllRegisterServerFn>(module, name);
    return entry ? entry() : E_PROC_NOT_FOUND;
}

void ExpectGreeterWorks(const ComPtr<IGreeter>& greeter) {
    ASSERT_TRUE(greeter);
    LONG sum = 0;
    EXPECT_EQ(greeter->Add(40, 2, &sum), S_OK);
    EXPECT_EQ(sum, 42);
    EXPECT_EQ(greeter->Add(1, 1, nullptr), E_POINTER);
    char text[8];
    EXPECT_EQ(greeter->Greet("Orvanta", text, sizeof text), S_OK);
    EXPECT_STREQ(text, "Hello, ");  // cut to the buffer, terminated
    char full[32];
    EXPECT_EQ(greeter->Greet("Orvanta", full, sizeof full), S_OK);
    EXPECT_STREQ(full, "Hello, Orvanta!");
}

}  // namespace

TEST(ClassRegistryModule, RegistersThroughItsEntryIsCreatedByClsidAndUnregisters) {
    HMODULE module = LoadLibrary(GreeterModule());
    ASSERT_NE(module, nullptr) << LastModuleError();
    ASSERT_EQ(CallEntry(module, "DllRegisterServer"), S_OK);

    RegistryStore store = RegistryStore::Default();
    // Every key the class and its ProgIDs need, with the module's own path found from inside it.
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey, ""), kTestGreeterTypeName);
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", ""),
              fs::canonical(GreeterModule()).string());
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID", ""), kTestGreeterProgId);
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID", ""),
              kTestGreeterIndependentProgId);
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Control"));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Insertable"));
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\MiscStatus", ""), "131473");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\ToolboxBitmap32", ""),
              fs::canonical(GreeterModule()).string() + ", 1");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib", ""),
              LIBID_TestGreeter.ToString());
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, kClassKey + "\\Version", ""), "1.0");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, std::string(kTestGreeterProgId) + "\\CLSID", ""),
              CLSID_TestGreeter.ToString());
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT,
                              std::string(kTestGreeterIndependentProgId) + "\\CurVer", ""),
              kTestGreeterProgId);
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT,
                              "TypeLib\\" + LIBID_TestGreeter.ToString() + "\\1.0", ""),
              kTestGreeterLibraryHelp);
    std::vector<FilterRegistration> filters = EnumRegisteredFilters();
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].friendlyName, kTestGreeterFilterName);
    EXPECT_EQ(filters[0].merit, MERIT_DO_NOT_USE);
    ASSERT_EQ(filters[0].pins.size(), 2u);
    EXPECT_EQ(filters[0].pins[1].flags, REG_PINFLAG_B_OUTPUT);

    {
        ComPtr<IGreeter> greeter;
        ASSERT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter),
                  S_OK);
        ExpectGreeterWorks(greeter);
        // The module counts its objects on its own, apart from this program's.
        EXPECT_EQ(greeter->ModuleObjects(), 1);
        auto canUnload = GetProcAddressAs<DllCanUnloadNowFn>(module, "DllCanUnloadNow");
        ASSERT_NE(canUnload, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE);
        greeter.Reset();
        EXPECT_EQ(canUnload(), S_OK);
    }

    // A CLSID that names the module but that the module does not serve.
    constexpr CLSID stranger = MakeGuid("{5B0D2C7E-3F41-4A9B-8E62-1D7C9A0F4BFF}");
    ASSERT_EQ(
        store.SetString(HKEY_CLASSES_ROOT, "CLSID\\" + stranger.ToString() + "\\InprocServer32", "",
                        GreeterModule().string()),
        S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(stranger, nullptr, CLSCTX_INPROC_SERVER, IGreeter::iid, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    ASSERT_EQ(CallEntry(module, "DllUnregisterServer"), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kTestGreeterProgId));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, kTestGreeterIndependentProgId));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + LIBID_TestGreeter.ToString()));
    EXPECT_TRUE(EnumRegisteredFilters().empty());
    ComPtr<IGreeter> greeter;
    EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter),
              REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(greeter);
    EXPECT_EQ(FreeLibrary(module), TRUE);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(GreeterModule()));
}

TEST(ClassRegistryModule, TheToolRegistersListsAndUnregisters) {
    std::string output;
    ASSERT_EQ(RunTool("register '" + GreeterModule().string() + "'", output), 0) << output;
    EXPECT_NE(output.find("DllRegisterServer"), std::string::npos) << output;
    EXPECT_NE(output.find("0x00000000"), std::string::npos) << output;

    ASSERT_EQ(RunTool("list", output), 0) << output;
    for (const std::string& expected :
         {CLSID_TestGreeter.ToString(), std::string(kTestGreeterTypeName),
          std::string(kTestGreeterProgId), fs::canonical(GreeterModule()).string(),
          LIBID_TestGreeter.ToString(), std::string("version 1.0"),
          std::string(kTestGreeterLibraryHelp), std::string(kTestGreeterFilterName),
          std::string("0x00200000")}) {
        EXPECT_NE(output.find(expected), std::string::npos) << expected << " in\n" << output;
    }

    // Both objects come from one loaded copy of the module, which stays while one lives.
    ComPtr<IGreeter> greeter;
    ComPtr<IGreeter> second;
    ASSERT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &second), S_OK);
    ExpectGreeterWorks(greeter);
    EXPECT_EQ(second->ModuleObjects(), 2);
    greeter.Reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(GreeterModule()));
    second.Reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(GreeterModule()));
    // Loaded again on demand.
    ASSERT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter), S_OK);
    EXPECT_EQ(greeter->ModuleObjects(), 1);
    greeter.Reset();

    ASSERT_EQ(RunTool("unregister '" + GreeterModule().string() + "'", output), 0) << output;
    EXPECT_NE(output.find("DllUnregisterServer"), std::string::npos) << output;
    EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(RunTool("list", output), 0) << output;
    EXPECT_EQ(output.find(CLSID_TestGreeter.ToString()), std::string::npos) << output;
}

TEST(ClassRegistryModule, ARegisteredModuleWhoseFileIsGoneFailsCleanly) {
    // A copy that this process never loads: the tool registers it, then the file goes.
    fs::path copy = TestEnvironment::Current().Dir() / "GreeterCopy.so";
    fs::copy_file(GreeterModule(), copy);
    std::string output;
    ASSERT_EQ(RunTool("register '" + copy.string() + "'", output), 0) << output;
    EXPECT_EQ(RegisteredModulePath(CLSID_TestGreeter), fs::canonical(copy));
    fs::remove(copy);

    ComPtr<IGreeter> greeter;
    EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter),
              CO_E_DLLNOTFOUND);
    EXPECT_FALSE(greeter);
    // Asking again gives the same answer: nothing half-loaded was kept.
    EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, &greeter),
              CO_E_DLLNOTFOUND);
    ASSERT_EQ(RunTool("list", output), 0) << output;
    EXPECT_NE(output.find("(file missing)"), std::string::npos) << output;
    // Unregistering needs the file: the tool says so and fails.
    EXPECT_EQ(RunTool("unregister '" + copy.string() + "'", output), 1);
    EXPECT_NE(output.find("0x800401F8"), std::string::npos) << output;
}

TEST(ClassRegistryModule, TheToolReportsEveryFailureWithItsCode) {
    std::string output;
    EXPECT_EQ(RunTool("register '" + (TestBinDir() / "BareModule.so").string() + "'", output), 1);
    EXPECT_NE(output.find("exports no DllRegisterServer"), std::string::npos) << output;
    EXPECT_NE(output.find("0x8007007F"), std::string::npos) << output;

    EXPECT_EQ(
        RunTool("register '" + (TestEnvironment::Current().Dir() / "nothing.so").string() + "'",
                output),
        1);
    EXPECT_NE(output.find("0x800401F8"), std::string::npos) << output;

    // A store that cannot be written: the module's registration fails with its own code.
    fs::path blocker = TestEnvironment::Current().Dir() / "plain-file";
    std::ofstream(blocker) << "x";
    ::setenv("ORVANTA_REGISTRY", (blocker / "registry").c_str(), 1);
    EXPECT_EQ(RunTool("register '" + GreeterModule().string() + "'", output), 1);
    EXPECT_NE(output.find("failed: 0x80040200"), std::string::npos) << output;
    ::setenv("ORVANTA_REGISTRY", TestEnvironment::Current().RegistryFile().c_str(), 1);

    // A corrupt store cannot be listed.
    std::ofstream(TestEnvironment::Current().RegistryFile()) << "not a registry\n";
    EXPECT_EQ(RunTool("list", output), 1);
    EXPECT_NE(output.find("0x800703F7"), std::string::npos) << output;

    EXPECT_EQ(RunTool("", output), 2);
    EXPECT_EQ(RunTool("register", output), 2);
    EXPECT_EQ(RunTool("frobnicate x", output), 2);
    EXPECT_NE(output.find("usage:"), std::string::npos) << output;
}
