#pragma once
// The base of filters that end a stream (null renderer, video renderer, file writer): one input
// pin whose samples go to RenderSample. Renderers here never wait for a sample's presentation
// time: capture graphs are live, so a sample is due when it arrives. The end of the stream is
// reported to the graph as EC_COMPLETE.
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"

class RendererFilter;

class RendererInputPin : public InputPin {
public:
    RendererInputPin(RendererFilter* filter, const char* name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    HRESULT BreakConnect() override;
    HRESULT ReceiveCanBlock() override;

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

    RendererFilter* renderer_;
};

class RendererFilter : public BaseFilter {
public:
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    RendererInputPin* Input() const { return input_; }

    // Streaming thread: one sample of the connected type.
    virtual HRESULT RenderSample(IMediaSample* sample) = 0;
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE*) { return S_OK; }
    virtual void BreakConnect() {}
    // Streaming thread: the end of the stream; the base reports EC_COMPLETE afterwards.
    virtual void OnEndOfStream() {}
    // Buffers the renderer wants from the upstream allocator (it may hold some).
    virtual LONG BuffersWanted() const { return 1; }
    // Whether RenderSample may wait (for a disk, a device): false lets an upstream filter deliver
    // to it on its own thread instead of handing each sample to a thread of its own.
    virtual bool RenderCanBlock() const { return true; }

protected:
    RendererFilter(const CLSID& clsid, const char* pinName);
    // For a derived input pin (a renderer whose pin has more interfaces).
    RendererFilter(const CLSID& clsid, std::unique_ptr<RendererInputPin> pin);

private:
    RendererInputPin* input_;
};
