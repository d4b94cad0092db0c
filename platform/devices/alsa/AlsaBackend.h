#pragma once
// ALSA capture devices: every capture PCM of every card (as arecord -l lists them), named
// "<card name>: <device name> (hw:<card>,<device>)", opened through plughw so that the
// format is converted where the card cannot give it; the card's capture mixer gives the input
// lines (AlsaMixerMapping.h). With no sound card the list is empty.
#include <memory>
#include <string>
#include <vector>

#include "platform/devices/DeviceState.h"
#include "platform/devices/alsa/AlsaMixerMapping.h"
#include "platform/devices/alsa/AlsaPcmApi.h"

// alsa-lib's own list; everything else asks SystemAlsaPcmApi(), which tests can replace.
std::vector<DeviceDescription> ListAlsaCaptureDevices();
// The mixer elements of a card ("hw:0"); empty when it has no mixer.
std::vector<AlsaMixerElement> ReadAlsaMixer(const std::string& card);

// Applies input-line changes to the card's mixer.
class AlsaMixerDriver : public DeviceDriver {
public:
    AlsaMixerDriver(std::string card, std::vector<AlsaMixerElement> elements);
    HRESULT ApplyInputLine(size_t index, const std::vector<AudioInputLine>& lines) override;
    const AlsaInputPlan& Plan() const { return plan_; }

private:
    std::string card_;
    std::vector<AlsaMixerElement> elements_;
    AlsaInputPlan plan_;
};

// Reads interleaved PCM from a capture device through the ALSA seam (AlsaPcmApi.h) as it was
// when the capture was made. Streaming thread only.
class AlsaCapture {
public:
    AlsaCapture() : api_(SystemAlsaPcmApi()) {}
    ~AlsaCapture();
    AlsaCapture(const AlsaCapture&) = delete;
    AlsaCapture& operator=(const AlsaCapture&) = delete;

    HRESULT Open(const std::string& device, const AudioFormatDescription& format);
    // Reads up to `frames` frames into `buffer` (frames x channels x bytes); returns the count read,
    // or a negative HRESULT.
    long Read(void* buffer, unsigned long frames);
    void Close();

private:
    std::shared_ptr<AlsaPcmApi> api_;
    AlsaPcm* pcm_ = nullptr;
    AudioFormatDescription format_;
};
