#pragma once
// Small filters for this layer's tests, built from the layer's own base classes: a sink that
// records what reaches it (and can hold its samples or refuse types), and helpers to find pins
// and run graphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dshow/Uuids.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/SourceFilter.h"
#include "platform/dshow/base/TransformFilter.h"
#include "platform/dshow/filters/RendererFilter.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/synthetic/SyntheticVideoSource.h"

namespace dshow_test {

inline constexpr CLSID CLSID_TestSink = MakeGuid("{7E57F11E-0000-4000-8000-000000000001}");

// Shared record of state changes, to check their order across filters.
struct StateLog {
    std::mutex lock;
    std::vector<std::string> entries;
    void Add(const std::string& entry) {
        std::lock_guard guard(lock);
        entries.push_back(entry);
    }
};

struct ReceivedSample {
    int64_t frame = -1;  // the synthetic frame number, -1 when not stamped
    bool timed = false;
    REFERENCE_TIME start = 0;
    LONG length = 0;
    const BYTE* data = nullptr;
    bool syncPoint = false;
    bool discontinuity = false;
    std::vector<BYTE> bytes;  // a copy, when the sink keeps copies
};

class TestSink final : public RendererFilter {
public:
    explicit TestSink(AM_MEDIA_TYPE accepted = AM_MEDIA_TYPE(), StateLog* log = nullptr, std::string name = "sink")
        : RendererFilter(CLSID_TestSink, "In"), accepted_(std::move(accepted)), log_(log), name_(std::move(name)) {}

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        return MediaTypeMatches(*type, accepted_) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT RenderSample(IMediaSample* sample) override {
        ReceivedSample r;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        r.length = sample->GetActualDataLength();
        r.frame = SyntheticVideoSource::FrameNumberOf(data, static_cast<size_t>(r.length));
        REFERENCE_TIME stop = 0;
        r.timed = SUCCEEDED(sample->GetTime(&r.start, &stop));
        r.data = data;
        r.syncPoint = sample->IsSyncPoint() == S_OK;
        r.discontinuity = sample->IsDiscontinuity() == S_OK;
        std::unique_lock lock(lock_);
        if (keepCopies_ && data) r.bytes.assign(data, data + r.length);
        samples_.push_back(r);
        if (hold_) held_.emplace_back(sample);
        changed_.notify_all();
        // A slow consumer: blocks until released (bounded, so a failing test cannot hang).
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return !block_; });
        return S_OK;
    }
    void OnEndOfStream() override {
        std::lock_guard lock(lock_);
        ended_ = true;
        changed_.notify_all();
    }
    HRESULT Stop() override {
        if (log_) log_->Add("stop " + name_);
        Block(false);
        HRESULT hr = RendererFilter::Stop();
        std::lock_guard lock(lock_);
        held_.clear();
        return hr;
    }
    HRESULT Pause() override {
        if (log_) log_->Add("pause " + name_);
        return RendererFilter::Pause();
    }
    HRESULT Run(REFERENCE_TIME start) override {
        if (log_) log_->Add("run " + name_);
        return RendererFilter::Run(start);
    }

    std::vector<ReceivedSample> Samples() {
        std::lock_guard lock(lock_);
        return samples_;
    }
    size_t Count() {
        std::lock_guard lock(lock_);
        return samples_.size();
    }
    // Waits until `count` samples arrived (bounded); true when they did.
    bool WaitFor(size_t count, int ms = 5000) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return samples_.size() >= count; });
    }
    bool WaitForEnd(int ms = 5000) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return ended_; });
    }
    void KeepCopies(bool keep) {
        std::lock_guard lock(lock_);
        keepCopies_ = keep;
    }
    void HoldSamples(bool hold) {
        std::lock_guard lock(lock_);
        hold_ = hold;
    }
    void Block(bool block) {
        std::lock_guard lock(lock_);
        block_ = block;
        changed_.notify_all();
    }

private:
    AM_MEDIA_TYPE accepted_;
    StateLog* log_;
    std::string name_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<ReceivedSample> samples_;
    std::vector<ComPtr<IMediaSample>> held_;
    bool hold_ = false;
    bool keepCopies_ = false;
    bool block_ = false;
    bool ended_ = false;
};

inline constexpr CLSID CLSID_FrameSource = MakeGuid("{7E57F11E-0000-4000-8000-000000000002}");
inline constexpr CLSID CLSID_PassThrough = MakeGuid("{7E57F11E-0000-4000-8000-000000000003}");

