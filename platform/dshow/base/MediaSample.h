#pragma once
// A pooled sample of a MemAllocator. Its reference count does not delete it: when the last
// reference goes, the sample returns to its allocator, which keeps the allocator alive for as long
// as the sample is out. A sample either points into its allocator's buffer or, for an allocator
// without buffers, into another sample's buffer that it keeps referenced (a zero-copy view).
//
// Threads: a sample is used by one thread at a time (the one it was handed to); its reference
// count is atomic.
#include <atomic>
#include <memory>

#include "platform/com/ComPtr.h"
#include "platform/dshow/SampleInterfaces.h"

class MemAllocator;

class MediaSample final : public IMediaSample2 {
public:
    MediaSample(MemAllocator* allocator, BYTE* buffer, LONG size);
    MediaSample(const MediaSample&) = delete;
    MediaSample& operator=(const MediaSample&) = delete;
    ~MediaSample();

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IMediaSample
    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(BOOL syncPoint) override;
    HRESULT IsPreroll() override;
    HRESULT SetPreroll(BOOL preroll) override;
    LONG GetActualDataLength() override;
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override;
    HRESULT SetDiscontinuity(BOOL discontinuity) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* stop) override;
    HRESULT SetMediaTime(const LONGLONG* start, const LONGLONG* stop) override;

    // IMediaSample2
    HRESULT GetProperties(DWORD size, BYTE* properties) override;
    HRESULT SetProperties(DWORD size, const BYTE* properties) override;

    // For a bufferless allocator's sample: shows `length` bytes of `source` (which it keeps
    // referenced until the sample returns to its pool).
    HRESULT ShareBuffer(IMediaSample* source);

private:
    friend class MemAllocator;
    // Called by the allocator when it hands the sample out: one reference, no properties.
    void HandOut(ComPtr<MemAllocator> allocator);

    MemAllocator* pool_;  // the allocator that owns this sample (not a reference)
    ComPtr<MemAllocator> outFrom_;  // held while the sample is out
    ComPtr<IMediaSample> shared_;   // the sample whose buffer this one shows
    std::atomic<ULONG> refs_{0};
    BYTE* buffer_;
    LONG size_;
    LONG actual_ = 0;
    DWORD flags_ = 0;  // AM_SAMPLE_* flags, including the time-valid ones
    bool mediaTimeValid_ = false;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME stop_ = 0;
    LONGLONG mediaStart_ = 0;
    LONGLONG mediaStop_ = 0;
    DWORD streamId_ = 0;
    std::unique_ptr<AM_MEDIA_TYPE> type_;
};
