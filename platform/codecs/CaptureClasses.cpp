#include "platform/codecs/CaptureClasses.h"

#include <mutex>

#include "platform/codecs/CompressorCatalog.h"
#include "platform/codecs/CompressorFilters.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DevicePropertyPage.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace {

// Compressor filters are one class per compressor, made from its catalogue entry.
class CompressorClassFactory final : public ComObject<IClassFactory> {
public:
    explicit CompressorClassFactory(CompressorInfo info) : info_(std::move(info)) {}
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<IBaseFilter> filter;
        HRESULT hr = CreateCompressorFilter(info_, filter.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        return filter->QueryInterface(riid, object);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }  // this module is the program itself

private:
    CompressorInfo info_;
};

HRESULT Register(const CLSID& clsid, ComPtr<IUnknown> factory) {
    DWORD cookie = 0;
    return CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
}

template <class T>
ComPtr<IUnknown> FactoryOf() {
    return ComPtr<IUnknown>(MakeCom<ClassFactory<T>>()->GetUnknown());
}

}  // namespace

HRESULT RegisterCaptureClasses() {
    static std::once_flag once;
    static HRESULT result = S_OK;
    std::call_once(once, [] {
        auto keep = [](HRESULT hr) {
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        };
        keep(Register(CLSID_SystemDeviceEnum, FactoryOf<SystemDeviceEnum>()));
        keep(Register(CLSID_OrvantaDevicePropertyPage, FactoryOf<DevicePropertyPage>()));
        for (CompressorKind kind : {CompressorKind::Video, CompressorKind::Audio})
            for (const CompressorInfo& info : InstalledCompressors(kind))
                keep(Register(info.clsid, ComPtr<IUnknown>(MakeCom<CompressorClassFactory>(info)->GetUnknown())));
        InstallCompressorCategories();
    });
    return result;
}
