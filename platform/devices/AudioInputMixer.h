#pragma once
// IAMAudioInputMixer of one input line of an audio capture device: enable and mix level reach the
// card through the driver (capture switch and capture volume on ALSA); the tone controls are kept
// but have no effect on any card here.
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/DeviceState.h"

class AudioInputMixer : public ComObject<IAMAudioInputMixer> {
public:
    AudioInputMixer(std::shared_ptr<DeviceState> state, size_t line) : state_(std::move(state)), line_(line) {}

    HRESULT put_Enable(BOOL enable) override;
    HRESULT get_Enable(BOOL* enable) override;
    HRESULT put_Mono(BOOL mono) override;
    HRESULT get_Mono(BOOL* mono) override;
    HRESULT put_MixLevel(double level) override;
    HRESULT get_MixLevel(double* level) override;
    HRESULT put_Pan(double pan) override;
    HRESULT get_Pan(double* pan) override;
    HRESULT put_Loudness(BOOL loudness) override;
    HRESULT get_Loudness(BOOL* loudness) override;
    HRESULT put_Treble(double treble) override;
    HRESULT get_Treble(double* treble) override;
    HRESULT get_TrebleRange(double* range) override;
    HRESULT put_Bass(double bass) override;
    HRESULT get_Bass(double* bass) override;
    HRESULT get_BassRange(double* range) override;

private:
    std::shared_ptr<DeviceState> state_;
    size_t line_;
    BOOL mono_ = FALSE;
    double pan_ = 0.0;
    BOOL loudness_ = FALSE;
    double treble_ = 0.0;
    double bass_ = 0.0;
};
