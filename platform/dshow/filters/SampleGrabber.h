#pragma once
// The Sample Grabber (CLSID_SampleGrabber, ISampleGrabber): passes every sample through
// unchanged ("Input" to "Output") and keeps the last one for GetCurrentBuffer. It keeps a
// reference to the last sample rather than a copy, so buffering costs nothing per frame; the
// copy is made when someone asks for the buffer. When the graph stops, the last frame is copied
// out once and the sample goes back to its pool, so the buffer survives the graph.
//
// Threads: Receive on the streaming thread; ISampleGrabber calls from any thread (the buffer is
// guarded by its own lock).
#include <mutex>
#include <vector>

#include "platform/dshow/StockInterfaces.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/OutputPin.h"
#include "platform/dshow/base/WithInterfaces.h"

class SampleGrabber;

class SampleGrabberInputPin final : public InputPin {
public:
    explicit SampleGrabberInputPin(SampleGrabber* grabber);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    // A callback may take any time; without one the grabber passes samples straight on.
    HRESULT ReceiveCanBlock() override;

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;

private:
    SampleGrabber* grabber_;
};

class SampleGrabberOutputPin final : public OutputPin {
public:
    explicit SampleGrabberOutputPin(SampleGrabber* grabber);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) override;

private:
    SampleGrabber* grabber_;
};

class SampleGrabber final : public WithInterfaces<BaseFilter, ISampleGrabber> {
public:
    SampleGrabber();

    // ISampleGrabber
    HRESULT SetOneShot(BOOL oneShot) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT SetBufferSamples(BOOL buffer) override;
    HRESULT GetCurrentBuffer(LONG* size, BYTE* buffer) override;
    HRESULT GetCurrentSample(IMediaSample** sample) override;
    HRESULT SetCallback(ISampleGrabberCB* callback, LONG which) override;

    HRESULT Stop() override;
    HRESULT Pause() override;

    SampleGrabberInputPin* Input() const { return input_; }
    SampleGrabberOutputPin* Output() const { return output_; }
    // Samples received since the grabber was made.
    uint64_t ReceivedCount() const;

private:
    friend class SampleGrabberInputPin;
    friend class SampleGrabberOutputPin;
    HRESULT Receive(IMediaSample* sample);
    bool Accepts(const AM_MEDIA_TYPE& type) const;
    bool HasCallback() const;

    SampleGrabberInputPin* input_;
    SampleGrabberOutputPin* output_;

    mutable std::mutex lock_;
    AM_MEDIA_TYPE accepted_;  // a pattern; empty accepts anything
    bool oneShot_ = false;
    bool oneShotDone_ = false;
    bool buffering_ = false;
    ComPtr<IMediaSample> last_;
    std::vector<BYTE> saved_;  // the last frame, copied out when the graph stopped
    bool hasSaved_ = false;
    ComPtr<ISampleGrabberCB> callback_;
    LONG callbackMethod_ = 0;
    uint64_t received_ = 0;
};
