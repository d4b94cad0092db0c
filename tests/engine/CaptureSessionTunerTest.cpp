// Crossbar, tuner and analog decoder of a capture card described by JSON, driven through the
// session as the control drives it, and checked on the device's own interfaces.
#include <QComboBox>
#include <QDialog>
#include <cstdio>

#include "engine/CrossbarPage.h"
#include "platform/dshow/Uuids.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/engine/VideoFormatTestDevices.h"
#include "tests/support/MediaProbe.h"

using namespace session_test;

namespace {

const std::string kTestCard = "Test Card";

// Composite, S-Video, Tuner, Audio Line, Audio Tuner; channels 2..6 where 3 answers, 4 cannot be
// measured but locks when fine-tuned, 5 cannot be measured and does not lock.
const char* kCardJson = R"json({"devices": [
  {"name": "Test Card", "capture": [{"format": "RGB24", "width": 320, "height": 240, "frameRate": 25}],
   "preview": "capture",
   "crossbar": {"inputs": ["Video Composite", "S-Video", "Video Tuner", "Audio Line", "Audio Tuner"],
                "outputs": ["Video Decoder", "Audio Decoder"], "routes": [0, 3]},
   "tuner": {"modes": ["tv", "fm"], "countryCode": 1, "channelMin": 2, "channelMax": 6,
             "channels": [{"number": 3, "signal": "yes"}, {"number": 4, "signal": "unknown", "autoTune": true},
                          {"number": 5, "signal": "unknown", "autoTune": false}]},
   "decoder": {"tvFormats": ["NTSC_M", "PAL_D", "PAL_G"], "tvFormat": "NTSC_M"}},
  {"name": "Test Camera", "capture": [{"format": "RGB24", "width": 320, "height": 240}], "preview": "capture"},
  {"name": "Test Mic", "kind": "audio", "lines": [{"name": "Line In", "enabled": true}]}
]})json";

template <class T>
ComPtr<T> DeviceInterface(IGraphBuilder* graph, const std::string& device, const Guid* category = &LOOK_UPSTREAM_ONLY) {
    ComPtr<T> found;
    ComPtr<IBaseFilter> filter;
    if (!graph || graph->FindFilterByName(device.c_str(), filter.ReleaseAndGetAddressOf()) != S_OK) return found;
    ComPtr<ICaptureGraphBuilder2> builder = format_test::NewBuilder(graph);
    if (builder) builder->FindInterface(category, nullptr, filter.Get(), T::iid, found.ReleaseAndGetVoidAddress());
    return found;
}

LONG RoutedTo(IAMCrossbar* crossbar, LONG output) {
    LONG input = -2;
    EXPECT_EQ(crossbar->get_IsRoutedTo(output, &input), S_OK);
    return input;
}

class SessionTuner : public SessionTest {
protected:
    void SetUp() override {
        format_test::UseDevices(kCardJson);
        SessionTest::SetUp();
        session.countryCode = 1;
    }
    bool StartCard(int videoInput) {
        return SUCCEEDED(session.StartSession(formats, kTestCard, "", "", "", -1, videoInput, Guid{}));
    }
    ComPtr<IAMCrossbar> Crossbar() { return DeviceInterface<IAMCrossbar>(session.Graph(), kTestCard); }
    ComPtr<IAMTVTuner> Tuner() { return DeviceInterface<IAMTVTuner>(session.Graph(), kTestCard); }
};

}  // namespace

TEST_F(SessionTuner, ProbeListsTheVideoInputsOnlyAndAWebcamListsNone) {
    NameList inputs;
    session.ProbeDevice(kTestCard, "", formats, inputs);
    EXPECT_EQ(inputs, (NameList{"Video Composite", "S-Video", "Video Tuner"}));

    NameList cameraInputs;
    session.ProbeDevice("Test Camera", "", formats, cameraInputs);
    EXPECT_TRUE(cameraInputs.empty());
    // Routing on a device without a crossbar does nothing and the build goes on.
    EXPECT_TRUE(SUCCEEDED(session.StartSession(formats, "Test Camera", "", "", "", -1, 1, Guid{})));
    EXPECT_TRUE(HasFilter(session.Graph(), "Preview Text Filter"));
}

