#include "app/outside/CVideoBroadcast.h"

#include "platform/com/VariantConvert.h"

namespace {
// The broadcaster's dispatch identifiers.
constexpr DISPID kDispidMaxClients = 2;
constexpr DISPID kDispidPort = 3;
constexpr DISPID kDispidFileName = 4;
constexpr DISPID kDispidStart = 6;
constexpr DISPID kDispidStop = 7;
constexpr DISPID kDispidClientText = 8;
// Its events.
constexpr DISPID kEventFileFinished = 1;
constexpr DISPID kEventReady = 2;
constexpr DISPID kEventBroadcasting = 3;
constexpr DISPID kEventError = 4;
constexpr DISPID kEventClients = 5;
}  // namespace

CVideoBroadcast::~CVideoBroadcast() { Destroy(); }

HRESULT CVideoBroadcast::Create(QWidget* container, Events events) {
    Destroy();
    ComPtr<ControlSite> site = ControlSite::Create(container);
    HRESULT hr = site->CreateControl(kClsid);
    if (SUCCEEDED(hr)) hr = site->InitNew();
    if (SUCCEEDED(hr))
        hr = site->AdviseEvents([this](DISPID dispid, std::vector<Variant>& args) { return OnEvent(dispid, args); });
    if (FAILED(hr)) {
        site->Destroy();
        return hr;
    }
    events_ = std::move(events);
    site_ = std::move(site);
    driver_.Attach(site_->Control());
    return S_OK;
}

void CVideoBroadcast::Destroy() {
    if (site_) site_->Destroy();
    site_.Reset();
    driver_ = {};
    events_ = {};
}

HRESULT CVideoBroadcast::OnEvent(DISPID dispid, std::vector<Variant>& args) {
    auto call = [](const std::function<void()>& handler) {
        if (handler) handler();
    };
    switch (dispid) {
    case kEventFileFinished: call(events_.fileFinished); break;
    case kEventReady: call(events_.ready); break;
    case kEventBroadcasting: call(events_.broadcasting); break;
    case kEventError: call(events_.error); break;
    case kEventClients: {
        int64_t count = 0;
        if (args.empty() || !args[0].GetInteger(&count)) return DISP_E_TYPEMISMATCH;
        if (events_.clientsChanged) events_.clientsChanged(static_cast<int16_t>(count));
        break;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

HRESULT CVideoBroadcast::SetMaxClients(int16_t maxClients) {
    return driver_ ? driver_.PutProperty(kDispidMaxClients, Variant(maxClients)) : E_POINTER;
}

HRESULT CVideoBroadcast::SetPort(int16_t port) {
    return driver_ ? driver_.PutProperty(kDispidPort, Variant(port)) : E_POINTER;
}

HRESULT CVideoBroadcast::SetFileName(const std::string& path) {
    return driver_ ? driver_.PutProperty(kDispidFileName, Variant(path)) : E_POINTER;
}

bool CVideoBroadcast::StartBroadcast() {
    if (!driver_) return false;
    Variant started;
    if (FAILED(driver_.Call(kDispidStart, {}, &started))) return false;
    Variant flag;
    return SUCCEEDED(VariantChangeType(&flag, &started, 0, VT_BOOL)) && flag.Bool() != 0;
}

HRESULT CVideoBroadcast::StopBroadcast() { return driver_ ? driver_.Call(kDispidStop) : E_POINTER; }

std::string CVideoBroadcast::GetClientText(int16_t index) {
    if (!driver_) return {};
    Variant text;
    if (FAILED(driver_.Call(kDispidClientText, {Variant(index)}, &text))) return {};
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &text, 0, VT_BSTR))) return {};
    return converted.Bstr();
}
