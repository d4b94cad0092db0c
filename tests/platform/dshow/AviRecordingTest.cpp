#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/dshow/filters/AviMux.h"
#include "platform/dshow/filters/SampleGrabber.h"
#include "platform/dshow/filters/SmartTee.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/CaptureGraphBuilder.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/synthetic/SyntheticAudioSource.h"
#include "tests/platform/dshow/AviProbe.h"
#include "tests/platform/dshow/TestFilters.h"
#include "tests/support/TestEnvironment.h"

using namespace dshow_test;

namespace {
struct Recording {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<SyntheticVideoSource> video;
    ComPtr<SyntheticAudioSource> audio;
    ComPtr<SampleGrabber> grabber;
    ComPtr<IMediaControl> control;
    std::filesystem::path file;

    // video -> Smart Tee -> AVI Mux -> File Writer, Smart Tee -> grabber -> video renderer, audio -> mux.
    void Build(const SyntheticVideoFormat& videoFormat, const SyntheticAudioFormat& audioFormat, const std::string& name) {
        file = testing_support::TestEnvironment::Current().Dir() / name;
        ASSERT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
        ASSERT_EQ(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder), S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
        video = MakeCom<SyntheticVideoSource>(videoFormat);
        audio = MakeCom<SyntheticAudioSource>(audioFormat);
        ASSERT_EQ(graph->AddFilter(video.Get(), "Video"), S_OK);
        ASSERT_EQ(graph->AddFilter(audio.Get(), "Audio"), S_OK);
        ComPtr<IBaseFilter> tee;
        ASSERT_EQ(CreateFilterGraphObject(CLSID_SmartTee, &tee), S_OK);
        ASSERT_EQ(graph->AddFilter(tee.Get(), "Smart Tee"), S_OK);
        ASSERT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(video.Get()), nullptr, tee.Get()), S_OK);
        ComPtr<IBaseFilter> mux;
        ComPtr<IFileSinkFilter> sink;
        ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file.c_str(), mux.ReleaseAndGetAddressOf(),
                                             sink.ReleaseAndGetAddressOf()),
                  S_OK);
        ComPtr<IConfigAviMux> config = QueryAs<IConfigAviMux>(mux.Get());
        ASSERT_TRUE(config);
        config->SetOutputCompatibilityIndex(TRUE);
        config->SetMasterStream(1);
        // The file branch first: it takes the tee's capture output.
        ASSERT_EQ(builder->RenderStream(nullptr, nullptr, tee.Get(), nullptr, mux.Get()), S_OK);
        EXPECT_EQ(PeerFilter(Pin(tee.Get(), "Capture").Get()).Get(), mux.Get());
        grabber = MakeCom<SampleGrabber>();
        ASSERT_EQ(graph->AddFilter(grabber.Get(), "Grabber"), S_OK);
        AM_MEDIA_TYPE rgb = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
        grabber->SetMediaType(&rgb);
        grabber->SetOneShot(FALSE);
        grabber->SetBufferSamples(TRUE);
        ASSERT_EQ(builder->RenderStream(nullptr, nullptr, tee.Get(), grabber.Get(), nullptr), S_OK);
        ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, static_cast<IBaseFilter*>(audio.Get()),
                                        nullptr, mux.Get()),
                  S_OK);
        control = QueryAs<IMediaControl>(graph.Get());
        ASSERT_TRUE(control);
    }

    // As the session's StopSession: stop, then remove and release every filter.
    void TearDown() {
        if (!graph) return;
        control->Stop();
        for (auto& filter : FiltersOf(graph.Get())) graph->RemoveFilter(filter.Get());
        control.Reset();
        builder.Reset();
        graph.Reset();
    }
};

SyntheticVideoFormat Vga(uint64_t frames) {
    SyntheticVideoFormat f;
    f.width = 640;
    f.height = 480;
    f.frameInterval = UNITS / 30;
    f.frameLimit = frames;
    return f;
}
}  // namespace

