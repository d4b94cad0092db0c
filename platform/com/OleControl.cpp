#include "platform/com/OleControl.h"

#include <QResizeEvent>
#include <cstdlib>
#include <cstring>

#include "platform/com/PropertyBag.h"
#include "platform/os/WindowMessages.h"

namespace {
// The framework's own persisted state, after the control's: the control's size in pixels.
constexpr const char* kExtentXKey = "_ExtentX";
constexpr const char* kExtentYKey = "_ExtentY";
}  // namespace

OleControlWidget::OleControlWidget(QWidget* parent, SizeHandler onSize)
    : QWidget(parent), onSize_(std::move(onSize)) {}

void OleControlWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onSize_) onSize_(event->size().width(), event->size().height());
}

OleControl::OleControl() = default;

OleControl::~OleControl() {
    // The derived destructor ran OnDestroy already; this only drops what is left.
    DestroyControlWindow();
}

// --- IDispatch ---------------------------------------------------------------------------------

HRESULT OleControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 1;
    return S_OK;
}

HRESULT OleControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return ControlDispatchTable().GetTypeInfo(info);
}

HRESULT OleControl::GetIDsOfNames(REFIID riid, const char* const* names, UINT count, LCID,
                                  DISPID* ids) {
    return ControlDispatchTable().GetIDsOfNames(riid, names, count, ids);
}

HRESULT OleControl::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    // A handler may drop the caller's last reference (a sink unadvising): live until it returns.
    ComPtr<IDispatch> self(static_cast<IDispatch*>(this));
    return ControlDispatchTable().Invoke(DispatchSelf(), member, riid, flags, params, result,
                                         excepInfo, argErr);
}

void* OleControl::QueryExtraInterface(REFIID riid) {
    // The control's dispinterface is its IDispatch.
    if (riid == ControlDispatchTable().Iid()) return static_cast<IDispatch*>(this);
    return nullptr;
}

// --- IOleObject --------------------------------------------------------------------------------

HRESULT OleControl::SetClientSite(IOleClientSite* site) {
    site_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT OleControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    site_.CopyTo(site);
    return S_OK;
}

HRESULT OleControl::Close(DWORD) {
    DestroyControlWindow();
    return S_OK;
}

HRESULT OleControl::DoVerb(LONG verb) {
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return CreateControlWindow();
        case OLEIVERB_HIDE:
            if (widget_) widget_->hide();
            return S_OK;
        case OLEIVERB_PROPERTIES: {
            if (ComPtr<IOleControlSite> control = site_.As<IOleControlSite>()) {
                HRESULT hr = control->ShowPropertyFrame();
                if (hr != E_NOTIMPL) return hr;
            }
            return OnShowPropertyPages();
        }
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT OleControl::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = ControlClsid();
    return S_OK;
}

HRESULT OleControl::SetExtent(DWORD aspect, LONG width, LONG height) {
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    if (width < 0 || height < 0) return E_INVALIDARG;
    width_ = width;
    height_ = height;
    if (widget_) {
        const bool visible = widget_->isVisible();
        widget_->resize(width, height);
        // A widget that is not on screen gets its resize event only when shown.
        if (!visible) OnSize(width, height);
    }
    return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, LONG* width, LONG* height) {
    if (!width || !height) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    *width = width_;
    *height = height_;
    return S_OK;
}

HRESULT OleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? MiscStatus() : 0;
    return S_OK;
}

// --- persistence -------------------------------------------------------------------------------

HRESULT OleControl::GetClassID(CLSID* clsid) {
    return GetUserClassID(clsid);
}

HRESULT OleControl::IsDirty() {
    return modified_ ? S_OK : S_FALSE;
}

void OleControl::Exchange(PropExchange& px) {
    DoPropExchange(px);
    LONG width = width_, height = height_;
    px.Long(kExtentXKey, width, width_);
    px.Long(kExtentYKey, height, height_);
    if (px.IsLoading() && width >= 0 && height >= 0) SetExtent(DVASPECT_CONTENT, width, height);
}

