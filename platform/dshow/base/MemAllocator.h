#pragma once
// The memory allocator: a fixed pool of samples negotiated once per connection (count, size,
// alignment, prefix). Buffers are allocated at Commit and kept until the allocator is
// decommitted and every sample is back, so steady streaming allocates nothing.
//
// An allocator made with MakeBufferless() has samples without buffers of their own: they show
// another sample's buffer (MediaSample::ShareBuffer), which is how the Smart Tee hands one frame
// to two outputs without copying it.
//
// Thread-safe: GetBuffer is called on streaming threads, Commit/Decommit on the graph's thread.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/dshow/SampleInterfaces.h"
#include "platform/dshow/base/MediaSample.h"

class MemAllocator final : public ComObject<IMemAllocator> {
public:
    MemAllocator() = default;
    static ComPtr<MemAllocator> MakeBufferless();

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                      DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

    // Samples currently handed out (for tests and diagnostics).
    int OutstandingCount() const;
    bool IsCommitted() const;

protected:
    ~MemAllocator() override;

private:
    friend class MediaSample;
    void ReturnSample(MediaSample* sample);
    void FreeBuffersLocked();

    // Frees a buffer the way it was made: mapped (mappedBytes long) or from the heap (0).
    struct BufferRelease {
        size_t mappedBytes = 0;
        void operator()(BYTE* p) const;
    };

    mutable std::mutex lock_;
    std::condition_variable available_;
    ALLOCATOR_PROPERTIES props_;
    bool propsSet_ = false;
    bool bufferless_ = false;
    bool committed_ = false;
    bool decommitPending_ = false;  // decommitted while samples were out
    std::vector<std::unique_ptr<BYTE, BufferRelease>> buffers_;
    std::vector<std::unique_ptr<MediaSample>> samples_;
    std::vector<MediaSample*> free_;
};
