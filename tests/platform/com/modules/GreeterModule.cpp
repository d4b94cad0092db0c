// A module as every loadable module of the suite is built: one class behind a class factory,
// the four Dll* entries, and registration through the platform helpers.
#include <cstdio>

#include "platform/com/ClassFactory.h"
#include "platform/com/FilterRegistration.h"
#include "platform/com/ServerRegistration.h"
#include "tests/platform/com/modules/Greeter.h"

namespace {

class Greeter final : public ComObject<IGreeter> {
public:
    HRESULT Add(LONG a, LONG b, LONG* sum) override {
        if (!sum) return E_POINTER;
        *sum = a + b;
        return S_OK;
    }
    HRESULT Greet(const char* name, char* buffer, ULONG size) override {
        if (!name || !buffer || size == 0) return E_POINTER;
        std::snprintf(buffer, size, "Hello, %s!", name);
        return S_OK;
    }
    LONG ModuleObjects() override { return com_detail::ModuleObjectCount(); }
};

ClassRegistration GreeterClass() {
    ClassRegistration r;
    r.clsid = CLSID_TestGreeter;
    r.typeName = kTestGreeterTypeName;
    r.threadingModel = "Apartment";
    r.progId = kTestGreeterProgId;
    r.versionIndependentProgId = kTestGreeterIndependentProgId;
    r.control = true;
    r.miscStatus = kTestGreeterMiscStatus;
    r.toolboxBitmap = 1;
    r.typeLib = LIBID_TestGreeter;
    r.version = "1.0";
    return r;
}

FilterRegistration GreeterFilter() {
    FilterPinRegistration input{"Input", 0, "Output", GUID_NULL, {{GUID_NULL, GUID_NULL}}};
    FilterPinRegistration output{
        "Output", REG_PINFLAG_B_OUTPUT, "Input", GUID_NULL, {{GUID_NULL, GUID_NULL}}};
    return {CLSID_TestGreeter, kTestGreeterFilterName, MERIT_DO_NOT_USE, {input, output}};
}

}  // namespace

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_TestGreeter) return CLASS_E_CLASSNOTAVAILABLE;
    return GetClassFactory<Greeter>(riid, object);
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() {
    return ModuleCanUnloadNow();
}

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    TypeLibRegistration library;
    library.libid = LIBID_TestGreeter;
    library.helpString = kTestGreeterLibraryHelp;
    HRESULT hr = RegisterTypeLibKeys(library);
    if (FAILED(hr)) return hr;
    hr = RegisterServerClass(GreeterClass());
    if (FAILED(hr)) return hr;
    return RegisterFilter(GreeterFilter());
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    HRESULT hr = UnregisterTypeLibKeys(LIBID_TestGreeter, 1, 0);
    if (FAILED(hr)) return hr;
    hr = UnregisterFilter(CLSID_TestGreeter);
    if (FAILED(hr)) return hr;
    return UnregisterServerClass(GreeterClass());
}
