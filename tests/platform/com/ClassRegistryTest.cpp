#include <gtest/gtest.h>

#include <fstream>

#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/os/RegistryStore.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::TestBinDir;
using testing_support::TestEnvironment;

namespace {

struct ICounter : IUnknown {
    static constexpr IID iid = MakeGuid("{7D3E0A51-0000-4000-8000-000000000001}");
    virtual int Next() = 0;

protected:
    ~ICounter() = default;
};

constexpr CLSID kCounterClass = MakeGuid("{7D3E0A51-0000-4000-8000-0000000000C1}");
constexpr CLSID kUnregisteredClass = MakeGuid("{7D3E0A51-0000-4000-8000-0000000000C2}");

class Counter final : public ComObject<ICounter> {
public:
    int Next() override { return ++value_; }

private:
    int value_ = 0;
};

int finalConstructResult = S_OK;
class PickyCounter final : public ComObject<ICounter> {
public:
    HRESULT FinalConstruct() { return finalConstructResult; }
    int Next() override { return 100; }
};

void RegisterModulePath(const CLSID& clsid, const std::string& module) {
    ASSERT_EQ(RegistryStore::Default().SetString(
                  HKEY_CLASSES_ROOT, "CLSID\\" + clsid.ToString() + "\\InprocServer32", "", module),
              S_OK);
}

// Registers a factory in-process for the test's life.
class ScopedClassObject {
public:
    ScopedClassObject(const CLSID& clsid, IUnknown* factory, DWORD context = CLSCTX_INPROC_SERVER) {
        EXPECT_EQ(CoRegisterClassObject(clsid, factory, context, REGCLS_MULTIPLEUSE, &cookie_),
                  S_OK);
    }
    ~ScopedClassObject() { EXPECT_EQ(CoRevokeClassObject(cookie_), S_OK); }
    DWORD Cookie() const { return cookie_; }

private:
    DWORD cookie_ = 0;
};

}  // namespace

TEST(ClassRegistry, ClassObjectsRegisteredInProcessAreFoundUntilRevoked) {
    auto factory = MakeCom<ClassFactory<Counter>>();
    {
        ScopedClassObject registration(kCounterClass, factory.Get());
        ComPtr<ICounter> counter;
        ASSERT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, &counter), S_OK);
        EXPECT_EQ(counter->Next(), 1);
        EXPECT_EQ(counter->Next(), 2);
        // Each creation is a new object.
        ComPtr<ICounter> other;
        ASSERT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_ALL, &other), S_OK);
        EXPECT_EQ(other->Next(), 1);

        // The factory itself, for a caller that creates many.
        ComPtr<IClassFactory> same;
        ASSERT_EQ(CoGetClassObject(kCounterClass, CLSCTX_INPROC_SERVER, nullptr, IClassFactory::iid,
                                   same.ReleaseAndGetVoidAddress()),
                  S_OK);
        EXPECT_EQ(same.Get(), static_cast<IClassFactory*>(factory.Get()));
        // An interface the object does not have.
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, IClassFactory::iid,
                                   &none),
                  E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        // Not served for a context it was not registered for.
        ComPtr<ICounter> remote;
        EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_LOCAL_SERVER, &remote),
                  REGDB_E_CLASSNOTREG);
    }
    ComPtr<ICounter> after;
    EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, &after),
              REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(after);
    EXPECT_EQ(CoRevokeClassObject(12345), CO_E_OBJNOTREG);
}

TEST(ClassRegistry, RejectsBadArguments) {
    void* object = nullptr;
    EXPECT_EQ(
        CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, nullptr),
        E_POINTER);
    EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, 0, ICounter::iid, &object), E_INVALIDARG);
    DWORD cookie = 99;
    EXPECT_EQ(CoRegisterClassObject(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, 0, &cookie),
              E_INVALIDARG);
    EXPECT_EQ(cookie, 0u);
    auto factory = MakeCom<ClassFactory<Counter>>();
    EXPECT_EQ(CoRegisterClassObject(kCounterClass, factory.Get(), CLSCTX_INPROC_SERVER, 0, nullptr),
              E_POINTER);
}

