#pragma once
// IAMAnalogVideoDecoder over a device's decoder description; the standard reaches the hardware
// through the driver (VIDIOC_S_STD on V4L2).
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/DeviceState.h"

class AnalogVideoDecoder : public ComObject<IAMAnalogVideoDecoder> {
public:
    // The device must have a decoder.
    explicit AnalogVideoDecoder(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}

    HRESULT get_AvailableTVFormats(LONG* standards) override;
    HRESULT put_TVFormat(LONG standard) override;
    HRESULT get_TVFormat(LONG* standard) override;
    HRESULT get_HorizontalLocked(LONG* locked) override;
    HRESULT put_VCRHorizontalLocking(LONG vcrLocking) override;
    HRESULT get_VCRHorizontalLocking(LONG* vcrLocking) override;
    HRESULT get_NumberOfLines(LONG* lines) override;
    HRESULT put_OutputEnable(LONG enable) override;
    HRESULT get_OutputEnable(LONG* enable) override;

private:
    std::shared_ptr<DeviceState> state_;
    LONG vcrLocking_ = 0;
    LONG outputEnable_ = 1;
};
