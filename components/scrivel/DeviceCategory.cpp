#include "components/scrivel/DeviceCategory.h"

#include <functional>

#include "platform/com/Variant.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/FilterInterfaces.h"

namespace {
std::string FriendlyNameOf(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress())) || !bag)
        return {};
    Variant value;
    if (FAILED(bag->Read("FriendlyName", &value, nullptr)) || value.Type() != VT_BSTR) return {};
    return value.Bstr();
}

void ForEachEntry(const CLSID& category, const std::function<void(IMoniker*)>& visit) {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf())) || !devices) return;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0) != S_OK || !monikers) return;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK && moniker) visit(moniker.Get());
}
}  // namespace

std::vector<std::string> CategoryNames(const CLSID& category) {
    std::vector<std::string> names;
    ForEachEntry(category, [&](IMoniker* m) { names.push_back(FriendlyNameOf(m)); });
    return names;
}

ComPtr<IBaseFilter> BindCategoryEntry(const CLSID& category, const std::string& name) {
    ComPtr<IBaseFilter> bound;
    ForEachEntry(category, [&](IMoniker* m) {
        if (bound || FriendlyNameOf(m) != name) return;
        if (FAILED(m->BindToObject(nullptr, nullptr, IBaseFilter::iid, bound.ReleaseAndGetVoidAddress()))) bound.Reset();
    });
    return bound;
}
