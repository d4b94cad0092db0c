// What the encoder accepts through its interfaces, and the rates it writes for what it is given.
#include <gtest/gtest.h>
#include <unistd.h>

#include "components/torvane/MpegSettings.h"
#include "tests/components/torvane/TorvaneTestSupport.h"

using namespace torvane_test;

namespace {
class TorvaneConfiguration : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(RegisterTorvane());
        encoder = CreateEncoder();
        ASSERT_TRUE(encoder);
        sink = QueryAs<IFileSinkFilter>(encoder.Get());
        output = QueryAs<IMpegEncoderOutput>(encoder.Get());
        settings = QueryAs<IMpegEncoderSettings>(encoder.Get());
        ASSERT_TRUE(sink && output && settings);
    }
    ComPtr<IBaseFilter> encoder;
    ComPtr<IFileSinkFilter> sink;
    ComPtr<IMpegEncoderOutput> output;
    ComPtr<IMpegEncoderSettings> settings;
};
}  // namespace

TEST_F(TorvaneConfiguration, TheSessionsValuesAreAcceptedAndTheKindReadsBack) {
    std::string file = (testing_support::TestEnvironment::Current().Dir() / "a.mpg").string();
    MpegConfig config;
    config.frameRate = 29.97f;  // "29.969999"
    EXPECT_EQ(Configure(encoder.Get(), file, config), S_OK);
    int kind = 0;
    ASSERT_EQ(output->GetOutputKind(&kind), S_OK);
    EXPECT_EQ(kind, kMpegOutputMpeg1);
    EXPECT_EQ(output->SetOutputKind(kMpegOutputMpeg2), S_OK);
    ASSERT_EQ(output->GetOutputKind(&kind), S_OK);
    EXPECT_EQ(kind, kMpegOutputMpeg2);
    std::string current;
    ASSERT_EQ(sink->GetCurFile(&current, nullptr), S_OK);
    EXPECT_EQ(current, file);
    // The slots nobody calls answer without doing anything.
    EXPECT_EQ(settings->Reserved5(), E_NOTIMPL);
    EXPECT_EQ(settings->Reserved19(), E_NOTIMPL);
}

TEST_F(TorvaneConfiguration, BadValuesAreRefusedAndTheLastGoodOnesKept) {
    EXPECT_EQ(output->SetOutputKind(5), E_INVALIDARG);
    EXPECT_EQ(output->GetOutputKind(nullptr), E_POINTER);
    EXPECT_EQ(settings->SetStreamType(0), E_INVALIDARG);
    EXPECT_EQ(settings->SetStreamType(3), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoSize(0, 0), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoSize(320, 0), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoSize(-320, 240), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoSize(100000, 240), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoSize(321, 240), E_INVALIDARG);
    EXPECT_EQ(settings->SetFrameRate(nullptr), E_POINTER);
    EXPECT_EQ(settings->SetFrameRate(""), E_INVALIDARG);
    EXPECT_EQ(settings->SetFrameRate("0.000000"), E_INVALIDARG);
    EXPECT_EQ(settings->SetFrameRate("-25.000000"), E_INVALIDARG);
    EXPECT_EQ(settings->SetFrameRate("1000.000000"), E_INVALIDARG);
    EXPECT_EQ(settings->SetFrameRate("nan"), E_INVALIDARG);
    EXPECT_EQ(settings->SetFrameRate("25 fps"), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoBitrate(0), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoBitrate(-1150000), E_INVALIDARG);
    EXPECT_EQ(settings->SetVideoBitrate(2000000000), E_INVALIDARG);
    EXPECT_EQ(settings->SetMaxVideoBitrate(0), E_INVALIDARG);
    EXPECT_EQ(settings->SetMinVideoBitrate(-1), E_INVALIDARG);
    EXPECT_EQ(settings->SetMaxDuration(-1), E_INVALIDARG);
    EXPECT_EQ(settings->SetPreset(7), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioChannels(0), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioChannels(6), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioBitrate(0), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioBitrate(10000000), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioSampleRate(0), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioSampleRate(44000), E_INVALIDARG);
    EXPECT_EQ(settings->SetAudioSampleRate(8000000), E_INVALIDARG);
    int kind = 0;
    ASSERT_EQ(output->GetOutputKind(&kind), S_OK);
    EXPECT_EQ(kind, kMpegOutputMpeg1);
}

