#include "platform/devices/Crossbar.h"

#include <algorithm>

#include "platform/base/Log.h"

HRESULT Crossbar::get_PinCounts(LONG* outputPinCount, LONG* inputPinCount) {
    if (!outputPinCount || !inputPinCount) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    const auto& crossbar = *state_->description.crossbar;
    *outputPinCount = static_cast<LONG>(crossbar.outputs.size());
    *inputPinCount = static_cast<LONG>(crossbar.inputs.size());
    return S_OK;
}

HRESULT Crossbar::CheckRoute(const CrossbarDescription& crossbar, LONG output, LONG input) const {
    if (output < 0 || output >= static_cast<LONG>(crossbar.outputs.size())) return E_INVALIDARG;
    if (input == -1) return S_OK;  // disconnecting is always possible
    if (input < 0 || input >= static_cast<LONG>(crossbar.inputs.size())) return E_INVALIDARG;
    const auto& allowed = crossbar.allowed[output];
    return std::find(allowed.begin(), allowed.end(), input) != allowed.end() ? S_OK : S_FALSE;
}

HRESULT Crossbar::CanRoute(LONG outputPinIndex, LONG inputPinIndex) {
    std::lock_guard lock(state_->mutex);
    return CheckRoute(*state_->description.crossbar, outputPinIndex, inputPinIndex);
}

HRESULT Crossbar::Route(LONG outputPinIndex, LONG inputPinIndex) {
    std::lock_guard lock(state_->mutex);
    auto& crossbar = *state_->description.crossbar;
    HRESULT hr = CheckRoute(crossbar, outputPinIndex, inputPinIndex);
    if (hr == S_FALSE) return E_INVALIDARG;
    if (FAILED(hr)) return hr;
    hr = state_->driver->ApplyRoute(crossbar, outputPinIndex, inputPinIndex);
    if (FAILED(hr)) return hr;
    crossbar.routes[outputPinIndex] = inputPinIndex;
    if (LogEnabled(LogLevel::Debug, "devices")) {
        // Pins given by type number alone have no name: the index tells them apart.
        auto pinText = [](const std::vector<CrossbarPin>& pins, LONG index) {
            return std::to_string(index) + (pins[index].name.empty() ? "" : " (" + pins[index].name + ")");
        };
        const std::string input = inputPinIndex < 0 ? "no input" : "input " + pinText(crossbar.inputs, inputPinIndex);
        LogDebug("devices", state_->description.name + ": crossbar output " +
                                pinText(crossbar.outputs, outputPinIndex) + " takes " + input);
    }
    return S_OK;
}

HRESULT Crossbar::get_IsRoutedTo(LONG outputPinIndex, LONG* inputPinIndex) {
    if (!inputPinIndex) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    const auto& crossbar = *state_->description.crossbar;
    if (outputPinIndex < 0 || outputPinIndex >= static_cast<LONG>(crossbar.outputs.size())) return E_INVALIDARG;
    *inputPinIndex = crossbar.routes[outputPinIndex];
    return S_OK;
}

HRESULT Crossbar::get_CrossbarPinInfo(BOOL isInputPin, LONG pinIndex, LONG* pinIndexRelated, LONG* physicalType) {
    if (!pinIndexRelated || !physicalType) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    const auto& crossbar = *state_->description.crossbar;
    const auto& pins = isInputPin ? crossbar.inputs : crossbar.outputs;
    if (pinIndex < 0 || pinIndex >= static_cast<LONG>(pins.size())) return E_INVALIDARG;
    *pinIndexRelated = pins[pinIndex].related;
    *physicalType = pins[pinIndex].physicalType;
    return S_OK;
}
