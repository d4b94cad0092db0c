#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/FilterRegistration.h"
#include "platform/dshow/GraphEvents.h"
#include "platform/dshow/filters/ColourConverter.h"
#include "platform/dshow/filters/NullRenderer.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/filters/VideoRenderer.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "platform/dshow/synthetic/SyntheticAudioSource.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
ComPtr<IGraphBuilder> NewGraph() {
    ComPtr<IGraphBuilder> graph;
    EXPECT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
    return graph;
}

SyntheticVideoFormat Small(const Guid& subtype, uint64_t frames = 0) {
    SyntheticVideoFormat f;
    f.subtype = subtype;
    f.width = 32;
    f.height = 24;
    f.frameLimit = frames;
    return f;
}

std::vector<std::string> FilterNames(IGraphBuilder* graph) {
    std::vector<std::string> names;
    ComPtr<IEnumFilters> e;
    graph->EnumFilters(e.ReleaseAndGetAddressOf());
    ComPtr<IBaseFilter> f;
    while (e->Next(1, f.ReleaseAndGetAddressOf(), nullptr) == S_OK) names.push_back(NameOf(f.Get()));
    return names;
}

// Turns Y411 into RGB24 (content does not matter here); reachable only by registration.
inline constexpr CLSID CLSID_Y411Decoder = MakeGuid("{7E57F11E-0000-4000-8000-000000000010}");

