#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/ClassRegistry.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/synthetic/SyntheticAudioSource.h"
#include "platform/dshow/synthetic/SyntheticVideoSource.h"
#include "platform/wmf/AsfFile.h"
#include "platform/wmf/SystemProfiles.h"
#include "platform/wmf/WMProfile.h"
#include "platform/wmf/WmfClasses.h"
#include "tests/platform/wmf/ProfileFiles.h"
#include "tests/support/MediaProbe.h"

using namespace wmf_test;

namespace {
// ffprobe's view of a file: one map of fields per stream, plus "format.duration".
struct Probe {
    std::vector<std::map<std::string, std::string>> streams;
    double duration = -1;
    const std::map<std::string, std::string>* Of(const char* type) const {
        for (const auto& s : streams) {
            auto it = s.find("codec_type");
            if (it != s.end() && it->second == type) return &s;
        }
        return nullptr;
    }
};

Probe ProbeFile(const std::filesystem::path& file, bool countFrames = false) {
    testing_support::ProbedFile probed = testing_support::ProbeSections(
        file, std::string(countFrames ? "-count_frames " : "") +
                  "-show_entries stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels,"
                  "nb_read_frames,duration:format=duration");
    Probe probe;
    probe.streams = std::move(probed.streams);
    auto duration = probed.format.find("duration");
    if (duration != probed.format.end() && duration->second != "N/A") probe.duration = std::atof(duration->second.c_str());
    return probe;
}

struct AsfGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> writer;
    ComPtr<IMediaControl> control;
    std::filesystem::path file;

    // video (+ audio) -> ASF writer made by SetOutputFileName, configured from `profile`.
    void Build(const SyntheticVideoFormat& videoFormat, const SyntheticAudioFormat* audioFormat, IWMProfile* profile,
               const std::string& name) {
        ASSERT_EQ(RegisterWindowsMediaClasses(), S_OK);
        file = testing_support::TestEnvironment::Current().Dir() / name;
        ASSERT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
        ASSERT_EQ(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder), S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
        ComPtr<IBaseFilter> video = MakeCom<SyntheticVideoSource>(videoFormat);
        ASSERT_EQ(graph->AddFilter(video.Get(), "Video"), S_OK);
        ComPtr<IFileSinkFilter> sink;
        ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Asf, file.c_str(), writer.ReleaseAndGetAddressOf(),
                                             sink.ReleaseAndGetAddressOf()),
                  S_OK);
        ComPtr<IConfigAsfWriter> config = QueryAs<IConfigAsfWriter>(writer.Get());
        ASSERT_TRUE(config);
        ASSERT_EQ(config->ConfigureFilterUsingProfile(profile), S_OK);
        ASSERT_EQ(builder->RenderStream(nullptr, nullptr, video.Get(), nullptr, writer.Get()), S_OK);
        if (audioFormat) {
            ComPtr<IBaseFilter> audio = MakeCom<SyntheticAudioSource>(*audioFormat);
            ASSERT_EQ(graph->AddFilter(audio.Get(), "Audio"), S_OK);
            ASSERT_EQ(builder->RenderStream(nullptr, nullptr, audio.Get(), nullptr, writer.Get()), S_OK);
        }
        control = QueryAs<IMediaControl>(graph.Get());
        ASSERT_TRUE(control);
    }

    // As the session's StopSession: stop, then remove and release every filter.
    void TearDown() {
        if (!graph) return;
        control->Stop();
        for (auto& filter : FiltersOf(graph.Get())) graph->RemoveFilter(filter.Get());
        writer.Reset();
        control.Reset();
        builder.Reset();
        graph.Reset();
    }
};

ComPtr<IWMProfile> Shipped(const char* stem) {
    ComPtr<IWMProfile> profile;
    EXPECT_EQ(LoadText(ProfileTextOf(ShippedProfile(stem)), &profile), S_OK) << stem;
    return profile;
}
}  // namespace

