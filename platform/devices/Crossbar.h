#pragma once
// IAMCrossbar over a device's crossbar description: pin counts and types, routing rules, current
// routes. Routing reaches the hardware through the device driver (VIDIOC_S_INPUT on V4L2).
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/DeviceState.h"

class Crossbar : public ComObject<IAMCrossbar> {
public:
    // The device must have a crossbar.
    explicit Crossbar(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}

    HRESULT get_PinCounts(LONG* outputPinCount, LONG* inputPinCount) override;
    HRESULT CanRoute(LONG outputPinIndex, LONG inputPinIndex) override;
    HRESULT Route(LONG outputPinIndex, LONG inputPinIndex) override;
    HRESULT get_IsRoutedTo(LONG outputPinIndex, LONG* inputPinIndex) override;
    HRESULT get_CrossbarPinInfo(BOOL isInputPin, LONG pinIndex, LONG* pinIndexRelated, LONG* physicalType) override;

private:
    HRESULT CheckRoute(const CrossbarDescription& crossbar, LONG output, LONG input) const;
    std::shared_ptr<DeviceState> state_;
};
