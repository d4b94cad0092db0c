#include "platform/devices/alsa/AlsaBackend.h"

#include <alsa/asoundlib.h>

#include <cerrno>

namespace {

struct MixerHandle {
    snd_mixer_t* mixer = nullptr;
    explicit MixerHandle(const std::string& card) {
        if (snd_mixer_open(&mixer, 0) < 0) {
            mixer = nullptr;
            return;
        }
        if (snd_mixer_attach(mixer, card.c_str()) < 0 || snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 ||
            snd_mixer_load(mixer) < 0) {
            snd_mixer_close(mixer);
            mixer = nullptr;
        }
    }
    ~MixerHandle() {
        if (mixer) snd_mixer_close(mixer);
    }
    MixerHandle(const MixerHandle&) = delete;
    MixerHandle& operator=(const MixerHandle&) = delete;

    snd_mixer_elem_t* Find(const AlsaMixerElement& wanted) const {
        if (!mixer) return nullptr;
        snd_mixer_selem_id_t* id;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, wanted.name.c_str());
        snd_mixer_selem_id_set_index(id, wanted.index);
        return snd_mixer_find_selem(mixer, id);
    }
};

}  // namespace

std::vector<AlsaMixerElement> ReadAlsaMixer(const std::string& card) {
    std::vector<AlsaMixerElement> elements;
    MixerHandle handle(card);
    if (!handle.mixer) return elements;
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(handle.mixer); elem; elem = snd_mixer_elem_next(elem)) {
        if (!snd_mixer_selem_is_active(elem)) continue;
        AlsaMixerElement e;
        e.name = snd_mixer_selem_get_name(elem);
        e.index = snd_mixer_selem_get_index(elem);
        e.hasCaptureSwitch = snd_mixer_selem_has_capture_switch(elem);
        e.hasCaptureVolume = snd_mixer_selem_has_capture_volume(elem);
        e.captureSwitchExclusive = snd_mixer_selem_has_capture_switch_exclusive(elem);
        if (e.captureSwitchExclusive) e.captureGroup = snd_mixer_selem_get_capture_group(elem);
        if (e.hasCaptureSwitch) {
            int on = 0;
            snd_mixer_selem_get_capture_switch(elem, SND_MIXER_SCHN_FRONT_LEFT, &on);
            e.captureSwitchOn = on != 0;
        }
        if (e.hasCaptureVolume) {
            snd_mixer_selem_get_capture_volume_range(elem, &e.volumeMin, &e.volumeMax);
            snd_mixer_selem_get_capture_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, &e.volume);
        }
        if (snd_mixer_selem_is_enumerated(elem) && snd_mixer_selem_is_enum_capture(elem)) {
            e.isEnumCapture = true;
            int items = snd_mixer_selem_get_enum_items(elem);
            for (int i = 0; i < items; ++i) {
                char name[128] = {};
                snd_mixer_selem_get_enum_item_name(elem, static_cast<unsigned>(i), sizeof name - 1, name);
                e.enumItems.emplace_back(name);
            }
            snd_mixer_selem_get_enum_item(elem, SND_MIXER_SCHN_FRONT_LEFT, &e.enumCurrent);
        }
        if (!e.hasCaptureSwitch && !e.hasCaptureVolume && !e.isEnumCapture) continue;
        elements.push_back(std::move(e));
    }
    return elements;
}

std::vector<DeviceDescription> ListAlsaCaptureDevices() {
    std::vector<DeviceDescription> devices;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        std::string hw = "hw:" + std::to_string(card);
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, hw.c_str(), 0) < 0) continue;
        snd_ctl_card_info_t* info;
        snd_ctl_card_info_alloca(&info);
        if (snd_ctl_card_info(ctl, info) < 0) {
            snd_ctl_close(ctl);
            continue;
        }
        std::string cardName = snd_ctl_card_info_get_name(info);
        std::string cardId = snd_ctl_card_info_get_id(info);
        std::vector<AlsaMixerElement> mixer;
        bool mixerRead = false;
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
            snd_pcm_info_t* pcm;
            snd_pcm_info_alloca(&pcm);
            snd_pcm_info_set_device(pcm, static_cast<unsigned>(device));
            snd_pcm_info_set_subdevice(pcm, 0);
            snd_pcm_info_set_stream(pcm, SND_PCM_STREAM_CAPTURE);
            if (snd_ctl_pcm_info(ctl, pcm) < 0) continue;  // no capture on this device
            if (!mixerRead) {
                mixer = ReadAlsaMixer(hw);
                mixerRead = true;
            }
            DeviceDescription d;
            d.kind = DeviceKind::Audio;
            d.backend = "alsa";
            d.name = cardName + ": " + snd_pcm_info_get_name(pcm) + " (hw:" + std::to_string(card) + "," +
                     std::to_string(device) + ")";
            d.path = "plughw:CARD=" + cardId + ",DEV=" + std::to_string(device);
            d.inputLines = PlanAlsaInputs(mixer).state;
            devices.push_back(std::move(d));
        }
        snd_ctl_close(ctl);
    }
    return devices;
}

AlsaMixerDriver::AlsaMixerDriver(std::string card, std::vector<AlsaMixerElement> elements)
    : card_(std::move(card)), elements_(std::move(elements)), plan_(PlanAlsaInputs(elements_)) {}

HRESULT AlsaMixerDriver::ApplyInputLine(size_t index, const std::vector<AudioInputLine>& lines) {
    std::vector<AudioInputLine> resulting;
    auto actions = AlsaActionsForLine(plan_, elements_, index, lines, &resulting);
    if (actions.empty()) return S_OK;
    MixerHandle handle(card_);
    for (const AlsaMixerAction& action : actions) {
        snd_mixer_elem_t* elem = handle.Find(elements_[action.element]);
        if (!elem) return E_FAIL;
        int r = 0;
        switch (action.kind) {
            case AlsaMixerAction::CaptureSwitch: r = snd_mixer_selem_set_capture_switch_all(elem, static_cast<int>(action.value)); break;
            case AlsaMixerAction::CaptureVolume: r = snd_mixer_selem_set_capture_volume_all(elem, action.value); break;
            case AlsaMixerAction::EnumItem:
                r = snd_mixer_selem_set_enum_item(elem, SND_MIXER_SCHN_FRONT_LEFT, static_cast<unsigned>(action.value));
                break;
        }
        if (r < 0) return HResultFromErrno(-r);
    }
    return S_OK;
}

AlsaCapture::~AlsaCapture() { Close(); }

HRESULT AlsaCapture::Open(const std::string& device, const AudioFormatDescription& format) {
    Close();
    AlsaPcm* pcm = nullptr;
    int r = api_->Open(device, &pcm);
    if (r < 0) return HResultFromErrno(-r);
    // 100 ms of latency: enough to ride out a busy machine, short enough for the preview.
    r = api_->SetParams(pcm, format, 100000);
    if (r < 0) {
        api_->Close(pcm);
        return HResultFromErrno(-r);
    }
    pcm_ = pcm;
    format_ = format;
    return S_OK;
}

long AlsaCapture::Read(void* buffer, unsigned long frames) {
    if (!pcm_) return VFW_E_NOT_RUNNING;
    long got = api_->ReadInterleaved(pcm_, buffer, frames);
    if (got < 0) {
        // An overrun loses samples but the stream goes on; a card that is gone does not recover.
        int r = api_->Recover(pcm_, static_cast<int>(got));
        if (r < 0) return HResultFromErrno(-r);
        return 0;
    }
    return got;
}

void AlsaCapture::Close() {
    if (pcm_) api_->Close(pcm_);
    pcm_ = nullptr;
}
