#pragma once
// The recording volume: 16-bit PCM passes through scaled by a gain of 0.0 to 1.0 (clipping cannot
// happen below 1.0). The gain may change while running.
#include <atomic>

#include "platform/dshow/base/TransformFilter.h"

class VolumeFilter final : public TransformFilter {
public:
    VolumeFilter();

    void SetGain(double gain);
    double Gain() const { return gain_; }

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

private:
    std::atomic<double> gain_{1.0};
};

// Scales `count` samples in place; a gain of 1.0 or more leaves them as they are.
void ApplyGain(int16_t* samples, size_t count, double gain);
