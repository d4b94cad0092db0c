#include "components/scrivel/VolumeFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dshow/Uuids.h"

namespace {
constexpr CLSID CLSID_ScrivelVolume = MakeGuid("{8A41C6E2-0D73-4B95-A8F1-6C2E93D7B540}");
}  // namespace

void ApplyGain(int16_t* samples, size_t count, double gain) {
    if (gain >= 1.0) return;
    // Fixed point: one multiply a sample.
    const int32_t factor = static_cast<int32_t>(std::lround(std::max(gain, 0.0) * 32768.0));
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>((samples[i] * factor) >> 15);
}

VolumeFilter::VolumeFilter() : TransformFilter(CLSID_ScrivelVolume, "In", "Out") {}

void VolumeFilter::SetGain(double gain) { gain_ = std::clamp(gain, 0.0, 1.0); }

HRESULT VolumeFilter::CheckInputType(const AM_MEDIA_TYPE* in) {
    const WAVEFORMATEX* wfx = in && in->majortype == MEDIATYPE_Audio ? in->WaveFormat() : nullptr;
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->wBitsPerSample != 16) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT VolumeFilter::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) {
    return in && out && *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VolumeFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    const WAVEFORMATEX* wfx = Input()->CurrentMediaType().WaveFormat();
    if (!wfx) return E_UNEXPECTED;
    request->cBuffers = std::max<LONG>(request->cBuffers, 8);
    // Half a second a buffer covers any device's packets.
    request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(wfx->nAvgBytesPerSec / 2));
    request->cbAlign = std::max<LONG>(request->cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT VolumeFilter::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !Input()->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    *type = Input()->CurrentMediaType();
    return S_OK;
}

HRESULT VolumeFilter::Transform(IMediaSample* in, IMediaSample* out) {
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    if (FAILED(in->GetPointer(&source)) || FAILED(out->GetPointer(&target))) return E_POINTER;
    const LONG length = in->GetActualDataLength();
    if (length > out->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    std::memcpy(target, source, static_cast<size_t>(length));
    ApplyGain(reinterpret_cast<int16_t*>(target), static_cast<size_t>(length) / 2, gain_);
    out->SetActualDataLength(length);
    return S_OK;
}
