#include "platform/devices/AudioInputMixer.h"

namespace {
constexpr double kToneRange = 12.0;  // dB either way
}

HRESULT AudioInputMixer::put_Enable(BOOL enable) {
    std::lock_guard lock(state_->mutex);
    auto& lines = state_->description.inputLines;
    if (line_ >= lines.size()) return E_FAIL;
    auto saved = lines;
    lines[line_].enabled = enable != FALSE;
    HRESULT hr = state_->driver->ApplyInputLine(line_, lines);
    if (FAILED(hr)) lines = std::move(saved);
    return hr;
}

HRESULT AudioInputMixer::get_Enable(BOOL* enable) {
    if (!enable) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    const auto& lines = state_->description.inputLines;
    if (line_ >= lines.size()) return E_FAIL;
    *enable = lines[line_].enabled ? TRUE : FALSE;
    return S_OK;
}

HRESULT AudioInputMixer::put_Mono(BOOL mono) {
    mono_ = mono ? TRUE : FALSE;
    return S_OK;
}

HRESULT AudioInputMixer::get_Mono(BOOL* mono) {
    if (!mono) return E_POINTER;
    *mono = mono_;
    return S_OK;
}

HRESULT AudioInputMixer::put_MixLevel(double level) {
    if (!(level >= 0.0 && level <= 1.0)) return E_INVALIDARG;
    std::lock_guard lock(state_->mutex);
    auto& lines = state_->description.inputLines;
    if (line_ >= lines.size()) return E_FAIL;
    double previous = lines[line_].mixLevel;
    lines[line_].mixLevel = level;
    HRESULT hr = state_->driver->ApplyInputLine(line_, lines);
    if (FAILED(hr)) lines[line_].mixLevel = previous;
    return hr;
}

HRESULT AudioInputMixer::get_MixLevel(double* level) {
    if (!level) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    const auto& lines = state_->description.inputLines;
    if (line_ >= lines.size()) return E_FAIL;
    *level = lines[line_].mixLevel;
    return S_OK;
}

HRESULT AudioInputMixer::put_Pan(double pan) {
    if (!(pan >= -1.0 && pan <= 1.0)) return E_INVALIDARG;
    pan_ = pan;
    return S_OK;
}

HRESULT AudioInputMixer::get_Pan(double* pan) {
    if (!pan) return E_POINTER;
    *pan = pan_;
    return S_OK;
}

HRESULT AudioInputMixer::put_Loudness(BOOL loudness) {
    loudness_ = loudness ? TRUE : FALSE;
    return S_OK;
}

HRESULT AudioInputMixer::get_Loudness(BOOL* loudness) {
    if (!loudness) return E_POINTER;
    *loudness = loudness_;
    return S_OK;
}

HRESULT AudioInputMixer::put_Treble(double treble) {
    if (!(treble >= -kToneRange && treble <= kToneRange)) return E_INVALIDARG;
    treble_ = treble;
    return S_OK;
}

HRESULT AudioInputMixer::get_Treble(double* treble) {
    if (!treble) return E_POINTER;
    *treble = treble_;
    return S_OK;
}

HRESULT AudioInputMixer::get_TrebleRange(double* range) {
    if (!range) return E_POINTER;
    *range = kToneRange;
    return S_OK;
}

HRESULT AudioInputMixer::put_Bass(double bass) {
    if (!(bass >= -kToneRange && bass <= kToneRange)) return E_INVALIDARG;
    bass_ = bass;
    return S_OK;
}

HRESULT AudioInputMixer::get_Bass(double* bass) {
    if (!bass) return E_POINTER;
    *bass = bass_;
    return S_OK;
}

HRESULT AudioInputMixer::get_BassRange(double* range) {
    if (!range) return E_POINTER;
    *range = kToneRange;
    return S_OK;
}
