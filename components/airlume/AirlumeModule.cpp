// The entries of Airlume.so: the control's class object, its type library and self-registration.
#include "components/airlume/AirlumeCtrl.h"
#include "components/airlume/AirlumeIds.h"
#include "components/airlume/AirlumeTypeLib.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ServerRegistration.h"
#include "platform/com/TypeLibRegistration.h"

namespace {

ClassRegistration ControlClass() {
    ClassRegistration c;
    c.clsid = CLSID_Airlume;
    c.typeName = kAirlumeTypeName;
    c.threadingModel = "Apartment";
    c.progId = kAirlumeProgId;
    c.control = true;
    c.miscStatus = kAirlumeMiscStatus;
    c.typeLib = LIBID_AIRLUMELib;
    c.version = "1.0";
    return c;
}

}  // namespace

ORVANTA_EXPORT HRESULT DllGetTypeLib(ITypeLib** lib) { return BuildAirlumeTypeLib(lib); }

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_Airlume) return GetClassFactory<CAirlumeCtrl>(riid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnloadNow(); }

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    ComPtr<ITypeLib> lib;
    if (FAILED(BuildAirlumeTypeLib(lib.ReleaseAndGetAddressOf())) ||
        FAILED(RegisterTypeLib(lib.Get(), ThisModulePath())))
        return SELFREG_E_TYPELIB;
    if (FAILED(RegisterServerClass(ControlClass()))) return SELFREG_E_CLASS;
    return S_OK;
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    // A library that is not registered (never was, or already removed) leaves nothing to do.
    HRESULT hr = UnRegisterTypeLib(LIBID_AIRLUMELib, kAirlumeLibMajor, kAirlumeLibMinor, kAirlumeLibLcid);
    if (FAILED(hr) && hr != TYPE_E_LIBNOTREGISTERED) return SELFREG_E_TYPELIB;
    if (FAILED(UnregisterServerClass(ControlClass()))) return SELFREG_E_CLASS;
    return S_OK;
}