HRESULT OleControl::InitNew() {
    PropExchange::InitNew([this](PropExchange& px) { Exchange(px); });
    modified_ = false;
    return S_OK;
}

HRESULT OleControl::Load(const uint8_t* data, size_t size) {
    if (!data && size) return E_POINTER;
    HRESULT hr = PropExchange::Load(data, size, [this](PropExchange& px) { Exchange(px); });
    if (SUCCEEDED(hr)) modified_ = false;
    return hr;
}

HRESULT OleControl::Save(std::vector<uint8_t>* data, BOOL clearDirty) {
    if (!data) return E_POINTER;
    *data = PropExchange::Save([this](PropExchange& px) { Exchange(px); });
    if (clearDirty) modified_ = false;
    return S_OK;
}

HRESULT OleControl::Load(const PropertyBag* bag) {
    if (!bag) return E_POINTER;
    PropExchange px(*bag);
    Exchange(px);
    modified_ = false;
    return S_OK;
}

HRESULT OleControl::Save(PropertyBag* bag, BOOL clearDirty) {
    if (!bag) return E_POINTER;
    PropExchange px;
    Exchange(px);
    *bag = px.Bag();
    if (clearDirty) modified_ = false;
    return S_OK;
}

// --- connection points -------------------------------------------------------------------------

void OleControl::EnsurePoints() {
    if (pointsAdded_) return;
    pointsAdded_ = true;
    points_.Add(EventsIid());
    points_.Add(IPropertyNotifySink::iid);
}

HRESULT OleControl::EnumConnectionPoints(IEnumConnectionPoints** enumerator) {
    EnsurePoints();
    return points_.EnumConnectionPoints(enumerator);
}

HRESULT OleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    EnsurePoints();
    return points_.FindConnectionPoint(iid, point);
}

size_t OleControl::FireEventArgs(DISPID dispid, std::vector<Variant> args) {
    EnsurePoints();
    return points_.FireEvent(EventsIid(), dispid, std::move(args));
}

void OleControl::BoundPropertyChanged(DISPID dispid) {
    EnsurePoints();
    if (ConnectionPoint* point = points_.Find(IPropertyNotifySink::iid)) point->FireOnChanged(dispid);
}

// --- browsing and pages ------------------------------------------------------------------------

HRESULT OleControl::GetDisplayString(DISPID dispid, std::string* text) {
    if (!text) return E_POINTER;
    std::string shown;
    if (!OnGetDisplayString(dispid, shown)) return E_NOTIMPL;
    *text = std::move(shown);
    return S_OK;
}

HRESULT OleControl::MapPropertyToPage(DISPID, CLSID* page) {
    if (!page) return E_POINTER;
    *page = Guid{};
    return E_NOTIMPL;
}

HRESULT OleControl::GetPredefinedStrings(DISPID dispid, std::vector<std::string>* strings,
                                         std::vector<DWORD>* cookies) {
    if (!strings || !cookies) return E_POINTER;
    std::vector<std::string> names;
    std::vector<DWORD> values;
    if (!OnGetPredefinedStrings(dispid, names, values)) return E_NOTIMPL;
    *strings = std::move(names);
    *cookies = std::move(values);
    return S_OK;
}

HRESULT OleControl::GetPredefinedValue(DISPID dispid, DWORD cookie, VARIANT* value) {
    if (!value) return E_POINTER;
    Variant out;
    if (!OnGetPredefinedValue(dispid, cookie, out)) return E_NOTIMPL;
    *value = std::move(out);
    return S_OK;
}

