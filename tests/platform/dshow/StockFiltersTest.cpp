#include <gtest/gtest.h>

#include "platform/dshow/filters/SampleGrabber.h"
#include "platform/dshow/filters/SmartTee.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
struct Graph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    explicit Graph(bool clock = true) {
        CreateFilterGraphObject(CLSID_FilterGraph, &graph);
        control = QueryAs<IMediaControl>(graph.Get());
        // Without a clock the sources run as fast as their consumers take samples.
        if (!clock) QueryAs<IMediaFilter>(graph.Get())->SetSyncSource(nullptr);
    }
    void Add(IBaseFilter* filter, const char* name) { ASSERT_TRUE(SUCCEEDED(graph->AddFilter(filter, name))); }
    void Connect(IBaseFilter* from, const char* out, IBaseFilter* to, const char* in) {
        ASSERT_EQ(graph->Connect(Pin(from, out).Get(), Pin(to, in).Get()), S_OK) << out << " -> " << in;
    }
};

SyntheticVideoFormat Frames(uint64_t count) {
    SyntheticVideoFormat f;
    f.width = 32;
    f.height = 24;
    f.frameLimit = count;
    return f;
}

class CountingCallback final : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double time, IMediaSample*) override {
        times.push_back(time);
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return E_UNEXPECTED; }
    std::vector<double> times;
};
}  // namespace

TEST(SmartTee, CaptureGetsTheSampleItselfAndPreviewAnUntimedView) {
    Graph g(false);
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Frames(5));
    ComPtr<SmartTee> tee = MakeCom<SmartTee>();
    ComPtr<TestSink> capture = MakeCom<TestSink>();
    ComPtr<TestSink> preview = MakeCom<TestSink>();
    g.Add(source.Get(), "source");
    g.Add(tee.Get(), "tee");
    g.Add(capture.Get(), "capture");
    g.Add(preview.Get(), "preview");
    // The outputs follow the input's type: nothing connects before the input does.
    EXPECT_TRUE(FAILED(g.graph->Connect(Pin(tee.Get(), "Capture").Get(), Pin(capture.Get(), "In").Get())));
    g.Connect(source.Get(), "Capture", tee.Get(), "Input");
    g.Connect(tee.Get(), "Capture", capture.Get(), "In");
    g.Connect(tee.Get(), "Preview", preview.Get(), "In");
    capture->HoldSamples(true);  // keep the buffers apart to compare their addresses
    preview->HoldSamples(true);
    ASSERT_EQ(g.control->Run(), S_OK);
    ASSERT_TRUE(capture->WaitForEnd());
    ASSERT_TRUE(preview->WaitForEnd());
    std::vector<ReceivedSample> c = capture->Samples();
    std::vector<ReceivedSample> p = preview->Samples();
    g.control->Stop();
    ASSERT_EQ(c.size(), 5u);
    ASSERT_FALSE(p.empty());
    for (size_t i = 0; i < c.size(); ++i) {
        EXPECT_EQ(c[i].frame, static_cast<int64_t>(i));
        EXPECT_TRUE(c[i].timed);
        EXPECT_EQ(c[i].start, static_cast<REFERENCE_TIME>(i) * (UNITS / 30));
    }
    for (const auto& s : p) {
        EXPECT_FALSE(s.timed);
        // Same frame, same memory as on the capture side: no copy was made.
        ASSERT_GE(s.frame, 0);
        EXPECT_EQ(s.data, c[static_cast<size_t>(s.frame)].data);
    }
}

TEST(SmartTee, ASlowPreviewDropsFramesAndNeverHoldsUpCapture) {
    Graph g(false);
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Frames(60));
    ComPtr<SmartTee> tee = MakeCom<SmartTee>();
    ComPtr<TestSink> capture = MakeCom<TestSink>();
    ComPtr<TestSink> preview = MakeCom<TestSink>();
    g.Add(source.Get(), "source");
    g.Add(tee.Get(), "tee");
    g.Add(capture.Get(), "capture");
    g.Add(preview.Get(), "preview");
    g.Connect(source.Get(), "Capture", tee.Get(), "Input");
    g.Connect(tee.Get(), "Capture", capture.Get(), "In");
    g.Connect(tee.Get(), "Preview", preview.Get(), "In");
    preview->Block(true);
    ASSERT_EQ(g.control->Run(), S_OK);
    ASSERT_TRUE(capture->WaitForEnd(3000));
    EXPECT_EQ(capture->Count(), 60u);
    EXPECT_LE(preview->Count(), 1u);
    EXPECT_GT(tee->PreviewDropped(), 50u);
    preview->Block(false);
    ASSERT_TRUE(preview->WaitForEnd(3000));
    // The preview ends with the newest frame it was offered.
    EXPECT_EQ(preview->Samples().back().frame, 59);
    g.control->Stop();
}

