#include "engine/SessionDeviceBinding.h"

#include <functional>
#include <mutex>

#include "platform/codecs/CaptureClasses.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/wmf/WmfClasses.h"

namespace {
std::string FriendlyNameOf(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress())) || !bag)
        return {};
    Variant value;
    if (FAILED(bag->Read("FriendlyName", &value, nullptr)) || value.Type() != VT_BSTR) return {};
    return value.Bstr();
}

// Calls `visit` for every moniker of the category; false when there is no enumerator.
bool ForEachMoniker(ICreateDevEnum* devices, const CLSID& category, const std::function<void(IMoniker*)>& visit) {
    if (!devices) return false;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0) != S_OK || !monikers)
        return false;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK && moniker) visit(moniker.Get());
    return true;
}

ComPtr<IBaseFilter> Bind(IMoniker* moniker) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress())))
        filter.Reset();
    return filter;
}
}  // namespace

std::vector<std::string> ListDeviceNames(ICreateDevEnum* devices, const CLSID& category, bool* present) {
    std::vector<std::string> names;
    bool found = ForEachMoniker(devices, category, [&](IMoniker* m) { names.push_back(FriendlyNameOf(m)); });
    if (present) *present = found;
    return names;
}

ComPtr<IBaseFilter> BindDeviceByName(ICreateDevEnum* devices, const CLSID& category, const std::string& name) {
    ComPtr<IBaseFilter> bound;
    ForEachMoniker(devices, category, [&](IMoniker* m) {
        if (FriendlyNameOf(m) == name) bound = Bind(m);
    });
    return bound;
}

ComPtr<IBaseFilter> BindFirstDevice(ICreateDevEnum* devices, const CLSID& category, std::string* name) {
    ComPtr<IBaseFilter> bound;
    bool first = true;
    ForEachMoniker(devices, category, [&](IMoniker* m) {
        if (!first) return;
        first = false;
        if (name) *name = FriendlyNameOf(m);
        bound = Bind(m);
    });
    return bound;
}

ComPtr<IBaseFilter> BindCompressorByName(ICreateDevEnum* devices, const CLSID& category, const std::string& name,
                                         std::string& storedName) {
    ComPtr<IBaseFilter> bound;
    if (name.empty()) return bound;
    ForEachMoniker(devices, category, [&](IMoniker* m) {
        if (FriendlyNameOf(m) != name) return;
        storedName = name;
        bound = Bind(m);
    });
    return bound;
}

void EnsureEnginePlatform() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterFilterGraphClasses();
        RegisterCaptureClasses();
        RegisterWindowsMediaClasses();
    });
}