TEST(ClassRegistry, ClassFactoryRefusesAggregationAndReportsFinalConstruct) {
    auto factory = MakeCom<ClassFactory<PickyCounter>>();
    auto outer = MakeCom<Counter>();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), ICounter::iid, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, ICounter::iid, nullptr), E_POINTER);

    long before = com_detail::ModuleObjectCount();
    finalConstructResult = E_OUTOFMEMORY;
    EXPECT_EQ(factory->CreateInstance(nullptr, ICounter::iid, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(com_detail::ModuleObjectCount(), before);  // the half-made object is gone
    finalConstructResult = S_OK;
    ComPtr<ICounter> counter;
    ASSERT_EQ(factory->CreateInstance(nullptr, ICounter::iid, counter.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(counter->Next(), 100);
}

TEST(ClassRegistry, CanUnloadNowCountsObjectsAndServerLocks) {
    // This test program is a module too: the same helper answers for it.
    ASSERT_EQ(ModuleCanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(GetClassFactory<Counter>(IClassFactory::iid, factory.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);  // a live factory holds the module
    ComPtr<ICounter> counter;
    ASSERT_EQ(factory->CreateInstance(nullptr, ICounter::iid, counter.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    counter.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);  // the lock alone holds it
    ComPtr<IClassFactory> again;
    ASSERT_EQ(GetClassFactory<Counter>(IClassFactory::iid, again.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(again->LockServer(FALSE), S_OK);
    EXPECT_EQ(again->LockServer(FALSE), E_UNEXPECTED);  // unbalanced: the count stays at zero
    again.Reset();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

TEST(ClassRegistry, UnregisteredClassesAndBrokenEntriesFailWithTheWindowsCodes) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, &object),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    // A class key without a server, or with an empty module path, is not a registered class.
    ASSERT_EQ(RegistryStore::Default().SetString(
                  HKEY_CLASSES_ROOT, "CLSID\\" + kUnregisteredClass.ToString(), "", "only a name"),
              S_OK);
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, &object),
        REGDB_E_CLASSNOTREG);
    RegisterModulePath(kUnregisteredClass, "");
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, &object),
        REGDB_E_CLASSNOTREG);

    // A module file that is gone.
    fs::path gone = TestEnvironment::Current().Dir() / "Gone.so";
    RegisterModulePath(kUnregisteredClass, gone.string());
    EXPECT_EQ(RegisteredModulePath(kUnregisteredClass), gone);
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, &object),
        CO_E_DLLNOTFOUND);
    // Only in-process servers exist: other contexts find nothing.
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_LOCAL_SERVER, ICounter::iid, &object),
        REGDB_E_CLASSNOTREG);

    // A file that is no module, and a module that is no server.
    fs::path text = TestEnvironment::Current().Dir() / "NotAModule.so";
    std::ofstream(text) << "not an ELF file";
    RegisterModulePath(kUnregisteredClass, text.string());
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, &object),
        CO_E_ERRORINDLL);
    RegisterModulePath(kUnregisteredClass, (TestBinDir() / "BareModule.so").string());
    EXPECT_EQ(
        CoCreateInstance(kUnregisteredClass, nullptr, CLSCTX_INPROC_SERVER, ICounter::iid, &object),
        CO_E_ERRORINDLL);
    EXPECT_EQ(object, nullptr);
}

TEST(ClassRegistry, InProcessClassObjectsComeBeforeTheStore) {
    RegisterModulePath(kCounterClass, (TestEnvironment::Current().Dir() / "Gone.so").string());
    auto factory = MakeCom<ClassFactory<Counter>>();
    ScopedClassObject registration(kCounterClass, factory.Get());
    ComPtr<ICounter> counter;
    EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, &counter), S_OK);
}