TEST(SampleGrabber, BuffersTheLastSampleOfTheTypeItWasGiven) {
    Graph g(false);
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Frames(4));
    ComPtr<SampleGrabber> grabber = MakeCom<SampleGrabber>();
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    g.Add(source.Get(), "source");
    g.Add(grabber.Get(), "Grabber");
    g.Add(sink.Get(), "sink");
    AM_MEDIA_TYPE connected;
    EXPECT_EQ(grabber->GetConnectedMediaType(&connected), VFW_E_NOT_CONNECTED);
    AM_MEDIA_TYPE yuy2 = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_YUY2);
    grabber->SetMediaType(&yuy2);
    EXPECT_TRUE(FAILED(g.graph->ConnectDirect(Pin(source.Get(), "Capture").Get(), Pin(grabber.Get(), "Input").Get(), nullptr)));
    AM_MEDIA_TYPE rgb = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
    grabber->SetMediaType(&rgb);
    g.Connect(source.Get(), "Capture", grabber.Get(), "Input");
    g.Connect(grabber.Get(), "Output", sink.Get(), "In");
    ASSERT_EQ(grabber->GetConnectedMediaType(&connected), S_OK);
    EXPECT_TRUE(connected == source->MediaType());

    LONG size = 0;
    EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), E_INVALIDARG);  // not buffering
    grabber->SetBufferSamples(TRUE);
    EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE);  // nothing yet
    ComPtr<CountingCallback> callback = MakeCom<CountingCallback>();
    grabber->SetCallback(callback.Get(), 0);

    ASSERT_EQ(g.control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitForEnd());
    g.control->Stop();
    EXPECT_EQ(sink->Count(), 4u);
    ASSERT_EQ(callback->times.size(), 4u);
    EXPECT_NEAR(callback->times[3], 0.1, 1e-6);

    ASSERT_EQ(grabber->GetCurrentBuffer(&size, nullptr), S_OK);
    ASSERT_EQ(size, static_cast<LONG>(source->MediaType().lSampleSize));
    std::vector<BYTE> frame(static_cast<size_t>(size));
    LONG tooSmall = size - 1;
    EXPECT_EQ(grabber->GetCurrentBuffer(&tooSmall, frame.data()), E_OUTOFMEMORY);
    ASSERT_EQ(grabber->GetCurrentBuffer(&size, frame.data()), S_OK);
    EXPECT_EQ(SyntheticVideoSource::FrameNumberOf(frame.data(), frame.size()), 3);
    EXPECT_TRUE(std::equal(frame.begin() + 8, frame.end(), source->Picture().begin() + 8));
    grabber->SetCallback(nullptr, 0);
}

TEST(SampleGrabber, OneShotEndsTheStreamAfterTheFirstSample) {
    Graph g(false);
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Frames(10));
    ComPtr<SampleGrabber> grabber = MakeCom<SampleGrabber>();
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    g.Add(source.Get(), "source");
    g.Add(grabber.Get(), "Grabber");
    g.Add(sink.Get(), "sink");
    g.Connect(source.Get(), "Capture", grabber.Get(), "Input");
    g.Connect(grabber.Get(), "Output", sink.Get(), "In");
    grabber->SetOneShot(TRUE);
    grabber->SetBufferSamples(TRUE);
    ASSERT_EQ(g.control->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(QueryAs<IMediaEventEx>(g.graph.Get())->WaitForCompletion(3000, &code), S_OK);
    g.control->Stop();
    EXPECT_EQ(sink->Count(), 1u);
    EXPECT_EQ(grabber->ReceivedCount(), 1u);
}
