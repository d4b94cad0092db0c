#pragma once
// The transform-filter base: one input pin, one output pin, each input sample transformed into a
// new output sample from the output allocator. A derived filter implements exactly these steps:
//
//   CheckInputType(in)            accept or refuse an input type
//   CheckTransform(in, out)       accept or refuse an output type for the connected input type
//   DecideBufferSize(alloc, req)  size the output allocator (call SetProperties)
//   GetMediaType(pos, out)        the output types offered, in order
//   Transform(in, out)            fill the output sample from the input sample; S_FALSE drops it
//
// Everything else is the base behaviour: connection and reconnection order (the output connects
// only once the input is connected; its types are checked against the input type), state
// changes, allocators, end of stream, flushing and new segments passed downstream. Before
// Transform the output sample carries the input's times, media times, sync point, preroll and
// discontinuity flags; its actual length is the input's. Optional hooks (SetMediaType,
// CompleteConnect, BreakConnect, StartStreaming, StopStreaming, ...) are there for filters that
// must prepare state, as the colour converter does.
//
// Threads: Transform runs on the upstream streaming thread (under the input pin's receive lock);
// the other steps on the graph's thread.
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/OutputPin.h"

class TransformFilter;

class TransformInputPin : public InputPin {
public:
    TransformInputPin(TransformFilter* filter, const char* name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;

private:
    TransformFilter* transform_;
};

class TransformOutputPin : public OutputPin {
public:
    TransformOutputPin(TransformFilter* filter, const char* name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

private:
    TransformFilter* transform_;
};

class TransformFilter : public BaseFilter {
public:
    // The five steps of a transform.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* in) = 0;
    virtual HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) = 0;

    // Base behaviour, overridable.
    HRESULT Stop() override;
    HRESULT Pause() override;
    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type);
    virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
    virtual HRESULT BreakConnect(PIN_DIRECTION direction);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT StopStreaming() { return S_OK; }
    // One input sample: InitializeOutputSample, Transform, deliver (unless Transform said S_FALSE).
    virtual HRESULT Receive(IMediaSample* sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    TransformInputPin* Input() const { return input_; }
    TransformOutputPin* Output() const { return output_; }

protected:
    // Creates the pins: input first in the pin list, then output (the usual names are
    // "XForm In" and "XForm Out").
    TransformFilter(const CLSID& clsid, const char* inputName = "XForm In",
                    const char* outputName = "XForm Out");

    // A buffer from the output allocator with the input sample's properties copied onto it.
    virtual HRESULT InitializeOutputSample(IMediaSample* in, IMediaSample** out);

private:
    TransformInputPin* input_;
    TransformOutputPin* output_;
    bool streaming_ = false;
};
