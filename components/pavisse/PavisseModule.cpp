// The entries of Pavisse.so: the class object of the screen source filter and self-registration
// of the class and of the filter.
#include "components/pavisse/PavisseClassObject.h"
#include "platform/contracts/ScreenSourceInterfaces.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/FilterRegistration.h"
#include "platform/com/ServerRegistration.h"
#include "platform/dshow/Uuids.h"

namespace {
ClassRegistration SourceClass() {
    ClassRegistration c;
    c.clsid = CLSID_ScreenSource;
    c.typeName = "Pavisse Screen Source";
    c.threadingModel = "Both";
    return c;
}

// One video output; a source is never picked by intelligent connect: users add it by class.
FilterRegistration SourceFilter() {
    FilterRegistration f;
    f.clsid = CLSID_ScreenSource;
    f.friendlyName = "Pavisse Screen Source";
    f.merit = MERIT_DO_NOT_USE;
    f.pins.push_back(FilterPinRegistration{"Capture", REG_PINFLAG_B_OUTPUT, "", PIN_CATEGORY_CAPTURE,
                                           {{MEDIATYPE_Video, MEDIASUBTYPE_RGB32},
                                            {MEDIATYPE_Video, MEDIASUBTYPE_RGB24}}});
    return f;
}
}  // namespace

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_ScreenSource) return CLASS_E_CLASSNOTAVAILABLE;
    return GetScreenSourceClassObject(riid, object);
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnloadNow(); }

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    HRESULT hr = RegisterServerClass(SourceClass());
    if (FAILED(hr)) return hr;
    hr = RegisterFilter(SourceFilter());
    if (FAILED(hr)) UnregisterServerClass(SourceClass());
    return hr;
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    HRESULT filter = UnregisterFilter(CLSID_ScreenSource);
    HRESULT server = UnregisterServerClass(SourceClass());
    return FAILED(filter) ? filter : server;
}
