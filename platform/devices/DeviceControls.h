#pragma once
// IAMVideoProcAmp and IAMCameraControl over a device's control descriptions. Both interfaces have
// the same three calls; one template serves them, told apart by `Camera`.
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/DeviceState.h"

// The shared logic: ranges from the description, values through the driver.
class ControlAccess {
public:
    ControlAccess(std::shared_ptr<DeviceState> state, bool camera) : state_(std::move(state)), camera_(camera) {}
    HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* defaultValue, LONG* capsFlags);
    HRESULT Set(LONG property, LONG value, LONG flags);
    HRESULT Get(LONG property, LONG* value, LONG* flags);

private:
    ControlDescription* Find(LONG property);  // under the mutex
    std::shared_ptr<DeviceState> state_;
    bool camera_;
};

template <class Interface, bool Camera>
class DeviceControlSet : public ComObject<Interface> {
public:
    explicit DeviceControlSet(std::shared_ptr<DeviceState> state) : access_(std::move(state), Camera) {}
    HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* defaultValue, LONG* capsFlags) override {
        return access_.GetRange(property, min, max, step, defaultValue, capsFlags);
    }
    HRESULT Set(LONG property, LONG value, LONG flags) override { return access_.Set(property, value, flags); }
    HRESULT Get(LONG property, LONG* value, LONG* flags) override { return access_.Get(property, value, flags); }

private:
    ControlAccess access_;
};

using VideoProcAmp = DeviceControlSet<IAMVideoProcAmp, false>;
using CameraControl = DeviceControlSet<IAMCameraControl, true>;
