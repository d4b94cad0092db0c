#include <alsa/asoundlib.h>

#include <mutex>
#include <utility>

#include "platform/devices/alsa/AlsaBackend.h"
#include "platform/devices/alsa/AlsaPcmApi.h"

namespace {

// The handles this API gives out are alsa-lib's own PCMs.
snd_pcm_t* Native(AlsaPcm* pcm) {
    return reinterpret_cast<snd_pcm_t*>(pcm);
}

class SystemApi : public AlsaPcmApi {
public:
    std::vector<DeviceDescription> ListCaptureDevices() override {
        return ListAlsaCaptureDevices();
    }
    int Open(const std::string& name, AlsaPcm** pcm) override {
        snd_pcm_t* native = nullptr;
        int r = snd_pcm_open(&native, name.c_str(), SND_PCM_STREAM_CAPTURE, 0);
        *pcm = reinterpret_cast<AlsaPcm*>(native);
        return r;
    }
    int SetParams(AlsaPcm* pcm, const AudioFormatDescription& format, unsigned latencyUs) override {
        snd_pcm_format_t sample =
            format.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        return snd_pcm_set_params(Native(pcm), sample, SND_PCM_ACCESS_RW_INTERLEAVED,
                                  static_cast<unsigned>(format.channels),
                                  static_cast<unsigned>(format.sampleRate), 1, latencyUs);
    }
    long ReadInterleaved(AlsaPcm* pcm, void* buffer, unsigned long frames) override {
        return snd_pcm_readi(Native(pcm), buffer, frames);
    }
    int Recover(AlsaPcm* pcm, int error) override { return snd_pcm_recover(Native(pcm), error, 1); }
    int Close(AlsaPcm* pcm) override { return snd_pcm_close(Native(pcm)); }
};

std::mutex& ReplacementLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<AlsaPcmApi>& Replacement() {
    static std::shared_ptr<AlsaPcmApi> api;
    return api;
}

}  // namespace

std::shared_ptr<AlsaPcmApi> SystemAlsaPcmApi() {
    {
        std::lock_guard lock(ReplacementLock());
        if (Replacement()) return Replacement();
    }
    static std::shared_ptr<AlsaPcmApi> api = std::make_shared<SystemApi>();
    return api;
}

std::shared_ptr<AlsaPcmApi> UseAlsaPcmApi(std::shared_ptr<AlsaPcmApi> api) {
    std::lock_guard lock(ReplacementLock());
    return std::exchange(Replacement(), std::move(api));
}
