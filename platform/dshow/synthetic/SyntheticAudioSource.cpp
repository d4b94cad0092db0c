#include "platform/dshow/synthetic/SyntheticAudioSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dshow/Uuids.h"

SyntheticAudioPin::SyntheticAudioPin(SyntheticAudioSource* source)
    : SourcePin(source, "Capture", PIN_CATEGORY_CAPTURE), source_(source) {}

HRESULT SyntheticAudioPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    return *type == source_->MediaType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SyntheticAudioPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = source_->MediaType();
    return S_OK;
}

HRESULT SyntheticAudioPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    const SyntheticAudioFormat& f = source_->Format();
    request->cBuffers = std::max<LONG>(request->cBuffers, 8);
    request->cbBuffer = std::max<LONG>(request->cbBuffer,
                                       static_cast<LONG>(f.samplesPerSec * f.bufferMs / 1000 * f.channels * 2));
    request->cbAlign = std::max<LONG>(request->cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT SyntheticAudioPin::Active() {
    position_ = 0;
    return SourcePin::Active();
}

HRESULT SyntheticAudioPin::FillBuffer(IMediaSample* sample) {
    const SyntheticAudioFormat& f = source_->Format();
    uint64_t first = position_;
    if (f.sampleLimit && first >= f.sampleLimit) return S_FALSE;
    uint64_t frames = f.samplesPerSec * f.bufferMs / 1000;
    if (f.sampleLimit) frames = std::min<uint64_t>(frames, f.sampleLimit - first);
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(first * UNITS / f.samplesPerSec);
    REFERENCE_TIME stop = static_cast<REFERENCE_TIME>((first + frames) * UNITS / f.samplesPerSec);
    // A device hands a buffer over once it is full.
    HRESULT hr = WaitForStreamTime(stop);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    LONG bytes = static_cast<LONG>(frames * f.channels * 2);
    if (bytes > sample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    auto* out = reinterpret_cast<int16_t*>(data);
    constexpr double kTwoPi = 6.283185307179586;
    for (uint64_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(first + i) / f.samplesPerSec;
        auto value = static_cast<int16_t>(std::lround(8000.0 * std::sin(kTwoPi * 440.0 * t)));
        for (WORD c = 0; c < f.channels; ++c) out[i * f.channels + c] = value;
    }
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetActualDataLength(bytes);
    position_ = first + frames;
    return S_OK;
}

SyntheticAudioSource::SyntheticAudioSource(const SyntheticAudioFormat& format)
    : SourceFilter(CLSID_OrvantaSyntheticAudio), format_(format) {
    pin_ = AddPin(std::make_unique<SyntheticAudioPin>(this));
}

AM_MEDIA_TYPE SyntheticAudioSource::MediaType() const {
    return MakePcmAudioType(format_.samplesPerSec, format_.channels, 16);
}
