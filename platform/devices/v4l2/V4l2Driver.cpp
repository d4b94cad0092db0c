#include "platform/devices/v4l2/V4l2Driver.h"

#include <linux/videodev2.h>

#include <cerrno>

#include "platform/devices/AnalogStandards.h"
#include "platform/devices/ChannelFrequencies.h"
#include "platform/devices/DeviceInterfaces.h"

V4l2Driver::V4l2Driver(std::shared_ptr<V4l2Api> api, int fd, const V4l2DeviceInfo& info)
    : api_(std::move(api)),
      fd_(fd),
      tunerIndex_(info.tunerIndex),
      tunerLowUnits_(info.tunerLowUnits),
      hasAudioMute_(info.hasAudioMute) {}

V4l2Driver::~V4l2Driver() {
    if (fd_ >= 0) api_->Close(fd_);
}

HRESULT V4l2Driver::SetControl(uint32_t id, int32_t value) {
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return XIoctl(*api_, fd_, VIDIOC_S_CTRL, &control) < 0 ? HResultFromLastErrno() : S_OK;
}

HRESULT V4l2Driver::ApplyRoute(const CrossbarDescription& crossbar, LONG output, LONG input) {
    bool audioOutput = IsAudioConnector(crossbar.outputs[output].physicalType);
    if (input < 0) {
        // The audio multiplexer cannot select "nothing": muting is how sound goes off.
        if (!audioOutput || !hasAudioMute_) return E_INVALIDARG;
        return SetControl(V4L2_CID_AUDIO_MUTE, 1);
    }
    const CrossbarPin& pin = crossbar.inputs[input];
    if (!audioOutput) {
        int index = pin.backendIndex;
        return XIoctl(*api_, fd_, VIDIOC_S_INPUT, &index) < 0 ? HResultFromLastErrno() : S_OK;
    }
    v4l2_audio audio{};
    audio.index = static_cast<uint32_t>(pin.backendIndex);
    if (XIoctl(*api_, fd_, VIDIOC_S_AUDIO, &audio) < 0) return HResultFromLastErrno();
    return hasAudioMute_ ? SetControl(V4L2_CID_AUDIO_MUTE, 0) : S_OK;
}

HRESULT V4l2Driver::ApplyTuning(const TunerDescription& tuner) {
    if (tunerIndex_ < 0) return E_FAIL;
    TunerInputType input = tuner.connectInput < static_cast<LONG>(tuner.inputTypes.size())
                               ? static_cast<TunerInputType>(tuner.inputTypes[tuner.connectInput])
                               : TunerInputCable;
    auto khz = VisionCarrierKHz(tuner.countryCode, input, tuner.channel);
    if (!khz) return E_INVALIDARG;
    v4l2_frequency frequency{};
    frequency.tuner = static_cast<uint32_t>(tunerIndex_);
    frequency.type = V4L2_TUNER_ANALOG_TV;
    // 62.5 kHz units, or 62.5 Hz units for tuners with V4L2_TUNER_CAP_LOW.
    frequency.frequency = static_cast<uint32_t>(tunerLowUnits_ ? *khz * 16 : *khz * 16 / 1000);
    return XIoctl(*api_, fd_, VIDIOC_S_FREQUENCY, &frequency) < 0 ? HResultFromLastErrno() : S_OK;
}

bool V4l2Driver::MeasureSignal(const TunerDescription&, LONG* strength) {
    if (tunerIndex_ < 0) return false;
    v4l2_tuner tuner{};
    tuner.index = static_cast<uint32_t>(tunerIndex_);
    if (XIoctl(*api_, fd_, VIDIOC_G_TUNER, &tuner) < 0) {
        *strength = AMTUNER_HASNOSIGNALSTRENGTH;
        return true;
    }
    *strength = tuner.signal > 0 ? AMTUNER_SIGNALPRESENT : AMTUNER_NOSIGNAL;
    return true;
}

HRESULT V4l2Driver::ApplyTvFormat(LONG standard) {
    v4l2_std_id id = V4l2StdFromAnalogStandards(standard);
    if (id == 0) return E_INVALIDARG;
    return XIoctl(*api_, fd_, VIDIOC_S_STD, &id) < 0 ? HResultFromLastErrno() : S_OK;
}

bool V4l2Driver::ReadHorizontalLocked(bool* locked) {
    int current = 0;
    if (XIoctl(*api_, fd_, VIDIOC_G_INPUT, &current) < 0) return false;
    v4l2_input input{};
    input.index = static_cast<uint32_t>(current);
    if (XIoctl(*api_, fd_, VIDIOC_ENUMINPUT, &input) < 0) return false;
    *locked = (input.status & (V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL | V4L2_IN_ST_NO_POWER)) == 0;
    return true;
}

bool V4l2Driver::ReadControl(bool, ControlDescription& control) {
    v4l2_control c{};
    c.id = control.v4l2Id;
    if (XIoctl(*api_, fd_, VIDIOC_G_CTRL, &c) < 0) return false;
    control.value = c.value;
    if (control.v4l2AutoId) {
        v4l2_control a{};
        a.id = control.v4l2AutoId;
        if (XIoctl(*api_, fd_, VIDIOC_G_CTRL, &a) == 0) {
            bool on = control.v4l2AutoId == V4L2_CID_EXPOSURE_AUTO ? a.value != V4L2_EXPOSURE_MANUAL : a.value != 0;
            control.valueFlags = on ? 0x1 : 0x2;
        }
    }
    return true;
}

HRESULT V4l2Driver::WriteControl(bool, const ControlDescription& control, LONG value, LONG flags) {
    if (control.v4l2AutoId) {
        bool exposure = control.v4l2AutoId == V4L2_CID_EXPOSURE_AUTO;
        int32_t autoValue = flags == 0x1 ? (exposure ? V4L2_EXPOSURE_APERTURE_PRIORITY : 1)
                                         : (exposure ? V4L2_EXPOSURE_MANUAL : 0);
        HRESULT hr = SetControl(control.v4l2AutoId, autoValue);
        if (FAILED(hr)) return hr;
    } else if (flags == 0x1) {
        return E_INVALIDARG;
    }
    if (flags == 0x1) return S_OK;  // the device picks the value itself
    return SetControl(control.v4l2Id, value);
}
