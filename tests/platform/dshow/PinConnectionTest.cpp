#include <gtest/gtest.h>

#include "platform/dshow/graph/FilterGraph.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
std::vector<BYTE> Frame(size_t size, BYTE value) { return std::vector<BYTE>(size, value); }

struct Chain {
    ComPtr<FilterGraph> graph = MakeCom<FilterGraph>();
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(static_cast<IGraphBuilder*>(graph.Get()));
};
}  // namespace

TEST(PinConnection, NegotiatesTheFirstTypeBothSidesAccept) {
    AM_MEDIA_TYPE rgb32 = MakeVideoType(MEDIASUBTYPE_RGB32, 8, 8);
    AM_MEDIA_TYPE rgb24 = MakeVideoType(MEDIASUBTYPE_RGB24, 8, 8);
    ComPtr<FrameSource> source = MakeCom<FrameSource>(std::vector{rgb32, rgb24}, std::vector<std::vector<BYTE>>{});
    ComPtr<TestSink> sink = MakeCom<TestSink>(MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    ComPtr<IPin> out = Pin(source.Get(), "Out");
    ComPtr<IPin> in = Pin(sink.Get(), "In");

    // A partial type that neither offered type fits.
    AM_MEDIA_TYPE yuy2 = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(out->Connect(in.Get(), &yuy2), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(IsConnected(out.Get()));
    EXPECT_FALSE(IsConnected(in.Get()));

    ASSERT_EQ(out->Connect(in.Get(), nullptr), S_OK);
    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(in->ConnectionMediaType(&agreed), S_OK);
    EXPECT_TRUE(agreed == rgb24);
    EXPECT_EQ(PeerOf(in.Get()).Get(), out.Get());
    EXPECT_EQ(out->Connect(in.Get(), nullptr), VFW_E_ALREADY_CONNECTED);
    // Wrong directions are refused before anything else.
    EXPECT_EQ(in->Connect(out.Get(), nullptr), E_UNEXPECTED);

    EXPECT_EQ(out->Disconnect(), S_OK);
    EXPECT_EQ(out->Disconnect(), S_FALSE);
    EXPECT_EQ(in->Disconnect(), S_OK);
    EXPECT_EQ(in->ConnectionMediaType(&agreed), VFW_E_NOT_CONNECTED);
}

TEST(PinConnection, APinKeepsItsFilterAliveAndKnowsIt) {
    ComPtr<IPin> pin;
    {
        ComPtr<TestSink> sink = MakeCom<TestSink>();
        pin = Pin(sink.Get(), "In");
        ComPtr<IPin> missing;
        EXPECT_EQ(sink->FindPin("Out", missing.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);
    }
    PIN_INFO info;
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, "In");
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    ASSERT_TRUE(info.pFilter);
    CLSID clsid;
    info.pFilter->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_TestSink);
    // Pin and filter are separate identities that share one count.
    EXPECT_NE(QueryAs<IUnknown>(pin.Get()).Get(), QueryAs<IUnknown>(info.pFilter.Get()).Get());
    EXPECT_TRUE(QueryAs<IMemInputPin>(pin.Get()));
    info.pFilter.Reset();
    pin.Reset();
    EXPECT_EQ(com_detail::ModuleObjectCount().load(), 0);
}

TEST(PinConnection, SourcePinsTellTheirCategory) {
    ComPtr<FrameSource> capture = MakeCom<FrameSource>(std::vector<AM_MEDIA_TYPE>{}, std::vector<std::vector<BYTE>>{});
    ComPtr<IKsPropertySet> props = QueryAs<IKsPropertySet>(Pin(capture.Get(), "Out").Get());
    ASSERT_TRUE(props);
    Guid category;
    DWORD returned = 0;
    ASSERT_EQ(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category, &returned), S_OK);
    EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
    EXPECT_EQ(returned, 16u);
    DWORD support = 0;
    EXPECT_EQ(props->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);
    EXPECT_EQ(props->Get(PIN_CATEGORY_CAPTURE, 0, nullptr, 0, &category, sizeof category, &returned), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(props->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category), E_PROP_ID_UNSUPPORTED);

    ComPtr<FrameSource> plain =
        MakeCom<FrameSource>(std::vector<AM_MEDIA_TYPE>{}, std::vector<std::vector<BYTE>>{}, GUID_NULL);
    EXPECT_FALSE(QueryAs<IKsPropertySet>(Pin(plain.Get(), "Out").Get()));
}

