#include "platform/wmf/WmfClasses.h"

#include <mutex>

#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/dshow/Uuids.h"
#include "platform/wmf/AsfWriter.h"

HRESULT RegisterWindowsMediaClasses() {
    static std::once_flag once;
    static HRESULT result = S_OK;
    std::call_once(once, [] {
        ComPtr<IUnknown> factory;
        HRESULT hr = GetClassFactory<AsfWriter>(IID_IUnknown, factory.ReleaseAndGetVoidAddress());
        DWORD cookie = 0;
        if (SUCCEEDED(hr)) hr = CoRegisterClassObject(CLSID_WMAsfWriter, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        result = hr;
    });
    return result;
}
