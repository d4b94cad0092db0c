#pragma once
// A device's capture pin into a sample grabber and a null renderer, and what the grabber saw:
// for tests that run a bound device filter in a real graph.
#include <mutex>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/StockInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"

// The first video capture device the enumerator lists (ORVANTA_DEVICES decides which), bound;
// empty when there is none.
inline ComPtr<IBaseFilter> BindFirstVideoDevice() {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IBaseFilter> filter;
    if (FAILED(CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf()))) return filter;
    ComPtr<IEnumMoniker> list;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.ReleaseAndGetAddressOf(), 0) != S_OK)
        return filter;
    ComPtr<IMoniker> moniker;
    if (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK)
        moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress());
    return filter;
}

struct CapturedSample {
    REFERENCE_TIME start = 0, stop = 0;
    LONG length = 0;
    int firstByte = -1;
    std::vector<BYTE> data;  // the whole sample, when the log keeps data
};

class SampleLog : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double, IMediaSample* sample) override {
        CapturedSample c;
        sample->GetTime(&c.start, &c.stop);
        c.length = sample->GetActualDataLength();
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        if (c.length > 0) c.firstByte = data[0];
        if (keepData && c.length > 0) c.data.assign(data, data + c.length);
        std::lock_guard lock(mutex_);
        samples_.push_back(c);
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
    bool keepData = false;  // set before the graph runs
    std::vector<CapturedSample> Samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    std::mutex mutex_;
    std::vector<CapturedSample> samples_;
};

struct CaptureGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> device, grabber, sink;
    ComPtr<SampleLog> log = MakeCom<SampleLog>();

    // A new graph holding `filter`.
    HRESULT Add(IBaseFilter* filter) {
        HRESULT hr = RegisterFilterGraphClasses();
        if (SUCCEEDED(hr)) hr = CreateFilterGraphObject(CLSID_FilterGraph, &graph);
        if (SUCCEEDED(hr)) hr = CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder);
        if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.Get());
        if (SUCCEEDED(hr)) hr = graph->AddFilter(filter, "Device");
        if (SUCCEEDED(hr)) device = ComPtr<IBaseFilter>(filter);
        return hr;
    }
    // Capture pin of `major` -> grabber -> null renderer.
    HRESULT Render(const Guid& major) {
        HRESULT hr = CreateFilterGraphObject(CLSID_SampleGrabber, IBaseFilter::iid, grabber.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr)) hr = CreateFilterGraphObject(CLSID_NullRenderer, IBaseFilter::iid, sink.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr)) hr = graph->AddFilter(grabber.Get(), "Grabber");
        if (SUCCEEDED(hr)) hr = graph->AddFilter(sink.Get(), "Sink");
        if (SUCCEEDED(hr)) hr = QueryAs<ISampleGrabber>(grabber.Get())->SetCallback(log.Get(), 0);
        if (SUCCEEDED(hr)) hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &major, device.Get(), grabber.Get(), sink.Get());
        return hr;
    }
    HRESULT Run() { return QueryAs<IMediaControl>(graph.Get())->Run(); }
    void Stop() { QueryAs<IMediaControl>(graph.Get())->Stop(); }

    ~CaptureGraph() {
        if (!graph) return;
        Stop();
        for (IBaseFilter* f : {sink.Get(), grabber.Get(), device.Get()})
            if (f) graph->RemoveFilter(f);
    }
};
