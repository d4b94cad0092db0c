#pragma once
// The Smart Tee (CLSID_SmartTee): one "Input", a "Capture" and a "Preview" output. The capture
// output gets every input sample itself (no copy). The preview output gets a view of the same
// buffer without timestamps, delivered on the tee's own preview thread through a one-frame
// mailbox: when the preview branch is still busy with an earlier frame, the newer frame replaces
// the waiting one, so a slow preview drops frames and never holds up the capture branch.
// A preview branch that never waits (IMemInputPin::ReceiveCanBlock is S_FALSE all the way, as for
// an overlay and a grabber without callback in front of a renderer) costs only its own work: then
// the tee delivers to it on the streaming thread, as long as the preview thread has nothing in
// hand, and spares the hand-over to the other thread for every frame.
// Both outputs carry the input's media type; they connect once the input is connected.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/MemAllocator.h"
#include "platform/dshow/base/OutputPin.h"

class SmartTee;

class SmartTeeInputPin final : public InputPin {
public:
    explicit SmartTeeInputPin(SmartTee* tee);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;

private:
    SmartTee* tee_;
};

class SmartTeeOutputPin final : public OutputPin {
public:
    SmartTeeOutputPin(SmartTee* tee, const char* name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    // The downstream pin reads from the upstream allocator (read-only).
    HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) override;

private:
    SmartTee* tee_;
};

class SmartTee final : public BaseFilter {
public:
    SmartTee();

    HRESULT Stop() override;
    HRESULT Pause() override;

    SmartTeeInputPin* Input() const { return input_; }
    SmartTeeOutputPin* Capture() const { return capture_; }
    SmartTeeOutputPin* Preview() const { return preview_; }
    // Preview frames replaced in the mailbox before the preview branch took them.
    uint64_t PreviewDropped() const { return previewDropped_; }

protected:
    ~SmartTee() override;

private:
    friend class SmartTeeInputPin;
    HRESULT Receive(IMediaSample* sample);
    void EndOfStream();
    void StartPreview();
    void StopPreview();
    void PreviewMain();

    SmartTeeInputPin* input_;
    SmartTeeOutputPin* capture_;
    SmartTeeOutputPin* preview_;
    ComPtr<MemAllocator> previewSamples_;  // bufferless views of the input samples

    std::mutex mailboxLock_;
    std::condition_variable mailboxChanged_;
    ComPtr<IMediaSample> mailbox_;
    bool previewEndOfStream_ = false;
    bool previewExit_ = false;
    bool previewBusy_ = false;  // a preview sample is being delivered (by either thread)
    std::thread previewThread_;
    std::atomic<uint64_t> previewDropped_{0};
};
