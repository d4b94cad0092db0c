// The entries of Torvane.so: the class object of the MPEG encoder filter and self-registration of
// the class and of the filter.
#include "components/torvane/TorvaneClassObject.h"
#include "platform/contracts/MpegEncoderInterfaces.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/FilterRegistration.h"
#include "platform/com/ServerRegistration.h"
#include "platform/dshow/Uuids.h"

namespace {
ClassRegistration EncoderClass() {
    ClassRegistration c;
    c.clsid = CLSID_MpegEncoder;
    c.typeName = "Torvane MPEG Encoder";
    c.threadingModel = "Both";
    return c;
}

// Video and audio in, nothing out; intelligent connect never picks it: the capture session adds
// it by class identifier.
FilterRegistration EncoderFilter() {
    FilterRegistration f;
    f.clsid = CLSID_MpegEncoder;
    f.friendlyName = "Torvane MPEG Encoder";
    f.merit = MERIT_DO_NOT_USE;
    f.pins.push_back(FilterPinRegistration{"Video", REG_PINFLAG_B_RENDERER, "", GUID_NULL,
                                           {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24},
                                            {MEDIATYPE_Video, MEDIASUBTYPE_YUY2},
                                            {MEDIATYPE_Video, MEDIASUBTYPE_RGB32}}});
    f.pins.push_back(FilterPinRegistration{"Audio", REG_PINFLAG_B_RENDERER, "", GUID_NULL,
                                           {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}});
    return f;
}
}  // namespace

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_MpegEncoder) return CLASS_E_CLASSNOTAVAILABLE;
    return GetMpegEncoderClassObject(riid, object);
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnloadNow(); }

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    HRESULT hr = RegisterServerClass(EncoderClass());
    if (FAILED(hr)) return hr;
    hr = RegisterFilter(EncoderFilter());
    if (FAILED(hr)) UnregisterServerClass(EncoderClass());
    return hr;
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    HRESULT filter = UnregisterFilter(CLSID_MpegEncoder);
    HRESULT server = UnregisterServerClass(EncoderClass());
    return FAILED(filter) ? filter : server;
}