TEST(AsfWriterGraph, WritesTheProfilesFormatReadableWhileGrowingAndComplete) {
    ComPtr<IWMProfile> profile = Shipped("320x240-m");  // 25 fps, 44.1 kHz stereo
    ASSERT_TRUE(profile);
    SyntheticVideoFormat video;  // 320x240 RGB24 at 30 fps: the writer keeps 25
    SyntheticAudioFormat audio;
    AsfGraph g;
    ASSERT_NO_FATAL_FAILURE(g.Build(video, &audio, profile.Get(), "capture.wmv"));
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(g.control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // A reader of the growing file (the broadcast helper) already sees both streams.
    Probe growing = ProbeFile(g.file);
    ASSERT_TRUE(growing.Of("video") && growing.Of("audio")) << "ffprobe could not read the growing file";
    EXPECT_EQ(growing.Of("video")->at("codec_name"), "wmv2");
    EXPECT_EQ(growing.Of("audio")->at("codec_name"), "wmav2");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // Probing the growing file took its time too: the file covers the whole run, up to the stop
    // (finishing the file after it is not recorded time).
    double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    g.TearDown();

    Probe done = ProbeFile(g.file, true);
    const auto* v = done.Of("video");
    const auto* a = done.Of("audio");
    ASSERT_TRUE(v && a) << "ffprobe could not read " << g.file;
    EXPECT_EQ(v->at("codec_name"), "wmv2");
    EXPECT_EQ(v->at("width"), "320");
    EXPECT_EQ(v->at("height"), "240");
    EXPECT_EQ(v->at("r_frame_rate"), "25/1");
    EXPECT_EQ(a->at("codec_name"), "wmav2");
    EXPECT_EQ(a->at("sample_rate"), "44100");
    EXPECT_EQ(a->at("channels"), "2");
    EXPECT_NEAR(done.duration, ran, 0.5);
    // Sound and picture cover the same time.
    EXPECT_NEAR(std::atof(a->at("duration").c_str()), std::atof(v->at("duration").c_str()), 0.3);
    // 25 frames a second of the time that ran, not the camera's 30.
    long frames = std::atol(v->at("nb_read_frames").c_str());
    EXPECT_NEAR(static_cast<double>(frames), 25.0 * done.duration, 4.0);
}

TEST(AsfWriterGraph, ScalesConvertsAndResamplesToASmallProfile) {
    ComPtr<IWMProfile> profile = Shipped("176x144-l");  // 15 fps, 22.05 kHz mono
    ASSERT_TRUE(profile);
    SyntheticVideoFormat video;
    video.subtype = MEDIASUBTYPE_YUY2;
    video.width = 640;
    video.height = 480;
    SyntheticAudioFormat audio;
    audio.samplesPerSec = 48000;
    audio.channels = 2;
    AsfGraph g;
    ASSERT_NO_FATAL_FAILURE(g.Build(video, &audio, profile.Get(), "small.wmv"));
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(g.control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    g.TearDown();
    Probe done = ProbeFile(g.file);
    const auto* v = done.Of("video");
    const auto* a = done.Of("audio");
    ASSERT_TRUE(v && a) << "ffprobe could not read " << g.file;
    EXPECT_EQ(v->at("width"), "176");
    EXPECT_EQ(v->at("height"), "144");
    EXPECT_EQ(v->at("r_frame_rate"), "15/1");
    EXPECT_EQ(a->at("sample_rate"), "22050");
    EXPECT_EQ(a->at("channels"), "1");
    EXPECT_NEAR(done.duration, ran, 0.5);
}

TEST(AsfWriterGraph, EndOfEveryInputCompletesTheFileWithEveryFrame) {
    ComPtr<IWMProfile> profile = Shipped("320x240-m");
    SyntheticVideoFormat video;
    video.frameInterval = 400000;  // the profile's own rate: no frame is dropped
    video.frameLimit = 50;         // 2 s
    SyntheticAudioFormat audio;
    audio.sampleLimit = 2 * 44100;
    AsfGraph g;
    ASSERT_NO_FATAL_FAILURE(g.Build(video, &audio, profile.Get(), "ended.wmv"));
    ASSERT_EQ(g.control->Run(), S_OK);
    ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(g.graph.Get());
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(15000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    // Complete before the graph stops.
    Probe done = ProbeFile(g.file, true);
    const auto* v = done.Of("video");
    ASSERT_TRUE(v && done.Of("audio"));
    EXPECT_EQ(v->at("nb_read_frames"), "50");
    EXPECT_NEAR(done.duration, 2.0, 0.3);
    g.TearDown();
}

TEST(AsfWriterConfig, PinsFollowTheProfileAndRefusedProfilesKeepTheOldOne) {
    ASSERT_EQ(RegisterWindowsMediaClasses(), S_OK);
    ComPtr<IBaseFilter> writer;
    ASSERT_EQ(CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_ALL, &writer), S_OK);
    ComPtr<IConfigAsfWriter> config = QueryAs<IConfigAsfWriter>(writer.Get());
    ASSERT_TRUE(config);
    auto pinNames = [&] {
        std::vector<std::string> names;
        ComPtr<IEnumPins> e;
        writer->EnumPins(e.ReleaseAndGetAddressOf());
        ComPtr<IPin> pin;
        while (e->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            char id[64] = {};
            pin->QueryId(id, sizeof id);
            names.push_back(id);
        }
        return names;
    };
    Guid current;
    ASSERT_EQ(config->GetCurrentProfileGuid(&current), S_OK);
    EXPECT_EQ(current, kDefaultAsfWriterProfile);
    EXPECT_EQ(pinNames(), (std::vector<std::string>{"Audio Input 01", "Video Input 01"}));

    // A video-only system profile leaves one pin.
    Guid videoOnly;
    for (const ProfileDescription& p : SystemProfiles(WMT_VER_8_0)) {
        if (p.streams.size() == 1 && p.streams[0].IsVideo()) videoOnly = p.id;
    }
    ASSERT_FALSE(videoOnly.IsNull());
    ASSERT_EQ(config->ConfigureFilterUsingProfileGuid(videoOnly), S_OK);
    EXPECT_EQ(pinNames(), (std::vector<std::string>{"Video Input 01"}));

    // Unknown identifiers and profiles it cannot write change nothing.
    EXPECT_EQ(config->ConfigureFilterUsingProfileGuid(MakeGuid("{0BADF00D-0000-0000-0000-000000000000}")), NS_E_INVALIDPROFILE);
    ProfileParts odd;
    odd.width = "321";
    ComPtr<IWMProfile> oddWidth;
    ASSERT_EQ(LoadText(Utf16(ProfileXml(odd)), &oddWidth), S_OK);  // a valid profile ...
    EXPECT_EQ(config->ConfigureFilterUsingProfile(oddWidth.Get()), NS_E_INVALIDPROFILE);  // ... not for this encoder
    ProfileParts fast;
    fast.sampleRate = "96000";
    ComPtr<IWMProfile> highRate;
    ASSERT_EQ(LoadText(Utf16(ProfileXml(fast)), &highRate), S_OK);
    EXPECT_EQ(config->ConfigureFilterUsingProfile(highRate.Get()), NS_E_INVALIDPROFILE);
    EXPECT_EQ(config->ConfigureFilterUsingProfile(nullptr), E_POINTER);
    ASSERT_EQ(config->GetCurrentProfileGuid(&current), S_OK);
    EXPECT_EQ(current, videoOnly);
    EXPECT_EQ(pinNames(), (std::vector<std::string>{"Video Input 01"}));

    // A custom profile: both pins again, its name read back, no identifier.
    ComPtr<IWMProfile> custom = Shipped("640x480");
    ASSERT_EQ(config->ConfigureFilterUsingProfile(custom.Get()), S_OK);
    EXPECT_EQ(pinNames(), (std::vector<std::string>{"Audio Input 01", "Video Input 01"}));
    config->GetCurrentProfileGuid(&current);
    EXPECT_TRUE(current.IsNull());
    ComPtr<IWMProfile> back;
    ASSERT_EQ(config->GetCurrentProfile(back.ReleaseAndGetAddressOf()), S_OK);
    DWORD length = 64;
    char name[64];
    ASSERT_EQ(back->GetName(name, &length), S_OK);
    EXPECT_STREQ(name, "640x480 High Quality");

    // The video pin prefers the profile's size and takes only raw video.
    ComPtr<IPin> pin;
    ASSERT_EQ(writer->FindPin("Video Input 01", pin.ReleaseAndGetAddressOf()), S_OK);
    AM_MEDIA_TYPE larger = MakeVideoType(MEDIASUBTYPE_RGB24, 1280, 720, 333333);
    EXPECT_EQ(pin->QueryAccept(&larger), S_OK);
    AM_MEDIA_TYPE compressed = MakeVideoType(MEDIASUBTYPE_RGB24, 320, 240, 333333);
    compressed.subtype = WMMEDIASUBTYPE_WMV2;
    EXPECT_NE(pin->QueryAccept(&compressed), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
    AM_MEDIA_TYPE first;
    ULONG fetched = 0;
    ASSERT_EQ(types->Next(1, &first, &fetched), S_OK);
    ASSERT_TRUE(first.VideoInfo());
    EXPECT_EQ(first.VideoInfo()->bmiHeader.biWidth, 640);
    EXPECT_EQ(first.VideoInfo()->AvgTimePerFrame, 400000);

    // The file sink.
    ComPtr<IFileSinkFilter2> sink = QueryAs<IFileSinkFilter2>(writer.Get());
    ASSERT_TRUE(sink);
    std::string file;
    EXPECT_EQ(sink->GetCurFile(&file, nullptr), E_FAIL);
    EXPECT_EQ(sink->SetFileName("", nullptr), E_INVALIDARG);
    ASSERT_EQ(sink->SetFileName("/tmp/x.wmv", nullptr), S_OK);
    ASSERT_EQ(sink->GetCurFile(&file, nullptr), S_OK);
    EXPECT_EQ(file, "/tmp/x.wmv");
}

TEST(AsfWriterGraph, AnUnwritableFileFailsTheRunInsteadOfLosingTheCapture) {
    ComPtr<IWMProfile> profile = Shipped("176x144-m");
    SyntheticVideoFormat video;
    SyntheticAudioFormat audio;
    AsfGraph g;
    ASSERT_NO_FATAL_FAILURE(g.Build(video, &audio, profile.Get(), "no-such-folder/capture.wmv"));
    EXPECT_FALSE(SUCCEEDED(g.control->Run()));
    g.TearDown();
    EXPECT_FALSE(std::filesystem::exists(g.file));
}

TEST(AsfWriterGraph, AStalledAudioInputDoesNotHoldTheVideoBack) {
    ComPtr<IWMProfile> profile = Shipped("320x240-m");
    SyntheticVideoFormat video;
    video.frameInterval = 400000;
    SyntheticAudioFormat audio;
    audio.sampleLimit = 44100 / 2;  // the microphone goes quiet after half a second
    AsfGraph g;
    ASSERT_NO_FATAL_FAILURE(g.Build(video, &audio, profile.Get(), "stalled.wmv"));
    ASSERT_EQ(g.control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    // While still running, the file already holds the video of most of that time.
    Probe growing = ProbeFile(g.file, true);
    const auto* v = growing.Of("video");
    ASSERT_TRUE(v);
    EXPECT_GE(std::atol(v->at("nb_read_frames").c_str()), 40);
    g.TearDown();
}

// Audio that arrives well after the video of the same time (a microphone that stalled, then caught
// up) must not put earlier times into the file after later ones: the packetiser aborts on them.
TEST(AsfFileWrite, LateAudioAfterTheInterleavingWindowStillMakesAWholeFile) {
    ComPtr<IWMProfile> profile = Shipped("320x240-m");  // 25 fps, 44.1 kHz stereo
    ASSERT_TRUE(profile);
    ProfileDescription description;
    ASSERT_EQ(DescribeProfile(profile.Get(), &description), S_OK);
    std::vector<AsfInput> inputs;
    for (const StreamDescription& stream : description.streams) {
        AsfInput input{stream, stream.IsVideo() ? MakeVideoType(MEDIASUBTYPE_RGB24, 320, 240, 400000)
                                                : MakePcmAudioType(44100, 2, 16)};
        if (stream.IsVideo()) inputs.insert(inputs.begin(), input);
        else inputs.push_back(input);
    }
    ASSERT_EQ(inputs.size(), 2u);
    const auto file = testing_support::TestEnvironment::Current().Dir() / "late-audio.wmv";
    AsfFile asf;
    ASSERT_EQ(asf.Open(file.string(), inputs), S_OK);
    std::vector<BYTE> picture(320 * 240 * 3, 0x80);
    for (int frame = 0; frame < 50; ++frame)  // 2 s of video first
        ASSERT_EQ(asf.Write(0, picture.data(), static_cast<LONG>(picture.size()), true, frame * 400000LL), S_OK);
    std::vector<BYTE> sound(4410 * 4, 0);  // then 2 s of audio from the start, in 0.1 s blocks
    for (int block = 0; block < 20; ++block)
        ASSERT_EQ(asf.Write(1, sound.data(), static_cast<LONG>(sound.size()), true, block * 1000000LL), S_OK);
    ASSERT_EQ(asf.Close(), S_OK);
    Probe probe = ProbeFile(file, true);
    ASSERT_TRUE(probe.Of("video") && probe.Of("audio"));
    EXPECT_EQ(std::atol(probe.Of("video")->at("nb_read_frames").c_str()), 50);
    EXPECT_GT(std::atol(probe.Of("audio")->at("nb_read_frames").c_str()), 0);
}
