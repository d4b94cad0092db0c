#pragma once
// A synthetic live video source for this layer's tests and benchmark
// (CLSID_OrvantaSyntheticVideo): a "Capture" pin (PIN_CATEGORY_CAPTURE) and, when asked for, a
// "Preview" pin (PIN_CATEGORY_PREVIEW). Frame n is stamped n x interval .. (n+1) x interval and
// delivered when the graph's stream time reaches its start (at once without a clock). Each frame
// is a fixed test picture whose first eight bytes carry the frame number (u32 little-endian) and
// its complement, so a consumer can tell every frame apart and spot duplicates and gaps.
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/dshow/base/SourceFilter.h"

struct SyntheticVideoFormat {
    Guid subtype = MEDIASUBTYPE_RGB24;
    LONG width = 320;
    LONG height = 240;
    REFERENCE_TIME frameInterval = UNITS / 30;
    // After this many frames each pin ends its stream (0: never).
    uint64_t frameLimit = 0;
    bool previewPin = false;
};

class SyntheticVideoSource;

class SyntheticVideoPin final : public SourcePin {
public:
    SyntheticVideoPin(SyntheticVideoSource* source, const char* name, const Guid& category);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;

    uint64_t FramesMade() const { return frame_; }

protected:
    HRESULT FillBuffer(IMediaSample* sample) override;

private:
    SyntheticVideoSource* source_;
    std::atomic<uint64_t> frame_{0};
};

class SyntheticVideoSource final : public SourceFilter {
public:
    explicit SyntheticVideoSource(const SyntheticVideoFormat& format = SyntheticVideoFormat());

    const SyntheticVideoFormat& Format() const { return format_; }
    AM_MEDIA_TYPE MediaType() const;
    SyntheticVideoPin* CapturePin() const { return capture_; }
    SyntheticVideoPin* PreviewPin() const { return preview_; }
    // The test picture, without the frame number.
    const std::vector<BYTE>& Picture() const { return picture_; }

    // The frame number a frame carries, or -1 when its stamp is not intact.
    static int64_t FrameNumberOf(const BYTE* data, size_t size);

private:
    SyntheticVideoFormat format_;
    std::vector<BYTE> picture_;
    SyntheticVideoPin* capture_;
    SyntheticVideoPin* preview_ = nullptr;
};
