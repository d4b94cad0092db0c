#pragma once
// Makes interface calls take effect on a V4L2 device: routes (S_INPUT / S_AUDIO / audio mute),
// tuning (S_FREQUENCY), signal (G_TUNER), standard (S_STD), lock state and controls (G/S_CTRL with
// the auto companion switched first, since UVC refuses writes to a control that auto overrides).
// Owns the open descriptor of the bound device.
#include <memory>

#include "platform/devices/DeviceState.h"
#include "platform/devices/v4l2/V4l2Api.h"
#include "platform/devices/v4l2/V4l2Probe.h"

class V4l2Driver : public DeviceDriver {
public:
    V4l2Driver(std::shared_ptr<V4l2Api> api, int fd, const V4l2DeviceInfo& info);
    ~V4l2Driver() override;
    V4l2Driver(const V4l2Driver&) = delete;
    V4l2Driver& operator=(const V4l2Driver&) = delete;

    HRESULT ApplyRoute(const CrossbarDescription& crossbar, LONG output, LONG input) override;
    HRESULT ApplyTuning(const TunerDescription& tuner) override;
    bool MeasureSignal(const TunerDescription& tuner, LONG* strength) override;
    HRESULT ApplyTvFormat(LONG standard) override;
    bool ReadHorizontalLocked(bool* locked) override;
    bool ReadControl(bool cameraControl, ControlDescription& control) override;
    HRESULT WriteControl(bool cameraControl, const ControlDescription& control, LONG value, LONG flags) override;

    V4l2Api& Api() { return *api_; }
    int Fd() const { return fd_; }

private:
    HRESULT SetControl(uint32_t id, int32_t value);
    std::shared_ptr<V4l2Api> api_;
    int fd_;
    int tunerIndex_;
    bool tunerLowUnits_;
    bool hasAudioMute_;
};