TEST(AviRecording, ThreeHundredFramesWithAudioAsAPlayerSeesThem) {
    Recording r;
    SyntheticAudioFormat audio;
    audio.sampleLimit = 441000;  // 10 s, as long as 300 frames at 30 fps
    ASSERT_NO_FATAL_FAILURE(r.Build(Vga(300), audio, "bar.avi"));
    ASSERT_EQ(r.control->Run(), S_OK);
    ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(r.graph.Get());
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(30000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);

    // The grabber holds the last frame, also after the graph is gone.
    r.TearDown();
    LONG size = 0;
    ASSERT_EQ(r.grabber->GetCurrentBuffer(&size, nullptr), S_OK);
    EXPECT_EQ(size, 640 * 480 * 3);
    std::vector<BYTE> frame(static_cast<size_t>(size));
    ASSERT_EQ(r.grabber->GetCurrentBuffer(&size, frame.data()), S_OK);
    EXPECT_EQ(SyntheticVideoSource::FrameNumberOf(frame.data(), frame.size()), 299);

    std::vector<ProbedStream> streams = ProbeWithFfprobe(r.file);
    const ProbedStream* v = StreamOf(streams, "video");
    const ProbedStream* a = StreamOf(streams, "audio");
    ASSERT_TRUE(v && a) << "ffprobe could not read " << r.file;
    EXPECT_NEAR(v->frames, 300, 1);
    EXPECT_EQ(v->width, 640);
    EXPECT_EQ(v->height, 480);
    EXPECT_NEAR(v->duration, 10.0, 0.05);
    double audioSeconds = PacketDurationWithFfprobe(r.file, "a");
    EXPECT_NEAR(audioSeconds, v->duration, 0.1);

    // Stored bottom-up, shown upright: the picture's bottom row is the buffer's first row.
    std::vector<uint8_t> shown = DecodeFirstFrameBgr(r.file);
    ASSERT_EQ(shown.size(), 640u * 480 * 3);
    const std::vector<BYTE>& picture = r.video->Picture();
    const size_t row = 640 * 3;
    EXPECT_TRUE(std::equal(picture.begin() + 8, picture.begin() + row, shown.end() - row + 8));
    EXPECT_TRUE(std::equal(picture.end() - row, picture.end(), shown.begin()));

    StoredVideo stored = ReadStoredPackets(r.file);
    ASSERT_TRUE(stored.opened);
    ASSERT_EQ(stored.frameNumbers.size(), 300u);
    for (size_t i = 0; i < stored.frameNumbers.size(); ++i) ASSERT_EQ(stored.frameNumbers[i], static_cast<int64_t>(i));
    EXPECT_EQ(stored.emptyPackets, 0);
    EXPECT_EQ(stored.audioSamples, 441000);
}

