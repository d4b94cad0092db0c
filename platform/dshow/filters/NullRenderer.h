#pragma once
// The Null Renderer (CLSID_NullRenderer): accepts any type and discards every sample. It counts
// what it received (for tests and the benchmark).
#include <atomic>
#include <cstdint>

#include "platform/dshow/filters/RendererFilter.h"

class NullRenderer final : public RendererFilter {
public:
    NullRenderer();
    HRESULT RenderSample(IMediaSample* sample) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    bool RenderCanBlock() const override { return false; }

    uint64_t ReceivedCount() const { return received_; }

private:
    std::atomic<uint64_t> received_{0};
};
