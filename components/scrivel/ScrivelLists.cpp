// The control's five lists: the compressors as the system device enumerator lists them (the same
// names the device capture control shows), the audio+video system profiles, the audio devices and
// the input lines of the chosen device.
#include <mutex>

#include "components/scrivel/DeviceCategory.h"
#include "components/scrivel/ScrivelCtrl.h"
#include "components/scrivel/WmvProfiles.h"
#include "platform/codecs/CaptureClasses.h"
#include "platform/codecs/CompressorManager.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/wmf/WmfClasses.h"

namespace {
void RegisterPlatformClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterFilterGraphClasses();
        RegisterCaptureClasses();
        RegisterWindowsMediaClasses();
    });
}

std::vector<std::string> AudioVideoProfileNames() {
    std::vector<std::string> names;
    for (const ProfileDescription* profile : AudioVideoSystemProfiles()) names.push_back(profile->name);
    return names;
}

// The configuration dialog of the installed video compressor with that description.
BOOL ShowCompressorDialog(const std::string& name) {
    ICINFO info;
    for (uint32_t i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) {
        if (info.szDescription != name) continue;
        std::unique_ptr<OpenCompressor> compressor = ICOpen(ICTYPE_VIDEO, info.fccHandler, ICMODE_COMPRESS);
        return compressor && compressor->Configure(0) == ICERR_OK ? TRUE : FALSE;
    }
    return FALSE;
}

// The names of a device's input pins, in pin order.
std::vector<std::string> InputPinNames(IBaseFilter* device) {
    std::vector<std::string> names;
    ComPtr<IEnumPins> pins;
    if (!device || FAILED(device->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) return names;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
        PIN_DIRECTION direction = PINDIR_OUTPUT;
        if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_INPUT) continue;
        PIN_INFO info;
        names.push_back(SUCCEEDED(pin->QueryPinInfo(&info)) ? info.achName : "");
    }
    return names;
}
}  // namespace

void ScrivelCtrl::FillLists() {
    RegisterPlatformClasses();
    videoCompressors_->Assign(CategoryNames(CLSID_VideoCompressorCategory));
    videoCompressors_->SetPageOpener(&ShowCompressorDialog);
    audioCompressors_->Assign(CategoryNames(CLSID_AudioCompressorCategory));
    wmvProfiles_->Assign(AudioVideoProfileNames());
    audioDevices_->Assign(CategoryNames(CLSID_AudioInputDeviceCategory));
    RefreshAudioInputPins(0);
}

BOOL ScrivelCtrl::RefreshAudioInputPins(int16_t device) {
    const std::string name = audioDevices_->Name(device);
    ComPtr<IBaseFilter> filter = name.empty() ? nullptr : BindCategoryEntry(CLSID_AudioInputDeviceCategory, name);
    audioInputPins_->Assign(InputPinNames(filter.Get()));
    return filter ? TRUE : FALSE;
}
