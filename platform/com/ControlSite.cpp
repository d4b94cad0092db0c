#include "platform/com/ControlSite.h"

#include <cstring>

#include "platform/com/ClassRegistry.h"
#include "platform/com/PersistBytes.h"

ComPtr<ControlSite> ControlSite::Create(QWidget* container, HWND containerWindow) {
    return MakeCom<ControlSite>(container, containerWindow);
}

ControlSite::ControlSite(QWidget* container, HWND containerWindow)
    : container_(container), containerWindow_(containerWindow) {}

HRESULT ControlSite::CreateControl(REFCLSID clsid) {
    ComPtr<IUnknown> control;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, &control);
    if (FAILED(hr)) return hr;
    return AttachControl(control.Get());
}

HRESULT ControlSite::AttachControl(IUnknown* control) {
    if (!control) return E_POINTER;
    ComPtr<IOleObject> object = QueryAs<IOleObject>(control);
    ComPtr<IDispatch> dispatch = QueryAs<IDispatch>(control);
    if (!object || !dispatch) return E_NOINTERFACE;
    Destroy();
    control_ = ComPtr<IUnknown>(control);
    object_ = object;
    dispatch_ = dispatch;
    object_->SetClientSite(this);
    // The site hears every property change the control announces.
    ComPtr<PropertyNotifySink> notify =
        MakeCom<PropertyNotifySink>([this](DISPID dispid) { changes_.push_back(dispid); });
    DWORD cookie = 0;
    if (SUCCEEDED(Advise(IPropertyNotifySink::iid, notify.Get(), &cookie)))
        connections_.push_back({IPropertyNotifySink::iid, cookie});
    return S_OK;
}

HRESULT ControlSite::Advise(const IID& iid, IUnknown* sink, DWORD* cookie) {
    if (!control_) return E_UNEXPECTED;
    return AdviseSink(control_.Get(), iid, sink, cookie);
}

HRESULT ControlSite::AdviseEvents(EventSink::Handler handler) {
    if (!control_) return E_UNEXPECTED;
    ComPtr<IProvideClassInfo2> info = QueryAs<IProvideClassInfo2>(control_.Get());
    Guid events{};
    if (!info || FAILED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events))) return E_NOINTERFACE;
    ComPtr<EventSink> sink = MakeCom<EventSink>(events, std::move(handler));
    DWORD cookie = 0;
    HRESULT hr = Advise(events, static_cast<IDispatch*>(sink.Get()), &cookie);
    if (SUCCEEDED(hr)) connections_.push_back({events, cookie});
    return hr;
}

HRESULT ControlSite::InitNew() {
    ComPtr<IPersistPropertyBag> persist = QueryAs<IPersistPropertyBag>(control_.Get());
    return persist ? persist->InitNew() : E_NOINTERFACE;
}

HRESULT ControlSite::Load(const PropertyBag& bag) {
    ComPtr<IPersistPropertyBag> persist = QueryAs<IPersistPropertyBag>(control_.Get());
    return persist ? persist->Load(&bag) : E_NOINTERFACE;
}

HRESULT ControlSite::Save(PropertyBag* bag, bool clearDirty) {
    ComPtr<IPersistPropertyBag> persist = QueryAs<IPersistPropertyBag>(control_.Get());
    return persist ? persist->Save(bag, clearDirty ? TRUE : FALSE) : E_NOINTERFACE;
}

bool ControlSite::IsDirty() const {
    ComPtr<IPersistBytes> persist = QueryAs<IPersistBytes>(control_.Get());
    return persist && persist->IsDirty() == S_OK;
}

HRESULT ControlSite::Activate() {
    return object_ ? object_->DoVerb(OLEIVERB_INPLACEACTIVATE) : E_UNEXPECTED;
}

HRESULT ControlSite::Resize(LONG width, LONG height) {
    return object_ ? object_->SetExtent(DVASPECT_CONTENT, width, height) : E_UNEXPECTED;
}

HRESULT ControlSite::ShowProperties() {
    return object_ ? object_->DoVerb(OLEIVERB_PROPERTIES) : E_UNEXPECTED;
}

void ControlSite::Destroy() {
    for (const Connection& c : connections_) {
        if (control_) UnadviseSink(control_.Get(), c.iid, c.cookie);
    }
    connections_.clear();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
    }
    object_.Reset();
    dispatch_.Reset();
    control_.Reset();
}

void ControlSite::ClearRecords() {
    changes_.clear();
    resizeRequests_.clear();
}

HRESULT ControlSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = containerWindow_;
    return S_OK;
}

HRESULT ControlSite::GetContainerWidget(QWidget** widget) {
    if (!widget) return E_POINTER;
    *widget = container_;
    return container_ ? S_OK : E_FAIL;
}

HRESULT ControlSite::OnInPlaceActivate() {
    inPlaceActive_ = true;
    return S_OK;
}

HRESULT ControlSite::OnInPlaceDeactivate() {
    inPlaceActive_ = false;
    return S_OK;
}

HRESULT ControlSite::OnPosRectChange(LONG width, LONG height) {
    resizeRequests_.push_back({width, height});
    if (!grantResize_) return S_FALSE;
    return Resize(width, height);
}

HRESULT ControlSite::ShowPropertyFrame() {
    if (!frame_) return E_NOTIMPL;
    return frame_(control_.Get());
}

HRESULT ControlSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

HRESULT ControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT ControlSite::GetIDsOfNames(REFIID, const char* const* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i == 0 && names[0] && strcasecmp(names[0], "UserMode") == 0)
            ids[0] = DISPID_AMBIENT_USERMODE;
        else
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT ControlSite::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO*, UINT*) {
    if (member != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (result) *result = Variant(userMode_);
    return S_OK;
}
