#pragma once
// IAMDroppedFrames of a video capture pin, over the counter its streaming thread fills.
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/DeviceState.h"

class DroppedFrames : public ComObject<IAMDroppedFrames> {
public:
    explicit DroppedFrames(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}

    HRESULT GetNumDropped(LONG* dropped) override;
    HRESULT GetNumNotDropped(LONG* notDropped) override;
    HRESULT GetDroppedInfo(LONG size, LONG* frames, LONG* copied) override;
    HRESULT GetAverageFrameSize(LONG* averageSize) override;

private:
    std::shared_ptr<DeviceState> state_;
};
