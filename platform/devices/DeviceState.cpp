#include "platform/devices/DeviceState.h"

HRESULT DeviceDriver::ApplyRoute(const CrossbarDescription&, LONG, LONG) { return S_OK; }
HRESULT DeviceDriver::ApplyTuning(const TunerDescription&) { return S_OK; }
bool DeviceDriver::MeasureSignal(const TunerDescription&, LONG*) { return false; }
HRESULT DeviceDriver::ApplyTvFormat(LONG) { return S_OK; }
bool DeviceDriver::ReadHorizontalLocked(bool*) { return false; }
bool DeviceDriver::ReadControl(bool, ControlDescription&) { return false; }
HRESULT DeviceDriver::WriteControl(bool, const ControlDescription&, LONG, LONG) { return S_OK; }
HRESULT DeviceDriver::ApplyInputLine(size_t, const std::vector<AudioInputLine>&) { return S_OK; }

namespace {
constexpr size_t kMaxDroppedFramesKept = 4096;
}

void DroppedFrameCounter::Delivered(int64_t bytes) {
    std::lock_guard lock(mutex_);
    ++delivered_;
    bytes_ += bytes;
}

void DroppedFrameCounter::Dropped(LONG frameNumber) {
    std::lock_guard lock(mutex_);
    ++dropped_;
    if (droppedFrames_.size() < kMaxDroppedFramesKept) droppedFrames_.push_back(frameNumber);
}

void DroppedFrameCounter::DroppedRange(LONG first, LONG count) {
    if (count <= 0) return;
    std::lock_guard lock(mutex_);
    dropped_ += count;
    for (LONG i = 0; i < count && droppedFrames_.size() < kMaxDroppedFramesKept; ++i) droppedFrames_.push_back(first + i);
}

LONG DroppedFrameCounter::NumDropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

LONG DroppedFrameCounter::NumNotDropped() const {
    std::lock_guard lock(mutex_);
    return delivered_;
}

LONG DroppedFrameCounter::AverageFrameSize() const {
    std::lock_guard lock(mutex_);
    return delivered_ ? static_cast<LONG>(bytes_ / delivered_) : 0;
}

std::vector<LONG> DroppedFrameCounter::DroppedFrames() const {
    std::lock_guard lock(mutex_);
    return droppedFrames_;
}

void DroppedFrameCounter::Reset() {
    std::lock_guard lock(mutex_);
    delivered_ = dropped_ = 0;
    bytes_ = 0;
    droppedFrames_.clear();
}
