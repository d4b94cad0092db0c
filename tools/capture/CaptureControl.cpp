#include "tools/capture/CaptureControl.h"

#include <QWidget>
#include <algorithm>

namespace {

// The control's event DISPIDs.
constexpr DISPID kCapturing = 1;
constexpr DISPID kClientConnected = 2;
constexpr DISPID kCaptureError = 3;

int64_t IntegerOf(const Variant& value, int64_t fallback) {
    int64_t n = 0;
    if (value.GetInteger(&n)) return n;
    if (value.BaseType() == VT_BOOL) return value.Deref().Bool() ? 1 : 0;
    return fallback;
}

std::string TextOf(const Variant& value) {
    Variant text = value.Deref();
    if (text.Type() != VT_BSTR && FAILED(text.ChangeType(VT_BSTR))) return {};
    return text.Bstr();
}

ComPtr<IDispatch> DispatchOf(const Variant& value) {
    Variant object = value.Deref();
    if (object.Type() != VT_DISPATCH || !object.Dispatch()) return {};
    return ComPtr<IDispatch>(object.Dispatch());
}

}  // namespace

CaptureControl::CaptureControl() = default;

CaptureControl::~CaptureControl() { Destroy(); }

HRESULT CaptureControl::Create(const Handlers& handlers, std::string* step) {
    auto fail = [&](const char* what, HRESULT hr) {
        if (step) *step = what;
        return hr;
    };
    container_ = std::make_unique<QWidget>();
    container_->resize(320, 240);
    site_ = ControlSite::Create(container_.get());
    if (HRESULT hr = site_->CreateControl(CLSID_CaptureControl); FAILED(hr)) return fail("creating the control", hr);
    if (HRESULT hr = site_->InitNew(); FAILED(hr)) return fail("initialising the control", hr);
    if (HRESULT hr = site_->Activate(); FAILED(hr)) return fail("activating the control", hr);
    HRESULT hr = site_->AdviseEvents([handlers](DISPID dispid, std::vector<Variant>& args) {
        if (dispid == kCapturing && args.size() == 2 && handlers.capturing)
            handlers.capturing(static_cast<int32_t>(IntegerOf(args[0], 0)), static_cast<int32_t>(IntegerOf(args[1], 0)));
        else if (dispid == kClientConnected && args.size() == 2 && handlers.clientConnected)
            handlers.clientConnected(static_cast<int16_t>(IntegerOf(args[0], 0)), TextOf(args[1]));
        else if (dispid == kCaptureError && args.size() == 2 && handlers.captureError)
            handlers.captureError(static_cast<int32_t>(IntegerOf(args[0], 0)), TextOf(args[1]));
        return S_OK;
    });
    if (FAILED(hr)) return fail("advising the event sink", hr);
    driver_.Attach(site_->Control());
    return S_OK;
}

void CaptureControl::Destroy() {
    driver_.Attach({});
    if (site_) site_->Destroy();
    site_.Reset();
    container_.reset();
}

std::vector<std::string> CaptureControl::Names(const std::string& collection, const std::string& nameMethod) const {
    std::vector<std::string> names;
    Variant object;
    if (FAILED(driver_.GetProperty(collection, &object))) return names;
    DispatchDriver items(DispatchOf(object));
    Variant count;
    if (!items || FAILED(items.GetProperty("Count", &count))) return names;
    for (int64_t i = 0, n = IntegerOf(count, 0); i < n; ++i) {
        Variant name;
        if (FAILED(items.Call(nameMethod, {Variant(static_cast<int16_t>(i))}, &name))) break;
        names.push_back(TextOf(name));
    }
    return names;
}

int CaptureControl::Find(const std::string& collection, const std::string& nameMethod, const std::string& name) const {
    const std::vector<std::string> names = Names(collection, nameMethod);
    auto at = std::find(names.begin(), names.end(), name);
    return at == names.end() ? -1 : static_cast<int>(at - names.begin());
}

HRESULT CaptureControl::Put(const std::string& property, Variant value) const {
    return driver_.PutProperty(property, std::move(value));
}

HRESULT CaptureControl::Get(const std::string& property, Variant* value) const {
    return driver_.GetProperty(property, value);
}

HRESULT CaptureControl::Call(const std::string& method, std::vector<Variant> args, Variant* result) const {
    return driver_.Call(method, std::move(args), result);
}

int64_t CaptureControl::CallForInteger(const std::string& method, std::vector<Variant> args, int64_t fallback) const {
    Variant result;
    if (FAILED(driver_.Call(method, std::move(args), &result))) return fallback;
    return IntegerOf(result, fallback);
}