// A source that offers these types (in order) and delivers these frames once each, then ends.
class FrameSource;

class FrameSourcePin final : public SourcePin {
public:
    FrameSourcePin(BaseFilter* filter, std::vector<AM_MEDIA_TYPE> types, std::vector<std::vector<BYTE>> frames,
                   const Guid& category)
        : SourcePin(filter, "Out", category), types_(std::move(types)), frames_(std::move(frames)) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        for (const auto& t : types_) {
            if (t == *type) return S_OK;
        }
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position < 0) return E_INVALIDARG;
        if (position >= static_cast<int>(types_.size())) return VFW_S_NO_MORE_ITEMS;
        *type = types_[static_cast<size_t>(position)];
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        LONG size = 1;
        for (const auto& f : frames_) size = std::max(size, static_cast<LONG>(f.size()));
        request->cBuffers = std::max<LONG>(request->cBuffers, 2);
        request->cbBuffer = std::max(request->cbBuffer, size);
        if (request->cbAlign < 1) request->cbAlign = 1;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT Active() override {
        next_ = 0;
        return SourcePin::Active();
    }

protected:
    HRESULT FillBuffer(IMediaSample* sample) override {
        if (next_ >= frames_.size()) return S_FALSE;
        const auto& frame = frames_[next_];
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::copy(frame.begin(), frame.end(), data);
        sample->SetActualDataLength(static_cast<LONG>(frame.size()));
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(next_) * 1000, stop = start + 1000;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        ++next_;
        return S_OK;
    }

private:
    std::vector<AM_MEDIA_TYPE> types_;
    std::vector<std::vector<BYTE>> frames_;
    size_t next_ = 0;
};

class FrameSource final : public SourceFilter {
public:
    FrameSource(std::vector<AM_MEDIA_TYPE> types, std::vector<std::vector<BYTE>> frames,
                const Guid& category = PIN_CATEGORY_CAPTURE)
        : SourceFilter(CLSID_FrameSource) {
        pin_ = AddPin(std::make_unique<FrameSourcePin>(this, std::move(types), std::move(frames), category));
    }
    FrameSourcePin* OutPin() const { return pin_; }

private:
    FrameSourcePin* pin_;
};

// A copy transform that passes any type through unchanged, logs its state changes, and drops
// every `dropEvery`-th sample (0: none) by answering S_FALSE from Transform.
class PassThrough final : public TransformFilter {
public:
    explicit PassThrough(StateLog* log = nullptr, std::string name = "pass", int dropEvery = 0)
        : TransformFilter(CLSID_PassThrough), log_(log), name_(std::move(name)), dropEvery_(dropEvery) {}
    HRESULT CheckInputType(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override {
        return *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = std::max<LONG>(request->cBuffers, 2);
        request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(Input()->CurrentMediaType().lSampleSize));
        if (request->cbBuffer < 1) request->cbBuffer = 1024;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position < 0) return E_INVALIDARG;
        if (!Input()->IsConnected()) return E_UNEXPECTED;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = Input()->CurrentMediaType();
        return S_OK;
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
        ++count_;
        if (dropEvery_ && count_ % dropEvery_ == 0) return S_FALSE;
        BYTE *a = nullptr, *b = nullptr;
        in->GetPointer(&a);
        out->GetPointer(&b);
        std::copy(a, a + in->GetActualDataLength(), b);
        return S_OK;
    }
    HRESULT Stop() override {
        if (log_) log_->Add("stop " + name_);
        return TransformFilter::Stop();
    }
    HRESULT Pause() override {
        if (log_) log_->Add("pause " + name_);
        return TransformFilter::Pause();
    }
    HRESULT Run(REFERENCE_TIME start) override {
        if (log_) log_->Add("run " + name_);
        return TransformFilter::Run(start);
    }

private:
    StateLog* log_;
    std::string name_;
    int dropEvery_;
    int count_ = 0;
};

inline ComPtr<IPin> Pin(IBaseFilter* filter, const char* name) {
    ComPtr<IPin> pin;
    EXPECT_EQ(filter->FindPin(name, pin.ReleaseAndGetAddressOf()), S_OK) << name;
    return pin;
}

inline ComPtr<IBaseFilter> PeerFilter(IPin* pin) {
    ComPtr<IPin> peer = PeerOf(pin);
    return peer ? FilterOf(peer.Get()) : nullptr;
}

inline std::string NameOf(IBaseFilter* filter) {
    FILTER_INFO info;
    filter->QueryFilterInfo(&info);
    return info.achName;
}

}  // namespace dshow_test