class Y411Decoder final : public TransformFilter {
public:
    Y411Decoder() : TransformFilter(CLSID_Y411Decoder) {}
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override {
        return in->subtype == MEDIASUBTYPE_Y411 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT CheckTransform(const AM_MEDIA_TYPE*, const AM_MEDIA_TYPE* out) override {
        return out->subtype == MEDIASUBTYPE_RGB24 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = 1;
        request->cbBuffer = static_cast<LONG>(Output()->CurrentMediaType().lSampleSize);
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = MakeVideoType(MEDIASUBTYPE_RGB24, 32, 24);
        return S_OK;
    }
    HRESULT Transform(IMediaSample*, IMediaSample* out) override {
        out->SetActualDataLength(out->GetSize());
        return S_OK;
    }
};

// The decoder's class object, for as long as a test needs it: one left registered would count
// as a live object of the module in every later test of the process.
struct Y411DecoderClass {
    Y411DecoderClass() {
        ComPtr<IUnknown> factory;
        EXPECT_EQ(GetClassFactory<Y411Decoder>(IID_IUnknown, factory.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(CoRegisterClassObject(CLSID_Y411Decoder, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
    }
    ~Y411DecoderClass() {
        if (cookie) CoRevokeClassObject(cookie);
    }
    DWORD cookie = 0;
};

void RegisterY411Decoder(DWORD merit) {
    FilterRegistration reg;
    reg.clsid = CLSID_Y411Decoder;
    reg.friendlyName = "Y411 Decoder";
    reg.merit = merit;
    reg.pins = {{"In", 0, "Out", GUID_NULL, {{MEDIATYPE_Video, MEDIASUBTYPE_Y411}}},
                {"Out", REG_PINFLAG_B_OUTPUT, "In", GUID_NULL, {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}}}};
    ASSERT_EQ(RegisterFilter(reg), S_OK);
}
}  // namespace

TEST(FilterGraph, NamesAreUniqueAndFiltersAreFoundByName) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<IBaseFilter> a, b, c;
    CreateFilterGraphObject(CLSID_SmartTee, &a);
    CreateFilterGraphObject(CLSID_SmartTee, &b);
    CreateFilterGraphObject(CLSID_NullRenderer, &c);
    EXPECT_EQ(graph->AddFilter(a.Get(), "Smart Tee"), S_OK);
    EXPECT_EQ(graph->AddFilter(b.Get(), "Smart Tee"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(graph->AddFilter(c.Get(), nullptr), S_OK);  // the class's own name
    EXPECT_EQ(graph->AddFilter(a.Get(), "again"), E_INVALIDARG);
    EXPECT_EQ(FilterNames(graph.Get()), (std::vector<std::string>{"Smart Tee", "Smart Tee 0001", "Null Renderer"}));

    ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph->FindFilterByName("Smart Tee 0001", found.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(found.Get(), b.Get());
    EXPECT_EQ(graph->FindFilterByName("smart tee", found.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);
    FILTER_INFO info;
    b->QueryFilterInfo(&info);
    EXPECT_EQ(info.pGraph.Get(), static_cast<IFilterGraph*>(graph.Get()));

    EXPECT_EQ(graph->RemoveFilter(b.Get()), S_OK);
    EXPECT_EQ(graph->RemoveFilter(b.Get()), VFW_E_NOT_FOUND);
    b->QueryFilterInfo(&info);
    EXPECT_FALSE(info.pGraph);
    EXPECT_STREQ(info.achName, "");
}

TEST(FilterGraph, RemovingAFilterBreaksBothSidesOfItsConnections) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_RGB24));
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    ComPtr<TestSink> outsider = MakeCom<TestSink>();
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(sink.Get(), "sink");
    ComPtr<IPin> out = Pin(source.Get(), "Capture");
    EXPECT_EQ(graph->ConnectDirect(out.Get(), Pin(outsider.Get(), "In").Get(), nullptr), VFW_E_NOT_IN_GRAPH);
    EXPECT_EQ(graph->ConnectDirect(Pin(sink.Get(), "In").Get(), out.Get(), nullptr), VFW_E_INVALID_DIRECTION);
    ASSERT_EQ(graph->ConnectDirect(out.Get(), Pin(sink.Get(), "In").Get(), nullptr), S_OK);
    ASSERT_EQ(graph->RemoveFilter(sink.Get()), S_OK);
    EXPECT_FALSE(IsConnected(out.Get()));
    EXPECT_FALSE(IsConnected(Pin(sink.Get(), "In").Get()));
}

TEST(FilterGraph, ConnectInsertsTheColourConverterWhereTypesDisagree) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_YUY2, 3));
    ComPtr<TestSink> sink = MakeCom<TestSink>(MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(sink.Get(), "sink");
    ComPtr<IPin> out = Pin(source.Get(), "Capture");
    ComPtr<IPin> in = Pin(sink.Get(), "In");
    EXPECT_TRUE(FAILED(graph->ConnectDirect(out.Get(), in.Get(), nullptr)));
    ASSERT_EQ(graph->Connect(out.Get(), in.Get()), S_OK);
    ComPtr<IBaseFilter> middle = PeerFilter(out.Get());
    ASSERT_TRUE(middle);
    CLSID clsid;
    middle->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_Colour);
    EXPECT_EQ(NameOf(middle.Get()), "Color Space Converter");
    EXPECT_EQ(graph->Connect(out.Get(), in.Get()), VFW_E_ALREADY_CONNECTED);

    ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
    EXPECT_TRUE(sink->WaitForEnd());
    QueryAs<IMediaControl>(graph.Get())->Stop();
    EXPECT_EQ(sink->Count(), 3u);
}

TEST(FilterGraph, IntelligentConnectUsesRegisteredFiltersButNeverDoNotUseOnes) {
    Y411DecoderClass decoderClass;  // outlives the graph, which holds the decoder it made
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_Y411));
    ComPtr<TestSink> sink = MakeCom<TestSink>(MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(sink.Get(), "sink");
    ComPtr<IPin> out = Pin(source.Get(), "Capture");
    ComPtr<IPin> in = Pin(sink.Get(), "In");

    RegisterY411Decoder(MERIT_DO_NOT_USE);
    EXPECT_EQ(graph->Connect(out.Get(), in.Get()), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(FilterNames(graph.Get()).size(), 2u);  // failed attempts leave nothing behind

    RegisterY411Decoder(MERIT_NORMAL);
    ASSERT_EQ(graph->Connect(out.Get(), in.Get()), S_OK);
    EXPECT_EQ(NameOf(PeerFilter(out.Get()).Get()), "Y411 Decoder");
}

TEST(FilterGraph, RenderPicksTheVideoRendererAndRefusesWhatNothingRenders) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> video = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_UYVY));
    ComPtr<SyntheticAudioSource> audio = MakeCom<SyntheticAudioSource>();
    graph->AddFilter(video.Get(), "video");
    graph->AddFilter(audio.Get(), "audio");
    ASSERT_EQ(graph->Render(Pin(video.Get(), "Capture").Get()), S_OK);
    EXPECT_EQ(FilterNames(graph.Get()), (std::vector<std::string>{"video", "audio", "Video Renderer", "Color Space Converter"}));
    EXPECT_EQ(graph->Render(Pin(audio.Get(), "Capture").Get()), VFW_E_CANNOT_RENDER);
    EXPECT_EQ(FilterNames(graph.Get()).size(), 4u);
}

