// Recordings through the module as the capture session makes them: three seconds of live video
// and audio, read back by ffprobe.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/components/torvane/TorvaneTestSupport.h"

using namespace torvane_test;

namespace {
class TorvaneRecording : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(RegisterTorvane());
        encoder = CreateEncoder();
        ASSERT_TRUE(encoder);
    }
    void TearDown() override { graph.TearDown(); }

    std::filesystem::path File(const char* name) const { return testing_support::TestEnvironment::Current().Dir() / name; }

    // Three seconds of 30 fps video and 44.1 kHz stereo, as the virtual devices deliver them.
    void Record(const MpegConfig& config, const std::filesystem::path& file, const Guid& subtype = MEDIASUBTYPE_RGB24,
                DWORD audioRate = 44100, WORD audioChannels = 2) {
        ASSERT_EQ(Configure(encoder.Get(), file.string(), config), S_OK);
        SyntheticVideoFormat video;
        video.subtype = subtype;
        video.width = 320;
        video.height = 240;
        video.frameInterval = UNITS / 30;
        video.frameLimit = 90;
        SyntheticAudioFormat audio;
        audio.samplesPerSec = audioRate;
        audio.channels = audioChannels;
        audio.sampleLimit = 3ull * audioRate;
        ASSERT_NO_FATAL_FAILURE(graph.Build(encoder.Get(), &video, &audio));
        EXPECT_EQ(graph.RunToCompletion(20000), EC_COMPLETE);
        graph.TearDown();
    }

    ComPtr<IBaseFilter> encoder;
    EncoderGraph graph;
};

double Number(const std::map<std::string, std::string>& probe, const std::string& key) {
    auto it = probe.find(key);
    return it == probe.end() ? -1 : std::atof(it->second.c_str());
}
}  // namespace

TEST_F(TorvaneRecording, Mpeg1SystemStreamAtTheConfiguredSize) {
    std::filesystem::path file = File("out1.mpg");
    MpegConfig config;  // MPEG-1, 352x288 at 25 fps from a 320x240, 30 fps source
    ASSERT_NO_FATAL_FAILURE(Record(config, file));
    auto probe = Probe(file);
    EXPECT_EQ(probe["format.format_name"], "mpeg");
    EXPECT_EQ(PackHeaderKind(file), 1);
    EXPECT_EQ(probe["video.codec_name"], "mpeg1video");
    EXPECT_EQ(probe["video.width"], "352");
    EXPECT_EQ(probe["video.height"], "288");
    EXPECT_EQ(probe["video.avg_frame_rate"], "25/1");
    EXPECT_EQ(probe["audio.codec_name"], "mp2");
    EXPECT_EQ(probe["audio.sample_rate"], "44100");
    EXPECT_EQ(probe["audio.channels"], "2");
    EXPECT_NEAR(Number(probe, "format.duration"), 3.0, 0.5);
    // 90 source frames at 30 fps make 75 at 25 fps; 3 s of sound make 115 MP2 frames of 1152.
    EXPECT_NEAR(Number(probe, "video.nb_read_frames"), 75, 1);
    EXPECT_NEAR(Number(probe, "audio.nb_read_frames"), 115, 1);
}

TEST_F(TorvaneRecording, Mpeg2ProgramStreamWithResampledMonoSound) {
    std::filesystem::path file = File("out2.mpg");
    MpegConfig config;
    config.outputType = 3;
    config.width = 720;
    config.height = 576;
    config.videoBitrate = 4600000;
    config.audioChannels = 1;
    config.audioBitrate = 128000;
    config.audioSampleRate = 48000;
    // YUY2 in, as capture cards deliver it.
    ASSERT_NO_FATAL_FAILURE(Record(config, file, MEDIASUBTYPE_YUY2));
    auto probe = Probe(file);
    EXPECT_EQ(probe["format.format_name"], "mpeg");
    EXPECT_EQ(PackHeaderKind(file), 2);
    EXPECT_EQ(probe["video.codec_name"], "mpeg2video");
    EXPECT_EQ(probe["video.width"], "720");
    EXPECT_EQ(probe["video.height"], "576");
    EXPECT_EQ(probe["audio.codec_name"], "mp2");
    EXPECT_EQ(probe["audio.sample_rate"], "48000");
    EXPECT_EQ(probe["audio.channels"], "1");
    EXPECT_NEAR(Number(probe, "format.duration"), 3.0, 0.5);
}

TEST_F(TorvaneRecording, TheWholePartOfAnNtscRateRecordsAtThatRate) {
    // The program hands down 29 for "29.97".
    std::filesystem::path file = File("ntsc.mpg");
    MpegConfig config;
    config.width = 352;
    config.height = 240;
    config.frameRate = 29;
    ASSERT_NO_FATAL_FAILURE(Record(config, file));
    auto probe = Probe(file);
    EXPECT_EQ(probe["video.avg_frame_rate"], "30000/1001");
    EXPECT_NEAR(Number(probe, "format.duration"), 3.0, 0.5);
}

TEST_F(TorvaneRecording, VideoAloneWhenNoSoundIsConnected) {
    std::filesystem::path file = File("video.mpg");
    ASSERT_EQ(Configure(encoder.Get(), file.string(), MpegConfig()), S_OK);
    SyntheticVideoFormat video;
    video.frameLimit = 45;  // 1.5 s at 30 fps
    ASSERT_NO_FATAL_FAILURE(graph.Build(encoder.Get(), &video, nullptr));
    EXPECT_EQ(graph.RunToCompletion(20000), EC_COMPLETE);
    graph.TearDown();
    auto probe = Probe(file);
    EXPECT_EQ(probe["video.codec_name"], "mpeg1video");
    EXPECT_EQ(probe.count("audio.codec_name"), 0u);
    EXPECT_NEAR(Number(probe, "format.duration"), 1.5, 0.5);
}

TEST_F(TorvaneRecording, AFileWhoseFolderIsGoneFailsTheStartAndLeavesNothing) {
    std::filesystem::path folder = File("gone");
    std::filesystem::create_directory(folder);
    std::filesystem::path file = folder / "out.mpg";
    ASSERT_EQ(Configure(encoder.Get(), file.string(), MpegConfig()), S_OK);
    std::filesystem::remove(folder);
    SyntheticVideoFormat video;
    SyntheticAudioFormat audio;
    ASSERT_NO_FATAL_FAILURE(graph.Build(encoder.Get(), &video, &audio));
    EXPECT_TRUE(FAILED(graph.control->Run()));
    EXPECT_FALSE(std::filesystem::exists(file));
}
