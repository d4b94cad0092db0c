// The audio device's input lines (microphone, line in, CD ...): one input pin each, with a mixer.
#include "engine/CaptureSession.h"
#include "engine/SessionDeviceBinding.h"
#include "platform/com/Variant.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/Uuids.h"

namespace {

// The input pins in enumeration order, with their names; false when the pins cannot be enumerated.
bool InputPins(IBaseFilter* device, std::vector<ComPtr<IPin>>& pins, NameList* names) {
    if (!device) return false;
    ComPtr<IEnumPins> e;
    if (FAILED(device->EnumPins(e.ReleaseAndGetAddressOf())) || !e) return false;
    ComPtr<IPin> pin;
    while (e->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
        PIN_DIRECTION direction = PINDIR_OUTPUT;
        if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_INPUT) continue;
        if (names) {
            PIN_INFO info;
            if (FAILED(pin->QueryPinInfo(&info))) info.achName[0] = '\0';
            names->push_back(info.achName);
        }
        pins.push_back(pin);
    }
    return true;
}

ComPtr<IAMAudioInputMixer> MixerAt(IBaseFilter* device, int position) {
    std::vector<ComPtr<IPin>> pins;
    if (position < 0 || !InputPins(device, pins, nullptr) || static_cast<size_t>(position) >= pins.size()) return {};
    return QueryAs<IAMAudioInputMixer>(pins[static_cast<size_t>(position)].Get());
}

}  // namespace

HRESULT CCaptureSession::ListAudioInputPins(NameList& pins, IBaseFilter* device) {
    std::vector<ComPtr<IPin>> found;
    NameList names;
    if (!InputPins(device, found, &names)) return E_FAIL;
    for (size_t i = 0; i < found.size(); ++i) {
        pins.push_back(names[i]);
        ComPtr<IAMAudioInputMixer> mixer = QueryAs<IAMAudioInputMixer>(found[i].Get());
        BOOL enabled = FALSE;
        if (mixer && SUCCEEDED(mixer->get_Enable(&enabled)) && enabled == TRUE)
            enabledPinAtStart = static_cast<int32_t>(i);
    }
    return S_OK;
}

HRESULT CCaptureSession::SelectAudioInputPin(IBaseFilter* device, int position) {
    ComPtr<IAMAudioInputMixer> mixer = MixerAt(device, position);
    if (!mixer) return E_FAIL;
    HRESULT hr = mixer->put_Enable(TRUE);
    if (ownerControl) {
        // Without a stored entry for this line it is sent at full level: a level of 0 would
        // record silence from the line the user just chose.
        double level = 1.0;
        if (audioInputPinEntries && static_cast<size_t>(position) < audioInputPinEntries->size())
            level = (*audioInputPinEntries)[static_cast<size_t>(position)].mixLevel;
        mixer->put_MixLevel(level);
    }
    return hr;
}

// `position` is the line the capture used; the line enabled when the device was first listed is
// the one that is enabled again.
HRESULT CCaptureSession::RestoreAudioInputPin(IBaseFilter* device, int /*position*/) {
    ComPtr<IAMAudioInputMixer> mixer = MixerAt(device, enabledPinAtStart);
    if (!mixer) return E_FAIL;
    return mixer->put_Enable(TRUE);
}

bool CCaptureSession::RefreshAudioInputs(int index, NameList& audioDevices, NameList& audioInputPins) {
    ComPtr<ICreateDevEnum> enumerator;
    if (FAILED(CreateSystemDeviceEnum(enumerator.ReleaseAndGetAddressOf())) || !enumerator) return false;
    ComPtr<IEnumMoniker> monikers;
    if (enumerator->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, monikers.ReleaseAndGetAddressOf(), 0) != S_OK ||
        !monikers) {
        noAudioDevice = true;
        return false;
    }
    noAudioDevice = false;

    ComPtr<IBaseFilter> bound;
    ComPtr<IMoniker> moniker;
    for (int i = 0; monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK && moniker; ++i) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress())) || !bag)
            return false;
        Variant name;
        if (FAILED(bag->Read("FriendlyName", &name, nullptr))) return false;
        audioDevices.push_back(name.Bstr());
        if (i == index) {
            if (FAILED(moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, bound.ReleaseAndGetVoidAddress())) ||
                !bound)
                return false;
        }
    }
    if (bound) {
        std::vector<ComPtr<IPin>> pins;
        InputPins(bound.Get(), pins, &audioInputPins);
    }
    return true;
}

int CCaptureSession::ShowAudioCapturePage() { return ::ShowCaptureDevicePage(graph_.Get(), audioDeviceName); }