HRESULT OleControl::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    const std::vector<CLSID> classes = PropertyPageClasses();
    pages->count = 0;
    pages->elements = nullptr;
    if (classes.empty()) return S_OK;
    // The caller frees the array with std::free (the platform's task allocator).
    void* memory = std::malloc(classes.size() * sizeof(Guid));
    if (!memory) return E_OUTOFMEMORY;
    std::memcpy(memory, classes.data(), classes.size() * sizeof(Guid));
    pages->elements = static_cast<Guid*>(memory);
    pages->count = static_cast<ULONG>(classes.size());
    return S_OK;
}

HRESULT OleControl::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT OleControl::GetGUID(DWORD kind, Guid* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = EventsIid();
    return S_OK;
}

// --- the control's services --------------------------------------------------------------------

bool OleControl::AmbientUserMode() const {
    ComPtr<IDispatch> ambient = site_.As<IDispatch>();
    if (!ambient) return true;
    DISPPARAMS none;
    Variant value;
    if (FAILED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                               &value, nullptr, nullptr)))
        return true;
    if (value.Type() == VT_BOOL) return value.Bool() != 0;
    int64_t number = 0;
    return value.GetInteger(&number) ? number != 0 : true;
}

void OleControl::InvalidateControl() {
    ++invalidations_;
    if (widget_) widget_->update();
}

bool OleControl::RequestResize(LONG width, LONG height) {
    ComPtr<IOleInPlaceSite> inPlace = site_.As<IOleInPlaceSite>();
    return inPlace && SUCCEEDED(inPlace->OnPosRectChange(width, height));
}

HWND OleControl::ContainerWindow() const {
    HWND window = HWND_NONE;
    if (ComPtr<IOleInPlaceSite> inPlace = site_.As<IOleInPlaceSite>()) {
        if (FAILED(inPlace->GetWindow(&window))) window = HWND_NONE;
    }
    return window;
}

HWND OleControl::MessageWindowHandle() const {
    return messages_ ? messages_->Handle() : HWND_NONE;
}

bool OleControl::SetControlTimer(UINT_PTR id, UINT elapseMs) {
    return messages_ && ::SetTimer(messages_->Handle(), id, elapseMs) == id;
}

void OleControl::KillControlTimer(UINT_PTR id) {
    if (messages_) ::KillTimer(messages_->Handle(), id);
}

// --- the window --------------------------------------------------------------------------------

HRESULT OleControl::CreateControlWindow() {
    if (widget_) {
        widget_->show();
        return S_OK;
    }
    ComPtr<IOleInPlaceSite> inPlace = site_.As<IOleInPlaceSite>();
    if (!inPlace) return E_UNEXPECTED;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    QWidget* parent = nullptr;
    if (FAILED(inPlace->GetContainerWidget(&parent)) || !parent) return E_UNEXPECTED;
    HRESULT error = S_OK;
    messages_ = MessageWindow::Create(
        WindowClassName(), "",
        [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            return WindowMessage(window, message, wParam, lParam);
        },
        &error);
    // Without a message window the control still works; only timers and reports are lost.
    auto* widget = new OleControlWidget(parent, [this](int w, int h) { OnSize(w, h); });
    widget_ = widget;
    widget->setGeometry(0, 0, width_, height_);
    inPlace->OnInPlaceActivate();
    OnCreate();
    widget->show();
    OnSize(widget->width(), widget->height());
    return S_OK;
}

void OleControl::DestroyControlWindow() {
    if (!widget_ && !messages_) return;
    const bool hadWindow = static_cast<bool>(widget_);
    if (hadWindow) OnDestroy();
    delete widget_.data();
    widget_.clear();
    messages_.reset();
    if (hadWindow) {
        if (ComPtr<IOleInPlaceSite> inPlace = site_.As<IOleInPlaceSite>()) inPlace->OnInPlaceDeactivate();
    }
}

LRESULT OleControl::WindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    }
    LRESULT result = 0;
    if (OnWindowMessage(message, wParam, lParam, &result)) return result;
    return DefWindowProc(window, message, wParam, lParam);
}
