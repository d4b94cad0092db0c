// The entries of Scrivel.so: the class object of the screen capture control and its
// self-registration.
#include "components/scrivel/ScrivelCtrl.h"
#include "components/scrivel/ScrivelIds.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ServerRegistration.h"

namespace {
// OLEMISC_RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST
constexpr uint32_t kScrivelMiscStatus = 0x20191;

ClassRegistration ControlClass() {
    ClassRegistration c;
    c.clsid = CLSID_Scrivel;
    c.typeName = kScrivelTypeName;
    c.threadingModel = "Apartment";
    c.progId = kScrivelProgId;
    c.control = true;
    c.miscStatus = kScrivelMiscStatus;
    c.version = "1.0";
    return c;
}

}  // namespace

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_Scrivel) return CLASS_E_CLASSNOTAVAILABLE;
    return GetClassFactory<ScrivelCtrl>(riid, object);
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnloadNow(); }

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    return FAILED(RegisterServerClass(ControlClass())) ? SELFREG_E_CLASS : S_OK;
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    return FAILED(UnregisterServerClass(ControlClass())) ? SELFREG_E_CLASS : S_OK;
}
