#pragma once
// An input pin with the memory transport (IMemInputPin). It offers its own MemAllocator to the
// upstream pin, remembers the one the upstream pin chose, and checks every sample before handing
// it to OnReceive: not connected, stopped, flushing or after end of stream are refused; a sample
// that carries a new media type is checked and agreed first.
//
// Threads: Receive, EndOfStream and the flush calls come from the upstream streaming thread and
// never take the filter lock. They run under this pin's receive lock, so that Inactive (graph
// thread) returns only when no Receive is in progress on this pin.
#include <atomic>
#include <mutex>

#include "platform/dshow/SampleInterfaces.h"
#include "platform/dshow/base/BasePin.h"
#include "platform/dshow/base/WithInterfaces.h"

class InputPin : public WithInterfaces<BasePin, IMemInputPin> {
public:
    InputPin(BaseFilter* filter, const char* name);

    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    HRESULT Receive(IMediaSample* sample) final;
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    // S_FALSE when Receive never waits: the pin passes samples on (or not) and every connected
    // output delivers to a pin that never waits. A pin with no connected output is taken to wait.
    HRESULT ReceiveCanBlock() override;

    // IPin: the streaming calls, checked and then handed to the On* hooks.
    HRESULT EndOfStream() final;
    HRESULT BeginFlush() final;
    HRESULT EndFlush() final;

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // The allocator the upstream pin delivers from (may be null before Pause).
    IMemAllocator* Allocator() const { return allocator_.Get(); }
    bool IsReadOnly() const { return readOnly_; }
    bool IsFlushing() const { return flushing_; }

protected:
    // One checked sample; under the receive lock.
    virtual HRESULT OnReceive(IMediaSample* sample) = 0;
    virtual HRESULT OnEndOfStream() { return S_OK; }
    virtual HRESULT OnBeginFlush() { return S_OK; }
    virtual HRESULT OnEndFlush() { return S_OK; }

    // S_OK when a sample may be received now; the refusal's code otherwise.
    HRESULT CheckStreaming() const;

    std::mutex receiveLock_;

private:
    ComPtr<IMemAllocator> allocator_;
    bool readOnly_ = false;
    std::atomic<bool> active_{false};
    std::atomic<bool> flushing_{false};
    std::atomic<bool> endOfStream_{false};
};
