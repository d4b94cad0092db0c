#include "platform/com/EventSink.h"

#include <exception>

EventSink::EventSink(const IID& eventIid, Handler handler)
    : eventIid_(eventIid), handler_(std::move(handler)) {}

void* EventSink::QueryExtraInterface(REFIID riid) {
    return riid == eventIid_ ? static_cast<IDispatch*>(this) : nullptr;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT EventSink::GetIDsOfNames(REFIID, const char* const*, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT EventSink::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO*, UINT*) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params || (params->cArgs > 0 && !params->rgvarg)) return E_INVALIDARG;
    if (result) result->Clear();
    if (!handler_) return S_OK;
    std::vector<Variant> args;
    args.reserve(params->cArgs);
    for (UINT i = params->cArgs; i > 0; --i) args.push_back(params->rgvarg[i - 1]);
    // Keep this sink alive while its handler runs (it may unadvise itself).
    ComPtr<EventSink> self(this);
    try {
        return handler_(member, args);
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

PropertyNotifySink::PropertyNotifySink(ChangedHandler onChanged, RequestEditHandler onRequestEdit)
    : onChanged_(std::move(onChanged)), onRequestEdit_(std::move(onRequestEdit)) {}

HRESULT PropertyNotifySink::OnChanged(DISPID dispid) {
    if (onChanged_) onChanged_(dispid);
    return S_OK;
}

HRESULT PropertyNotifySink::OnRequestEdit(DISPID dispid) {
    if (!onRequestEdit_) return S_OK;
    return onRequestEdit_(dispid) ? S_OK : S_FALSE;
}

HRESULT AdviseSink(IUnknown* source, const IID& iid, IUnknown* sink, DWORD* cookie) {
    if (!source || !sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IConnectionPointContainer> container = QueryAs<IConnectionPointContainer>(source);
    if (!container) return E_NOINTERFACE;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(iid, point.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    return point->Advise(sink, cookie);
}

HRESULT UnadviseSink(IUnknown* source, const IID& iid, DWORD cookie) {
    if (!source) return E_POINTER;
    ComPtr<IConnectionPointContainer> container = QueryAs<IConnectionPointContainer>(source);
    if (!container) return E_NOINTERFACE;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(iid, point.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    return point->Unadvise(cookie);
}