TEST(FilterGraph, StateChangesReachDownstreamFiltersFirst) {
    StateLog log;  // outlives the graph, which stops its filters once more when it goes
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_RGB24));
    ComPtr<PassThrough> first = MakeCom<PassThrough>(&log, "first");
    ComPtr<PassThrough> second = MakeCom<PassThrough>(&log, "second");
    ComPtr<TestSink> sink = MakeCom<TestSink>(AM_MEDIA_TYPE(), &log, "sink");
    // Added upstream first, so that the order cannot come from the list.
    graph->AddFilter(first.Get(), "first");
    graph->AddFilter(sink.Get(), "sink");
    graph->AddFilter(second.Get(), "second");
    graph->AddFilter(source.Get(), "source");
    ASSERT_EQ(graph->Connect(Pin(source.Get(), "Capture").Get(), Pin(first.Get(), "XForm In").Get()), S_OK);
    ASSERT_EQ(graph->Connect(Pin(first.Get(), "XForm Out").Get(), Pin(second.Get(), "XForm In").Get()), S_OK);
    ASSERT_EQ(graph->Connect(Pin(second.Get(), "XForm Out").Get(), Pin(sink.Get(), "In").Get()), S_OK);
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph.Get());
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitFor(2));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"pause sink", "pause second", "pause first", "run sink",
                                                     "run second", "run first", "stop sink", "stop second",
                                                     "stop first"}));
    EXPECT_EQ(graph->ConnectDirect(nullptr, nullptr, nullptr), E_POINTER);
}

TEST(FilterGraph, StreamTimeStandsStillWhilePausedAndGoesOnAfter) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_RGB24));
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(sink.Get(), "sink");
    ASSERT_EQ(graph->Connect(Pin(source.Get(), "Capture").Get(), Pin(sink.Get(), "In").Get()), S_OK);
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph.Get());
    ComPtr<IMediaSeeking> seeking = QueryAs<IMediaSeeking>(graph.Get());
    LONGLONG position = -1, stop = 0;
    seeking->GetPositions(&position, &stop);
    EXPECT_EQ(position, 0);

    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    Clock::time_point started = Clock::now();
    ASSERT_EQ(control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    control->Pause();
    double ran = seconds(Clock::now() - started);
    LONGLONG paused = 0;
    seeking->GetPositions(&paused, &stop);
    EXPECT_GT(paused, 2000000);
    EXPECT_LE(paused, static_cast<LONGLONG>(ran * UNITS));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    seeking->GetPositions(&position, &stop);
    EXPECT_EQ(position, paused);
    size_t delivered = sink->Count();
    Clock::time_point resumed = Clock::now();
    control->Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    seeking->GetPositions(&position, &stop);
    double since = seconds(Clock::now() - resumed);
    EXPECT_GT(position, paused + 1000000);
    // Not a jump over the paused time: only what ran since the resume was added.
    EXPECT_LE(position, paused + static_cast<LONGLONG>(since * UNITS));
    control->Stop();
    seeking->GetPositions(&position, &stop);
    EXPECT_EQ(position, 0);
    // The frames after the pause carry the times that follow the ones before it.
    std::vector<ReceivedSample> got = sink->Samples();
    ASSERT_GT(got.size(), delivered + 2);
    EXPECT_EQ(got[delivered].frame, got[delivered - 1].frame + 1);
    EXPECT_EQ(got[delivered].start - got[delivered - 1].start, UNITS / 30);
}