TEST_F(TorvaneConfiguration, FileNamesThatCannotBeWrittenAreRefused) {
    std::string current;
    EXPECT_EQ(sink->GetCurFile(&current, nullptr), E_FAIL);
    EXPECT_EQ(sink->SetFileName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(sink->SetFileName("", nullptr), E_INVALIDARG);
    std::filesystem::path dir = testing_support::TestEnvironment::Current().Dir();
    EXPECT_TRUE(FAILED(sink->SetFileName((dir / "no such folder" / "a.mpg").c_str(), nullptr)));
    EXPECT_TRUE(FAILED(sink->SetFileName(dir.c_str(), nullptr)));  // a folder, not a file
    if (geteuid() != 0) {
        EXPECT_EQ(sink->SetFileName("/proc/a.mpg", nullptr), E_ACCESSDENIED);
    }
    EXPECT_EQ(sink->GetCurFile(&current, nullptr), E_FAIL);
}

TEST_F(TorvaneConfiguration, NoFileNameFailsTheStartWithoutACrash) {
    EncoderGraph graph;
    SyntheticVideoFormat video;
    ASSERT_NO_FATAL_FAILURE(graph.Build(encoder.Get(), &video, nullptr));
    EXPECT_TRUE(FAILED(graph.control->Run()));
    graph.TearDown();
}

TEST_F(TorvaneConfiguration, ARateBelowTheMinimumFailsTheStart) {
    // Each value passes its own check; together they cannot be encoded.
    std::string file = (testing_support::TestEnvironment::Current().Dir() / "b.mpg").string();
    ASSERT_EQ(sink->SetFileName(file.c_str(), nullptr), S_OK);
    ASSERT_EQ(settings->SetVideoBitrate(2000000), S_OK);
    ASSERT_EQ(settings->SetMaxVideoBitrate(1000000), S_OK);
    EncoderGraph graph;
    SyntheticVideoFormat video;
    ASSERT_NO_FATAL_FAILURE(graph.Build(encoder.Get(), &video, nullptr));
    EXPECT_EQ(graph.control->Run(), E_INVALIDARG);
    graph.TearDown();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(MpegFrameRates, WholePartsOfNtscRatesAndTheNearestExpressibleRate) {
    auto rate = [](double r, bool mpeg2) {
        MpegFrameRate f = ChooseMpegFrameRate(r, mpeg2);
        return std::to_string(f.num) + "/" + std::to_string(f.den) + (f.unofficial ? " u" : "");
    };
    EXPECT_EQ(rate(25, false), "25/1");
    EXPECT_EQ(rate(30, false), "30/1");
    EXPECT_EQ(rate(29, false), "30000/1001");
    EXPECT_EQ(rate(29.969999, true), "30000/1001");
    EXPECT_EQ(rate(23, true), "24000/1001");
    EXPECT_EQ(rate(59, false), "60000/1001");
    // MPEG-1 reaches 15 only through its unofficial rates; MPEG-2 through the extension.
    EXPECT_EQ(rate(15, false), "15/1 u");
    EXPECT_EQ(rate(15, true), "15/1");
    EXPECT_EQ(rate(10, true), "10/1");
    EXPECT_EQ(rate(20, false), "24000/1001");  // nearer than 24 and 15
}

TEST(MpegAudioRates, TheNearestMp2RateForTheSampleRate) {
    EXPECT_EQ(ChooseMp2Bitrate(224000, 44100), 224000);
    EXPECT_EQ(ChooseMp2Bitrate(200000, 48000), 192000);
    EXPECT_EQ(ChooseMp2Bitrate(384000, 32000), 384000);
    // The half sample rates have their own table, topping out at 160 kbps.
    EXPECT_EQ(ChooseMp2Bitrate(224000, 22050), 160000);
    EXPECT_EQ(ChooseMp2Bitrate(8000, 24000), 8000);
}

TEST_F(TorvaneConfiguration, PresetZeroKeepsTheKindChosenBeforeIt) {
    // The session chooses the kind first, then starts the settings over with preset 0.
    ASSERT_EQ(output->SetOutputKind(kMpegOutputMpeg2), S_OK);
    ASSERT_EQ(settings->SetPreset(0), S_OK);
    int kind = 0;
    ASSERT_EQ(output->GetOutputKind(&kind), S_OK);
    EXPECT_EQ(kind, kMpegOutputMpeg2);
}
