#include "platform/devices/SystemDeviceEnum.h"

#include <map>
#include <mutex>

#include "platform/devices/CaptureDevices.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace {

// Reads the entry of the moniker it came from, which it keeps alive.
class DevicePropertyBag : public ComObject<IPropertyBag> {
public:
    DevicePropertyBag(const DeviceMonikerEntry& entry, ComPtr<IUnknown> owner) : entry_(entry), owner_(std::move(owner)) {}
    HRESULT Read(const char* name, Variant* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        std::string key = name;
        if (key == "FriendlyName") *value = Variant(entry_.friendlyName);
        else if (key == "DevicePath" && !entry_.devicePath.empty()) *value = Variant(entry_.devicePath);
        else if (key == "CLSID") *value = Variant(entry_.clsid.ToString());
        else return E_INVALIDARG;
        return S_OK;
    }
    // Device properties belong to the device.
    HRESULT Write(const char*, const Variant*) override { return E_ACCESSDENIED; }

private:
    const DeviceMonikerEntry& entry_;
    ComPtr<IUnknown> owner_;
};

class DeviceMoniker : public ComObject<IMoniker> {
public:
    explicit DeviceMoniker(DeviceMonikerEntry entry) : entry_(std::move(entry)) {}
    HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        ComPtr<IBaseFilter> filter;
        HRESULT hr = entry_.bind ? entry_.bind(filter.ReleaseAndGetAddressOf()) : E_FAIL;
        if (FAILED(hr)) return hr;
        if (!filter) return E_FAIL;
        return filter->QueryInterface(riid, object);
    }
    HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        auto bag = MakeCom<DevicePropertyBag>(entry_, ComPtr<IUnknown>(GetUnknown()));
        return bag->QueryInterface(riid, object);
    }

private:
    DeviceMonikerEntry entry_;
};

class MonikerList : public ComObject<IEnumMoniker> {
public:
    MonikerList(std::vector<ComPtr<IMoniker>> monikers, size_t position = 0)
        : monikers_(std::move(monikers)), position_(position) {}
    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
        if (!monikers) return E_POINTER;
        if (!fetched && count > 1) return E_INVALIDARG;
        ULONG n = 0;
        while (n < count && position_ < monikers_.size()) monikers_[position_++].CopyTo(&monikers[n++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ = std::min(monikers_.size(), position_ + count);
        return position_ < monikers_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumMoniker** copy) override {
        if (!copy) return E_POINTER;
        *copy = MakeCom<MonikerList>(monikers_, position_).Detach();
        return S_OK;
    }

private:
    std::vector<ComPtr<IMoniker>> monikers_;
    size_t position_;
};

std::mutex& ProvidersLock() {
    static std::mutex lock;
    return lock;
}
std::map<CLSID, DeviceCategoryProvider>& Providers() {
    static std::map<CLSID, DeviceCategoryProvider> providers;
    return providers;
}

}  // namespace

void InstallDeviceCategory(const CLSID& category, DeviceCategoryProvider provider) {
    std::lock_guard lock(ProvidersLock());
    Providers()[category] = std::move(provider);
}

HRESULT SystemDeviceEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    std::vector<DeviceMonikerEntry> entries;
    if (category == CLSID_VideoInputDeviceCategory) {
        entries = CaptureDeviceMonikers(DeviceKind::Video);
    } else if (category == CLSID_AudioInputDeviceCategory) {
        entries = CaptureDeviceMonikers(DeviceKind::Audio);
    } else {
        DeviceCategoryProvider provider;
        {
            std::lock_guard lock(ProvidersLock());
            auto it = Providers().find(category);
            if (it != Providers().end()) provider = it->second;
        }
        if (provider) entries = provider();
    }
    if (entries.empty()) return S_FALSE;
    std::vector<ComPtr<IMoniker>> monikers;
    for (auto& entry : entries) monikers.push_back(MakeDeviceMoniker(std::move(entry)));
    *enumerator = MakeCom<MonikerList>(std::move(monikers)).Detach();
    return S_OK;
}

HRESULT CreateSystemDeviceEnum(ICreateDevEnum** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = MakeCom<SystemDeviceEnum>().Detach();
    return S_OK;
}

ComPtr<IMoniker> MakeDeviceMoniker(DeviceMonikerEntry entry) {
    return ComPtr<IMoniker>(MakeCom<DeviceMoniker>(std::move(entry)).Get());
}
