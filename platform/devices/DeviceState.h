#pragma once
// The live side of one bound device, shared by its filter, its pins and its interface objects:
// the current routes, channel, standard, control values and input lines, and the driver that makes
// a change take effect on real hardware. Interface calls come on the UI thread; the streaming
// thread reads control values and counts frames, so every access takes the mutex.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/devices/DeviceDescription.h"

// What a backend does when a setting changes. The virtual devices keep the defaults: the change
// lives in the state only.
class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;
    virtual HRESULT ApplyRoute(const CrossbarDescription& crossbar, LONG output, LONG input);
    virtual HRESULT ApplyTuning(const TunerDescription& tuner);
    // Fills `strength` with AMTUNER_* and returns true when the hardware measured it; false lets
    // the description's channel table answer.
    virtual bool MeasureSignal(const TunerDescription& tuner, LONG* strength);
    virtual HRESULT ApplyTvFormat(LONG standard);
    virtual bool ReadHorizontalLocked(bool* locked);
    // Reads the current value into `control` (value and valueFlags); false keeps the stored one.
    virtual bool ReadControl(bool cameraControl, ControlDescription& control);
    virtual HRESULT WriteControl(bool cameraControl, const ControlDescription& control, LONG value, LONG flags);
    virtual HRESULT ApplyInputLine(size_t index, const std::vector<AudioInputLine>& lines);
};

// Frames delivered and dropped by a source pin.
class DroppedFrameCounter {
public:
    void Delivered(int64_t bytes);
    void Dropped(LONG frameNumber);
    // `count` frames lost in a row from `first` on.
    void DroppedRange(LONG first, LONG count);
    LONG NumDropped() const;
    LONG NumNotDropped() const;
    LONG AverageFrameSize() const;
    // The first frame numbers dropped (kept up to a bound).
    std::vector<LONG> DroppedFrames() const;
    void Reset();

private:
    mutable std::mutex mutex_;
    LONG delivered_ = 0;
    LONG dropped_ = 0;
    int64_t bytes_ = 0;
    std::vector<LONG> droppedFrames_;
};

struct DeviceState {
    explicit DeviceState(DeviceDescription d, std::unique_ptr<DeviceDriver> drv = nullptr)
        : description(std::move(d)), driver(drv ? std::move(drv) : std::make_unique<DeviceDriver>()) {}

    std::mutex mutex;
    DeviceDescription description;  // current values; guarded by mutex
    std::unique_ptr<DeviceDriver> driver;
    DroppedFrameCounter dropped;
};
