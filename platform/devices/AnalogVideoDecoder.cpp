#include "platform/devices/AnalogVideoDecoder.h"

#include "platform/devices/AnalogStandards.h"

HRESULT AnalogVideoDecoder::get_AvailableTVFormats(LONG* standards) {
    if (!standards) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *standards = state_->description.decoder->availableTvFormats;
    return S_OK;
}

HRESULT AnalogVideoDecoder::put_TVFormat(LONG standard) {
    std::lock_guard lock(state_->mutex);
    auto& decoder = *state_->description.decoder;
    // Exactly one standard, and one the decoder knows; None is refused as on real decoders.
    if (standard == 0 || (standard & (standard - 1)) != 0 || (standard & decoder.availableTvFormats) == 0)
        return E_INVALIDARG;
    HRESULT hr = state_->driver->ApplyTvFormat(standard);
    if (FAILED(hr)) return hr;
    decoder.tvFormat = standard;
    if (state_->description.tuner) state_->description.tuner->tvFormat = standard;
    return S_OK;
}

HRESULT AnalogVideoDecoder::get_TVFormat(LONG* standard) {
    if (!standard) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *standard = state_->description.decoder->tvFormat;
    return S_OK;
}

HRESULT AnalogVideoDecoder::get_HorizontalLocked(LONG* locked) {
    if (!locked) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    bool measured = false;
    if (state_->driver->ReadHorizontalLocked(&measured)) *locked = measured ? 1 : 0;
    else *locked = state_->description.decoder->horizontalLocked ? 1 : 0;
    return S_OK;
}

HRESULT AnalogVideoDecoder::put_VCRHorizontalLocking(LONG vcrLocking) {
    vcrLocking_ = vcrLocking ? 1 : 0;
    return S_OK;
}

HRESULT AnalogVideoDecoder::get_VCRHorizontalLocking(LONG* vcrLocking) {
    if (!vcrLocking) return E_POINTER;
    *vcrLocking = vcrLocking_;
    return S_OK;
}

HRESULT AnalogVideoDecoder::get_NumberOfLines(LONG* lines) {
    if (!lines) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *lines = AnalogStandardLines(state_->description.decoder->tvFormat);
    return S_OK;
}

HRESULT AnalogVideoDecoder::put_OutputEnable(LONG enable) {
    outputEnable_ = enable ? 1 : 0;
    return S_OK;
}

HRESULT AnalogVideoDecoder::get_OutputEnable(LONG* enable) {
    if (!enable) return E_POINTER;
    *enable = outputEnable_;
    return S_OK;
}