TEST(AviRecording, PauseBlocksTheCaptureStreamsAndResumeLeavesNoGap) {
    Recording r;
    ASSERT_NO_FATAL_FAILURE(r.Build(Vga(0), SyntheticAudioFormat(), "paused.avi"));
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    Clock::time_point started = Clock::now();
    ASSERT_EQ(r.control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));

    // As the session pauses: the graph, then the capture streams.
    ASSERT_EQ(r.control->Pause(), S_OK);
    Clock::time_point pausedAt = Clock::now();
    ComPtr<ICaptureGraphBuilder2> pauser = MakeCom<CaptureGraphBuilder>();
    pauser->SetFiltergraph(r.graph.Get());
    REFERENCE_TIME never = MAXLONGLONG;
    ASSERT_EQ(pauser->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, &never, nullptr, 0, 0), S_OK);
    ComPtr<IMediaSeeking> seeking = QueryAs<IMediaSeeking>(r.graph.Get());
    LONGLONG before = 0, after = 0, stop = 0;
    seeking->GetPositions(&before, &stop);
    uint64_t framesBefore = r.video->CapturePin()->FramesMade();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    seeking->GetPositions(&after, &stop);
    EXPECT_EQ(before, after);  // stream time stands still
    EXPECT_EQ(r.video->CapturePin()->FramesMade(), framesBefore);

    // As the session resumes.
    OAFilterState state;
    EXPECT_EQ(r.control->GetState(INFINITE, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    Clock::time_point resumedAt = Clock::now();
    ASSERT_EQ(r.control->Run(), S_OK);
    ComPtr<ICaptureGraphBuilder2> resumer = MakeCom<CaptureGraphBuilder>();
    resumer->SetFiltergraph(r.graph.Get());
    ASSERT_EQ(resumer->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, nullptr, &never, 0, 0), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    r.control->Stop();
    double running = seconds(pausedAt - started) + seconds(Clock::now() - resumedAt);
    double paused = seconds(resumedAt - pausedAt);
    r.TearDown();

    StoredVideo stored = ReadStoredPackets(r.file);
    ASSERT_TRUE(stored.opened);
    ASSERT_GT(stored.frameNumbers.size(), 30u);
    for (size_t i = 0; i < stored.frameNumbers.size(); ++i) {
        ASSERT_EQ(stored.frameNumbers[i], static_cast<int64_t>(i)) << "frame " << i;
        ASSERT_EQ(stored.pts[i], static_cast<int64_t>(i)) << "frame " << i;
    }
    EXPECT_EQ(stored.emptyPackets, 0);
    // Only the running time is in the file, for audio as for video.
    double videoSeconds = stored.frameNumbers.size() / 30.0;
    EXPECT_GE(paused, 0.69);
    EXPECT_LT(videoSeconds, running + 0.1);
    EXPECT_NEAR(stored.audioSamples / 44100.0, videoSeconds, 0.1);
}

TEST(AviRecording, RepeatedSessionsLeaveCompleteFilesAndNothingBehind) {
    SyntheticVideoFormat small;
    small.width = 160;
    small.height = 120;
    small.frameInterval = UNITS / 60;
    for (int cycle = 0; cycle < 200; ++cycle) {
        Recording r;
        ASSERT_NO_FATAL_FAILURE(r.Build(small, SyntheticAudioFormat(), "cycle" + std::to_string(cycle % 2) + ".avi"));
        ASSERT_EQ(r.control->Run(), S_OK);
        // Until a few frames went through the preview branch.
        for (int wait = 0; wait < 200 && r.grabber->ReceivedCount() < 3; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        r.TearDown();
        ASSERT_TRUE(IsCompleteAvi(r.file)) << "cycle " << cycle;
        StoredVideo stored = ReadStoredPackets(r.file);
        ASSERT_TRUE(stored.opened) << "cycle " << cycle;
        ASSERT_GE(stored.frameNumbers.size(), 1u) << "cycle " << cycle;
        EXPECT_EQ(stored.frameNumbers.front(), 0);
    }
    EXPECT_EQ(com_detail::ModuleObjectCount().load(), 0);
}

TEST(AviRecording, ABranchThatCannotConnectLeavesTheOthersRunning) {
    Recording r;
    SyntheticAudioFormat audio;
    audio.sampleLimit = 44100;
    ASSERT_NO_FATAL_FAILURE(r.Build(Vga(30), audio, "partial.avi"));
    // A branch that cannot be built: video into a sink that takes only audio.
    ComPtr<TestSink> audioOnly = MakeCom<TestSink>(MakePartialType(MEDIATYPE_Audio));
    ASSERT_EQ(r.graph->AddFilter(audioOnly.Get(), "Audio Only"), S_OK);
    ComPtr<IBaseFilter> extraTee;
    ASSERT_EQ(CreateFilterGraphObject(CLSID_SmartTee, &extraTee), S_OK);
    ASSERT_EQ(r.graph->AddFilter(extraTee.Get(), "Smart Tee"), VFW_S_DUPLICATE_NAME);
    EXPECT_TRUE(FAILED(r.builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(r.video.Get()), nullptr,
                                               extraTee.Get())));
    EXPECT_TRUE(FAILED(r.builder->RenderStream(nullptr, nullptr, extraTee.Get(), nullptr, audioOnly.Get())));

    ASSERT_EQ(r.control->Run(), S_OK);
    ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(r.graph.Get());
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    r.TearDown();
    EXPECT_EQ(audioOnly->Count(), 0u);
    StoredVideo stored = ReadStoredPackets(r.file);
    ASSERT_TRUE(stored.opened);
    EXPECT_EQ(stored.frameNumbers.size(), 30u);
    EXPECT_EQ(stored.audioSamples, 44100);
}

TEST(AviRecording, CompressedVideoKeepsItsFourCCPrivateDataAndFrameSizes) {
    // What a compressor hands the mux: a FourCC type with private data after the bitmap header.
    AM_MEDIA_TYPE type = MakeVideoType(MEDIASUBTYPE_MJPG, 64, 48, UNITS / 25);
    const BYTE privateData[] = {0xA1, 0xB2, 0xC3, 0xD4};
    std::vector<BYTE> block(type.pbFormat(), type.pbFormat() + type.cbFormat());
    block.insert(block.end(), std::begin(privateData), std::end(privateData));
    type.SetFormat(block.data(), static_cast<ULONG>(block.size()));
    type.VideoInfo()->bmiHeader.biSize = sizeof(BITMAPINFOHEADER) + sizeof privateData;
    type.VideoInfo()->bmiHeader.biBitCount = 24;
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = TRUE;
    std::vector<std::vector<BYTE>> frames = {std::vector<BYTE>(1000, 1), std::vector<BYTE>(3000, 2),
                                             std::vector<BYTE>(2000, 3)};
    ComPtr<FrameSource> source = MakeCom<FrameSource>(std::vector{type}, frames);

    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    CreateFilterGraphObject(CLSID_FilterGraph, &graph);
    CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder);
    builder->SetFiltergraph(graph.Get());
    QueryAs<IMediaFilter>(graph.Get())->SetSyncSource(nullptr);
    graph->AddFilter(source.Get(), "compressor");
    std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / "mjpg.avi";
    ComPtr<IBaseFilter> mux;
    ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file.c_str(), mux.ReleaseAndGetAddressOf(), nullptr), S_OK);
    ASSERT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(source.Get()), nullptr, mux.Get()), S_OK);
    ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(QueryAs<IMediaEventEx>(graph.Get())->WaitForCompletion(5000, &code), S_OK);
    QueryAs<IMediaControl>(graph.Get())->Stop();
    ASSERT_TRUE(IsCompleteAvi(file));

    AVFormatContext* format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, file.c_str(), nullptr, nullptr), 0);
    ASSERT_EQ(format->nb_streams, 1u);
    AVCodecParameters* par = format->streams[0]->codecpar;
    EXPECT_EQ(par->codec_tag, Guid::FourCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(par->width, 64);
    ASSERT_EQ(par->extradata_size, 4);
    EXPECT_TRUE(std::equal(std::begin(privateData), std::end(privateData), par->extradata));
    AVPacket* packet = av_packet_alloc();
    std::vector<int> sizes;
    while (av_read_frame(format, packet) >= 0) {
        sizes.push_back(packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    EXPECT_EQ(sizes, (std::vector<int>{1000, 3000, 2000}));
}
