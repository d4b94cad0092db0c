#include "platform/devices/DeviceControls.h"

#include <algorithm>

// E_PROP_ID_UNSUPPORTED: the device has no such setting.
static constexpr HRESULT kPropertyUnsupported = MakeHResult(0x80070492);

ControlDescription* ControlAccess::Find(LONG property) {
    auto& list = camera_ ? state_->description.cameraControl : state_->description.procAmp;
    auto it = std::find_if(list.begin(), list.end(), [&](const ControlDescription& c) { return c.property == property; });
    return it == list.end() ? nullptr : &*it;
}

HRESULT ControlAccess::GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* defaultValue, LONG* capsFlags) {
    if (!min || !max || !step || !defaultValue || !capsFlags) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    const ControlDescription* control = Find(property);
    if (!control) return kPropertyUnsupported;
    *min = control->min;
    *max = control->max;
    *step = control->step;
    *defaultValue = control->defaultValue;
    *capsFlags = control->capsFlags;
    return S_OK;
}

HRESULT ControlAccess::Set(LONG property, LONG value, LONG flags) {
    std::lock_guard lock(state_->mutex);
    ControlDescription* control = Find(property);
    if (!control) return kPropertyUnsupported;
    // One mode, and one the device offers.
    if (flags != 0x1 && flags != 0x2) return E_INVALIDARG;
    if ((control->capsFlags & flags) == 0) return E_INVALIDARG;
    if (flags == 0x2 && (value < control->min || value > control->max)) return E_INVALIDARG;
    HRESULT hr = state_->driver->WriteControl(camera_, *control, value, flags);
    if (FAILED(hr)) return hr;
    if (flags == 0x2) control->value = value;
    control->valueFlags = flags;
    return S_OK;
}

HRESULT ControlAccess::Get(LONG property, LONG* value, LONG* flags) {
    if (!value || !flags) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    ControlDescription* control = Find(property);
    if (!control) return kPropertyUnsupported;
    state_->driver->ReadControl(camera_, *control);
    *value = control->value;
    *flags = control->valueFlags;
    return S_OK;
}
