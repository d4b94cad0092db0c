// The entries of Lamina.so: the class object of the overlay filter, self-registration of the
// class and of the filter, and the module's version record.
#include "overlay/OverlayClassObject.h"
#include "platform/contracts/OverlayConfig.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/FilterRegistration.h"
#include "platform/com/ServerRegistration.h"

namespace {
ClassRegistration OverlayClass() {
    ClassRegistration c;
    c.clsid = CLSID_OverlayTransformFilter;
    c.typeName = "Lamina Filter";
    c.threadingModel = "Both";
    return c;
}

// Any media type on two pins, and a merit that intelligent connect never picks: the filter goes
// into a graph only when the engine adds it by class identifier.
FilterRegistration OverlayFilter() {
    FilterRegistration f;
    f.clsid = CLSID_OverlayTransformFilter;
    f.friendlyName = "Quillon Tranform Filter";
    f.merit = MERIT_DO_NOT_USE;
    const FilterMediaTypeRegistration anyType{GUID_NULL, GUID_NULL};
    f.pins.push_back(FilterPinRegistration{"Input", 0, "Output", GUID_NULL, {anyType}});
    f.pins.push_back(FilterPinRegistration{"Output", REG_PINFLAG_B_OUTPUT, "Input", GUID_NULL, {anyType}});
    return f;
}
}  // namespace

// The version record, as "key=value" strings each ended by a NUL, in the ELF section
// ".orvanta.version" (readelf -p .orvanta.version Lamina.so prints it) and through
// OrvantaVersionRecord() for programs that load the module. OLESelfRegister, with no value, says
// the module registers itself through DllRegisterServer.
__attribute__((section(".orvanta.version"), used)) const char kLaminaVersionRecord[] =
    "CompanyName=Orvanta\0"
    "FileDescription=Tranform Filter\0"
    "FileVersion=1.0.0.1\0"
    "InternalName=Lamina\0"
    "OriginalFilename=Lamina.so\0"
    "ProductName=Lamina\0"
    "ProductVersion=1.0.0.1\0"
    "OLESelfRegister=\0";

// The record and its size in bytes (the final terminator included).
ORVANTA_EXPORT const char* OrvantaVersionRecord(unsigned* size) {
    if (size) *size = sizeof kLaminaVersionRecord;
    return kLaminaVersionRecord;
}

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_OverlayTransformFilter) return CLASS_E_CLASSNOTAVAILABLE;
    return GetOverlayClassObject(riid, object);
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnloadNow(); }

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    HRESULT hr = RegisterServerClass(OverlayClass());
    if (FAILED(hr)) return hr;
    hr = RegisterFilter(OverlayFilter());
    if (FAILED(hr)) UnregisterServerClass(OverlayClass());
    return hr;
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    HRESULT filter = UnregisterFilter(CLSID_OverlayTransformFilter);
    HRESULT server = UnregisterServerClass(OverlayClass());
    return FAILED(filter) ? filter : server;
}
