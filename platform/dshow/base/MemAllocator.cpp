#include "platform/dshow/base/MemAllocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {
bool IsPowerOfTwo(LONG value) { return value > 0 && (value & (value - 1)) == 0; }

size_t RoundUp(size_t value, size_t align) { return (value + align - 1) / align * align; }

// Buffers from this size on are mapped with their pages populated: a frame buffer's pages are all
// there before the first frame is written into it (faulting in a fresh HD buffer costs as much as
// ten copies of it, enough to lose the first frames of a recording). Populating them in one call
// is far cheaper than a page fault a page (a twentieth on one machine measured, half on a
// paravirtual one; see TouchPages for what that one still needs).
constexpr size_t kMappedBufferBytes = 64 * 1024;

size_t PageBytes() {
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

// On a paravirtual machine whose hypervisor shadows the page tables, a populated page still traps
// on its first access from user space (a 1080p buffer: 7 ms in the first frame's copy). One write
// a page here moves that to the commit, before the stream's clock runs; where populating already
// mapped everything it costs a write a page.
void TouchPages(BYTE* pages, size_t bytes) {
    for (size_t at = 0; at < bytes; at += PageBytes()) static_cast<volatile BYTE*>(pages)[at] = 0;
}

}  // namespace

void MemAllocator::BufferRelease::operator()(BYTE* p) const {
    if (mappedBytes) {
        munmap(p, mappedBytes);
    } else {
        std::free(p);
    }
}

ComPtr<MemAllocator> MemAllocator::MakeBufferless() {
    ComPtr<MemAllocator> allocator = MakeCom<MemAllocator>();
    allocator->bufferless_ = true;
    return allocator;
}

MemAllocator::~MemAllocator() = default;

HRESULT MemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
    if (!request || !actual) return E_POINTER;
    std::lock_guard lock(lock_);
    if (committed_) return VFW_E_ALREADY_COMMITTED;
    if (static_cast<size_t>(free_.size()) != samples_.size()) return VFW_E_BUFFERS_OUTSTANDING;
    LONG align = request->cbAlign == 0 ? 1 : request->cbAlign;
    if (!IsPowerOfTwo(align)) return VFW_E_BADALIGN;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
    if (!bufferless_ && request->cBuffers > 0 && request->cbBuffer == 0) return VFW_E_SIZENOTSET;
    // New sizes take effect at the next Commit.
    FreeBuffersLocked();
    props_ = *request;
    props_.cbAlign = align;
    if (bufferless_) props_.cbBuffer = 0;
    propsSet_ = true;
    *actual = props_;
    return S_OK;
}

HRESULT MemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
    if (!props) return E_POINTER;
    std::lock_guard lock(lock_);
    *props = props_;
    return S_OK;
}

HRESULT MemAllocator::Commit() {
    std::lock_guard lock(lock_);
    if (committed_) return S_OK;
    if (!propsSet_ || props_.cBuffers <= 0) return VFW_E_SIZENOTSET;
    if (decommitPending_) {
        // Samples from the previous commit are still out; reuse what is there.
        decommitPending_ = false;
        committed_ = true;
        return S_OK;
    }
    if (samples_.empty()) {
        size_t align = static_cast<size_t>(props_.cbAlign);
        size_t offset = RoundUp(static_cast<size_t>(props_.cbPrefix), align);
        // aligned_alloc wants a power-of-two alignment of at least a pointer and a size that is
        // a multiple of it.
        size_t blockAlign = align < alignof(std::max_align_t) ? alignof(std::max_align_t) : align;
        size_t bytes = RoundUp(offset + static_cast<size_t>(props_.cbBuffer), blockAlign);
        samples_.reserve(static_cast<size_t>(props_.cBuffers));
        free_.reserve(static_cast<size_t>(props_.cBuffers));
        for (LONG i = 0; i < props_.cBuffers; ++i) {
            BYTE* data = nullptr;
            if (!bufferless_) {
                if (bytes >= kMappedBufferBytes && blockAlign <= PageBytes()) {
                    const size_t mapped = RoundUp(bytes, PageBytes());
                    void* pages = mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
                    if (pages == MAP_FAILED) {
                        FreeBuffersLocked();
                        return E_OUTOFMEMORY;
                    }
                    data = static_cast<BYTE*>(pages);
                    TouchPages(data, mapped);
                    buffers_.emplace_back(data, BufferRelease{mapped});
                } else {
                    data = static_cast<BYTE*>(std::aligned_alloc(blockAlign, bytes));
                    if (!data) {
                        FreeBuffersLocked();
                        return E_OUTOFMEMORY;
                    }
                    std::memset(data, 0, bytes);
                    buffers_.emplace_back(data, BufferRelease{});
                }
                data += offset;
            }
            samples_.push_back(std::make_unique<MediaSample>(this, data, props_.cbBuffer));
            free_.push_back(samples_.back().get());
        }
    }
    committed_ = true;
    return S_OK;
}

HRESULT MemAllocator::Decommit() {
    std::lock_guard lock(lock_);
    if (!committed_) return S_OK;
    committed_ = false;
    if (free_.size() == samples_.size()) {
        FreeBuffersLocked();
    } else {
        decommitPending_ = true;
    }
    available_.notify_all();
    return S_OK;
}

HRESULT MemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) {
    if (!sample) return E_POINTER;
    *sample = nullptr;
    MediaSample* taken = nullptr;
    {
        std::unique_lock lock(lock_);
        while (committed_ && free_.empty()) {
            if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
            available_.wait(lock);
        }
        if (!committed_) return VFW_E_NOT_COMMITTED;
        taken = free_.back();
        free_.pop_back();
    }
    taken->HandOut(ComPtr<MemAllocator>(this));
    if (start) taken->SetTime(start, stop);
    *sample = taken;
    return S_OK;
}

HRESULT MemAllocator::ReleaseBuffer(IMediaSample* sample) {
    // Samples come back by themselves when their last reference goes; there is nothing to do here.
    return sample ? S_OK : E_POINTER;
}

void MemAllocator::ReturnSample(MediaSample* sample) {
    std::lock_guard lock(lock_);
    sample->shared_.Reset();
    if (bufferless_) {
        sample->buffer_ = nullptr;
        sample->size_ = 0;
    }
    free_.push_back(sample);
    if (decommitPending_ && free_.size() == samples_.size()) {
        decommitPending_ = false;
        FreeBuffersLocked();
        return;
    }
    available_.notify_one();
}

void MemAllocator::FreeBuffersLocked() {
    free_.clear();
    samples_.clear();
    buffers_.clear();
}

int MemAllocator::OutstandingCount() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(samples_.size() - free_.size());
}

bool MemAllocator::IsCommitted() const {
    std::lock_guard lock(lock_);
    return committed_;
}