TEST(TransformFilterBase, OutputWaitsForTheInputAndSamplesKeepTheirProperties) {
    Chain c;
    AM_MEDIA_TYPE type = MakeVideoType(MEDIASUBTYPE_RGB24, 4, 4);
    std::vector<std::vector<BYTE>> frames;
    for (BYTE i = 0; i < 6; ++i) frames.push_back(Frame(type.lSampleSize, i));
    ComPtr<FrameSource> source = MakeCom<FrameSource>(std::vector{type}, frames);
    ComPtr<PassThrough> pass = MakeCom<PassThrough>(nullptr, "pass", 3);  // drops frames 3 and 6
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    sink->KeepCopies(true);
    c.graph->AddFilter(source.Get(), "source");
    c.graph->AddFilter(pass.Get(), "pass");
    c.graph->AddFilter(sink.Get(), "sink");
    EXPECT_TRUE(FAILED(c.graph->ConnectDirect(Pin(pass.Get(), "XForm Out").Get(), Pin(sink.Get(), "In").Get(), nullptr)));
    AM_MEDIA_TYPE offered;
    EXPECT_EQ(pass->GetMediaType(0, &offered), E_UNEXPECTED);
    ASSERT_EQ(c.graph->ConnectDirect(Pin(source.Get(), "Out").Get(), Pin(pass.Get(), "XForm In").Get(), nullptr), S_OK);
    ASSERT_EQ(c.graph->ConnectDirect(Pin(pass.Get(), "XForm Out").Get(), Pin(sink.Get(), "In").Get(), nullptr), S_OK);

    QueryAs<IMediaFilter>(static_cast<IGraphBuilder*>(c.graph.Get()))->SetSyncSource(nullptr);
    ASSERT_EQ(c.control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitForEnd());
    c.control->Stop();
    std::vector<ReceivedSample> got = sink->Samples();
    ASSERT_EQ(got.size(), 4u);
    const BYTE expected[] = {0, 1, 3, 4};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].bytes.front(), expected[i]);
        EXPECT_EQ(got[i].length, static_cast<LONG>(type.lSampleSize));
        EXPECT_TRUE(got[i].timed);
        EXPECT_EQ(got[i].start, expected[i] * 1000);
        EXPECT_TRUE(got[i].syncPoint);
    }
}

TEST(SourcePinBase, StreamControlDecidesWhichSamplesLeave) {
    Chain c;
    SyntheticVideoFormat format;
    format.width = 16;
    format.height = 16;
    format.frameInterval = 1000;
    format.frameLimit = 40;
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(format);
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    c.graph->AddFilter(source.Get(), "source");
    c.graph->AddFilter(sink.Get(), "sink");
    ASSERT_EQ(c.graph->Connect(Pin(source.Get(), "Capture").Get(), Pin(sink.Get(), "In").Get()), S_OK);

    ComPtr<IAMStreamControl> control = QueryAs<IAMStreamControl>(Pin(source.Get(), "Capture").Get());
    ASSERT_TRUE(control);
    // Stopped now; starts again at the sample stamped 10 x 1000, stops after 20 x 1000.
    ASSERT_EQ(control->StopAt(nullptr, FALSE, 0), S_OK);
    REFERENCE_TIME start = 10000, stop = 20000;
    ASSERT_EQ(control->StartAt(&start, 1), S_OK);
    AM_STREAM_INFO info;
    control->GetInfo(&info);
    EXPECT_TRUE(info.dwFlags & AM_STREAM_INFO_DISCARDING);
    EXPECT_TRUE(info.dwFlags & AM_STREAM_INFO_START_DEFINED);
    EXPECT_EQ(info.tStart, 10000);
    ASSERT_EQ(control->StopAt(&stop, FALSE, 2), S_OK);

    QueryAs<IMediaFilter>(static_cast<IGraphBuilder*>(c.graph.Get()))->SetSyncSource(nullptr);
    ASSERT_EQ(c.control->Run(), S_OK);
    for (int i = 0; i < 400 && source->CapturePin()->FramesMade() < 40; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    c.control->Stop();
    std::vector<ReceivedSample> got = sink->Samples();
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got.front().frame, 10);
    EXPECT_EQ(got.back().frame, 19);
    EXPECT_EQ(source->CapturePin()->DiscardedCount(), 30u);
}

TEST(SourcePinBase, ALiveSourceDeliversNothingWhilePaused) {
    Chain c;
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>();
    ComPtr<TestSink> sink = MakeCom<TestSink>();
    c.graph->AddFilter(source.Get(), "source");
    c.graph->AddFilter(sink.Get(), "sink");
    ASSERT_EQ(c.graph->Connect(Pin(source.Get(), "Capture").Get(), Pin(sink.Get(), "In").Get()), S_OK);
    ASSERT_EQ(c.control->Pause(), S_OK);
    OAFilterState state;
    EXPECT_EQ(c.control->GetState(0, &state), VFW_S_CANT_CUE);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(sink->Count(), 0u);
    ASSERT_EQ(c.control->Run(), S_OK);
    EXPECT_TRUE(sink->WaitFor(3));
    EXPECT_EQ(c.control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    c.control->Stop();
    std::vector<ReceivedSample> got = sink->Samples();
    EXPECT_EQ(got.front().frame, 0);
    EXPECT_EQ(got.front().start, 0);
}