TEST_F(SessionTuner, NoVideoDeviceAndMissingBuilderRules) {
    ASSERT_TRUE(StartCard(1));
    ComPtr<IBaseFilter> device;
    ASSERT_EQ(session.Graph()->FindFilterByName(kTestCard.c_str(), device.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<ICaptureGraphBuilder2> builder = format_test::NewBuilder(session.Graph());
    NameList inputs;
    EXPECT_EQ(session.ListCrossbarInputs(nullptr, device.Get(), &inputs), E_FAIL);
    EXPECT_EQ(session.RouteVideoInput(nullptr, device.Get(), 0), E_FAIL);
    EXPECT_EQ(session.RouteTvAudio(nullptr, device.Get(), true), E_FAIL);

    session.noVideoDevice = true;
    EXPECT_EQ(session.ListCrossbarInputs(builder.Get(), device.Get(), &inputs), 1);
    EXPECT_TRUE(inputs.empty());
    EXPECT_EQ(session.RouteVideoInput(builder.Get(), device.Get(), 0), 1);
    EXPECT_EQ(RoutedTo(Crossbar().Get(), 0), 1);
    CCaptureSession::TvChannelList channels;
    EXPECT_EQ(session.ScanChannels(channels), 0);
    EXPECT_TRUE(channels.empty());
}

TEST_F(SessionTuner, StartRoutesTheChosenInputAndTvMuteRoutesAndUnroutesTheSound) {
    ASSERT_TRUE(StartCard(1));
    ComPtr<IAMCrossbar> crossbar = Crossbar();
    ASSERT_TRUE(crossbar);
    EXPECT_EQ(RoutedTo(crossbar.Get(), 0), 1);
    EXPECT_EQ(RoutedTo(crossbar.Get(), 1), 4) << "not muted: the audio tuner feeds the audio decoder";

    session.SetTvMute(true);
    EXPECT_TRUE(session.tvMute);
    EXPECT_EQ(RoutedTo(crossbar.Get(), 1), -1);
    session.SetTvMute(false);
    EXPECT_EQ(RoutedTo(crossbar.Get(), 1), 4);

    // A muted start leaves the audio decoder without input.
    session.tvMute = true;
    ASSERT_TRUE(StartCard(0));
    EXPECT_EQ(RoutedTo(Crossbar().Get(), 1), -1);
}

TEST_F(SessionTuner, TunerInputTunesTheChannelAndARefusedCountryEndsTheBuildSuccessfully) {
    session.channel = 5;
    session.tunerInput = true;
    ASSERT_TRUE(StartCard(2));
    ComPtr<IAMTVTuner> tuner = Tuner();
    ASSERT_TRUE(tuner);
    LONG channel = 0, video = 0, audio = 0;
    EXPECT_EQ(tuner->get_Channel(&channel, &video, &audio), S_OK);
    EXPECT_EQ(channel, 5);
    TunerInputType type = TunerInputCable;
    EXPECT_EQ(tuner->get_InputType(0, &type), S_OK);
    EXPECT_EQ(type, TunerInputAntenna);
    EXPECT_TRUE(HasFilter(session.Graph(), "Preview Text Filter"));

    session.SetChannel(3);
    EXPECT_EQ(session.channel, 3);
    EXPECT_EQ(tuner->get_Channel(&channel, &video, &audio), S_OK);
    EXPECT_EQ(channel, 3);

    session.tunerMode = 1;
    session.SetChannel(4);
    AMTunerModeType mode = AMTUNER_MODE_DEFAULT;
    EXPECT_EQ(tuner->get_Mode(&mode), S_OK);
    EXPECT_EQ(mode, AMTUNER_MODE_FM_RADIO);

    session.tunerMode = 0;
    session.countryCode = 0;  // the tuner refuses it
    // A recording: the sound is rendered into the file after the tuning.
    session.captureMode = true;
    session.captureFileName = TestFile("cut.avi").string();
    EXPECT_TRUE(SUCCEEDED(session.StartSession(formats, kTestCard, "Test Mic", "", "", -1, 2, Guid{})));
    EXPECT_TRUE(HasFilter(session.Graph(), "Test Mic"));
    EXPECT_EQ(DownstreamOf(session.Graph(), "Test Mic"), "") << "the build ended at the country code";
    // Not the tuner input: the country code is never tried and the build goes to its end.
    EXPECT_TRUE(SUCCEEDED(session.StartSession(formats, kTestCard, "Test Mic", "", "", -1, 0, Guid{})));
    EXPECT_NE(DownstreamOf(session.Graph(), "Test Mic"), "");

    session.StopSession();
    session.SetChannel(9);
    EXPECT_EQ(session.channel, 4) << "without a graph the session keeps its channel";
}

TEST_F(SessionTuner, ScanUsesAutoTuneWhereTheSignalCannotBeMeasuredAndAppends) {
    CCaptureSession::TvChannelList channels;
    EXPECT_EQ(session.ScanChannels(channels), 0) << "no graph";
    ASSERT_TRUE(StartCard(2));
    ASSERT_EQ(session.ScanChannels(channels), 1);
    ASSERT_EQ(channels.size(), 5u);
    std::vector<std::pair<std::string, int32_t>> got;
    for (const auto& c : channels) got.emplace_back(c.channel, c.signal);
    const std::vector<std::pair<std::string, int32_t>> expected = {{"2", 0}, {"3", 1}, {"4", 1}, {"5", 0}, {"6", 0}};
    EXPECT_EQ(got, expected);

    ASSERT_EQ(session.ScanChannels(channels), 1);
    ASSERT_EQ(channels.size(), 10u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(channels[i + 5].channel, channels[i].channel);
        EXPECT_EQ(channels[i + 5].signal, channels[i].signal);
    }
}

TEST_F(SessionTuner, VideoStandardIndexesFollowTheTable) {
    ASSERT_TRUE(StartCard(0));
    ComPtr<IAMAnalogVideoDecoder> decoder =
        DeviceInterface<IAMAnalogVideoDecoder>(session.Graph(), kTestCard, nullptr);
    ASSERT_TRUE(decoder);
    LONG format = 0;
    session.SetVideoStandard(5);
    EXPECT_EQ(decoder->get_TVFormat(&format), S_OK);
    EXPECT_EQ(format, 0x20) << "PAL_D, not PAL_G";
    EXPECT_EQ(session.videoStandard, 5);

    session.SetVideoStandard(1);
    EXPECT_EQ(decoder->get_TVFormat(&format), S_OK);
    EXPECT_EQ(format, 0x1);
    session.SetVideoStandard(18);
    session.SetVideoStandard(-1);
    EXPECT_EQ(decoder->get_TVFormat(&format), S_OK);
    EXPECT_EQ(format, 0x1);
    EXPECT_EQ(session.videoStandard, 1);
}

TEST_F(SessionTuner, CrossbarPageRoutesTheChosenInputAndReturnsIt) {
    EXPECT_EQ(session.ShowCrossbarPage(), -1) << "no graph";
    ASSERT_TRUE(StartCard(0));
    QStringList seen;
    CrossbarPageShow previous = SetCrossbarPageShow([&](QDialog& dialog) {
        auto* video = dialog.findChild<QComboBox*>("output0");
        if (!video) return int(QDialog::Rejected);
        for (int i = 0; i < video->count(); ++i) seen << video->itemText(i);
        video->setCurrentIndex(video->findData(QVariant::fromValue<int>(1)));
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(session.ShowCrossbarPage(), 1);
    EXPECT_EQ(seen, (QStringList{"No input", "0: Video Composite", "1: S-Video", "2: Video Tuner"}));
    EXPECT_EQ(RoutedTo(Crossbar().Get(), 0), 1);

    // Cancelled: the route stays and is returned.
    SetCrossbarPageShow([](QDialog& dialog) {
        if (auto* video = dialog.findChild<QComboBox*>("output0")) video->setCurrentIndex(0);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(session.ShowCrossbarPage(), 1);
    SetCrossbarPageShow(std::move(previous));
}

TEST_F(SessionTuner, RecordingThroughTheVirtualCardsTunerInputWritesAReadableFile) {
    unsetenv("ORVANTA_DEVICES");
    const auto file = TestFile("tuner.avi");
    session.captureMode = true;
    session.captureFileName = file.string();
    session.channel = 5;
    // The virtual card's first crossbar input is its tuner.
    ASSERT_TRUE(SUCCEEDED(session.StartSession(formats, kCard, "", "", "", -1, 0, Guid{})));
    EXPECT_EQ(RoutedTo(DeviceInterface<IAMCrossbar>(session.Graph(), kCard).Get(), 0), 0);
    Pump(1200);
    EXPECT_EQ(session.StopSession(), S_OK);

    std::string out = testing_support::Ffprobe(
        file, "-count_frames -select_streams v:0 -show_entries stream=codec_type,nb_read_frames -of csv=p=0");
    ASSERT_EQ(out.rfind("video,", 0), 0u) << out;
    EXPECT_GT(std::atoi(out.c_str() + 6), 5) << out;
}
