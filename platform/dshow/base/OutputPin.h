#pragma once
// An output pin that delivers through the memory transport. On connection it needs the peer's
// IMemInputPin and decides the allocator: the peer's requirements, then the peer's allocator
// (else a new MemAllocator) sized by DecideBufferSize, then NotifyAllocator. The allocator is
// committed when the filter pauses and decommitted when it stops.
//
// Threads: the Deliver* calls run on the streaming thread; connection and state calls on the
// graph's thread.
#include "platform/dshow/SampleInterfaces.h"
#include "platform/dshow/base/BasePin.h"

class OutputPin : public BasePin {
public:
    OutputPin(BaseFilter* filter, const char* name);

    // Output pins do not take streaming calls.
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Sizes the allocator for this connection: sets `request` and calls SetProperties. The base
    // asks for at least one buffer of the media type's sample size (or the image size of its
    // video header) and accepts what the allocator grants when it is not less.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request);
    // The whole allocator decision (override to share another pin's allocator).
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);

    // Streaming.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                              DWORD flags);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    IMemAllocator* Allocator() const { return allocator_.Get(); }
    IMemInputPin* PeerInput() const { return peerInput_.Get(); }

protected:
    ComPtr<IMemAllocator> allocator_;
    ComPtr<IMemInputPin> peerInput_;
};