TEST(FilterGraph, CompletionWaitsForEveryConnectedRenderer) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticVideoSource> fast = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_RGB24, 2));
    SyntheticVideoFormat longer = Small(MEDIASUBTYPE_RGB24, 12);
    ComPtr<SyntheticVideoSource> slow = MakeCom<SyntheticVideoSource>(longer);
    ComPtr<TestSink> a = MakeCom<TestSink>();
    ComPtr<TestSink> b = MakeCom<TestSink>();
    ComPtr<TestSink> idle = MakeCom<TestSink>();  // never connected: not waited for
    for (auto [f, n] : {std::pair<IBaseFilter*, const char*>{fast.Get(), "fast"}, {slow.Get(), "slow"}, {a.Get(), "a"},
                        {b.Get(), "b"}, {idle.Get(), "idle"}}) {
        graph->AddFilter(f, n);
    }
    graph->Connect(Pin(fast.Get(), "Capture").Get(), Pin(a.Get(), "In").Get());
    graph->Connect(Pin(slow.Get(), "Capture").Get(), Pin(b.Get(), "In").Get());
    ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(graph.Get());
    LONG code = 0;
    ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
    ASSERT_EQ(events->WaitForCompletion(5000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(b->Count(), 12u);
    EXPECT_EQ(events->WaitForCompletion(50, &code), E_ABORT);  // once only
    QueryAs<IMediaControl>(graph.Get())->Stop();
}

// The session polls the queue 30 times a second with a zero timeout; a wait with a timeout
// returns as soon as a streaming thread posts.
TEST(FilterGraph, EventsArePolledOrWaitedFor) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(graph.Get());
    ComPtr<IMediaEventSink> sink = QueryAs<IMediaEventSink>(graph.Get());
    ASSERT_TRUE(events && sink);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, -5), E_ABORT);  // a negative timeout polls too

    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    sink->Notify(EC_DEVICE_LOST, 0, 1);
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    EXPECT_EQ(p1, E_FAIL);
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_DEVICE_LOST);
    EXPECT_EQ(p2, 1);
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);

    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sink->Notify(EC_STREAM_ERROR_STILLPLAYING, E_FAIL, 0);
    });
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
    EXPECT_EQ(code, EC_STREAM_ERROR_STILLPLAYING);
    poster.join();
}

TEST(FilterGraph, AnswersTheVideoWindowForItsRenderer) {
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<IVideoWindow> window = QueryAs<IVideoWindow>(graph.Get());
    ComPtr<IBasicVideo2> video = QueryAs<IBasicVideo2>(graph.Get());
    ASSERT_TRUE(window && video);
    EXPECT_EQ(window->put_AutoShow(OAFALSE), E_NOINTERFACE);
    LONG l, t, w, h;
    EXPECT_EQ(video->GetDestinationPosition(&l, &t, &w, &h), E_NOINTERFACE);

    ComPtr<VideoRenderer> renderer = MakeCom<VideoRenderer>();
    graph->AddFilter(renderer.Get(), "Video Renderer");
    EXPECT_EQ(window->put_BorderColor(0x123456), S_OK);
    LONG color = 0;
    renderer->get_BorderColor(&color);
    EXPECT_EQ(color, 0x123456);
    // The forwarders are part of the graph: same identity.
    EXPECT_EQ(QueryAs<IUnknown>(window.Get()).Get(), QueryAs<IUnknown>(graph.Get()).Get());
}

TEST(FilterGraph, ReleasingTheGraphReleasesConnectedFilters) {
    {
        ComPtr<IGraphBuilder> graph = NewGraph();
        ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(Small(MEDIASUBTYPE_YUY2));
        ComPtr<IBaseFilter> renderer;
        CreateFilterGraphObject(CLSID_NullRenderer, &renderer);
        graph->AddFilter(source.Get(), "source");
        graph->AddFilter(renderer.Get(), "null");
        ASSERT_EQ(graph->Connect(Pin(source.Get(), "Capture").Get(), Pin(renderer.Get(), "In").Get()), S_OK);
        ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(com_detail::ModuleObjectCount().load(), 0);
}
