#pragma once
// A synthetic live audio source for this layer's tests (CLSID_OrvantaSyntheticAudio): one
// "Capture" pin (PIN_CATEGORY_CAPTURE) of 16-bit PCM with a 440 Hz tone, in buffers of a fixed
// duration, each stamped by its sample position and delivered when stream time reaches it.
#include <atomic>
#include <cstdint>

#include "platform/dshow/base/SourceFilter.h"

struct SyntheticAudioFormat {
    DWORD samplesPerSec = 44100;
    WORD channels = 2;
    DWORD bufferMs = 10;
    // After this many sample frames the stream ends (0: never).
    uint64_t sampleLimit = 0;
};

class SyntheticAudioSource;

class SyntheticAudioPin final : public SourcePin {
public:
    explicit SyntheticAudioPin(SyntheticAudioSource* source);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;

    uint64_t SamplesMade() const { return position_; }

protected:
    HRESULT FillBuffer(IMediaSample* sample) override;

private:
    SyntheticAudioSource* source_;
    std::atomic<uint64_t> position_{0};
};

class SyntheticAudioSource final : public SourceFilter {
public:
    explicit SyntheticAudioSource(const SyntheticAudioFormat& format = SyntheticAudioFormat());
    const SyntheticAudioFormat& Format() const { return format_; }
    AM_MEDIA_TYPE MediaType() const;
    SyntheticAudioPin* CapturePin() const { return pin_; }

private:
    SyntheticAudioFormat format_;
    SyntheticAudioPin* pin_;
};
