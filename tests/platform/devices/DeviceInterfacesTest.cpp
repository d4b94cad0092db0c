// The interface objects of a device over the built-in capture card, camera and microphone.
#include <gtest/gtest.h>

#include "platform/devices/AnalogVideoDecoder.h"
#include "platform/devices/AudioInputMixer.h"
#include "platform/devices/Crossbar.h"
#include "platform/devices/DeviceControls.h"
#include "platform/devices/DroppedFrames.h"
#include "platform/devices/TvTuner.h"
#include "platform/devices/virtual/DeviceListParser.h"
#include "platform/devices/virtual/VirtualDeviceSet.h"

namespace {

std::shared_ptr<DeviceState> BuiltIn(size_t index) {
    auto result = ParseDeviceList(BuiltInVirtualDevicesJson(), "built-in");
    return std::make_shared<DeviceState>(result.devices.at(index));
}

std::shared_ptr<DeviceState> FromJson(const std::string& json) {
    auto result = ParseDeviceList(json, "test");
    EXPECT_TRUE(result.Ok()) << result.error;
    return std::make_shared<DeviceState>(result.devices.at(0));
}

// Records what reaches the hardware and can refuse it.
class RecordingDriver : public DeviceDriver {
public:
    HRESULT ApplyRoute(const CrossbarDescription&, LONG output, LONG input) override {
        routes.emplace_back(output, input);
        return refuse ? E_FAIL : S_OK;
    }
    HRESULT ApplyTuning(const TunerDescription& tuner) override {
        tuned.push_back(tuner.channel);
        return refuse ? E_FAIL : S_OK;
    }
    HRESULT WriteControl(bool camera, const ControlDescription& control, LONG value, LONG flags) override {
        writes.push_back({camera ? 1 : 0, control.property, value, flags});
        return refuse ? E_FAIL : S_OK;
    }
    HRESULT ApplyInputLine(size_t index, const std::vector<AudioInputLine>& lines) override {
        lineChanges.emplace_back(index, lines[index].enabled);
        return refuse ? E_FAIL : S_OK;
    }
    bool refuse = false;
    std::vector<std::pair<LONG, LONG>> routes;
    std::vector<LONG> tuned;
    std::vector<std::array<LONG, 4>> writes;
    std::vector<std::pair<size_t, bool>> lineChanges;
};

TEST(Crossbar, ReportsPinsAndRoutesByConnectorClass) {
    auto crossbar = MakeCom<Crossbar>(BuiltIn(1));
    LONG outputs = 0, inputs = 0;
    ASSERT_EQ(crossbar->get_PinCounts(&outputs, &inputs), S_OK);
    EXPECT_EQ(outputs, 2);
    EXPECT_EQ(inputs, 5);
    LONG related = 0, type = 0;
    ASSERT_EQ(crossbar->get_CrossbarPinInfo(TRUE, 2, &related, &type), S_OK);
    EXPECT_EQ(type, PhysConn_Video_SVideo);
    ASSERT_EQ(crossbar->get_CrossbarPinInfo(FALSE, 0, &related, &type), S_OK);
    EXPECT_EQ(type, PhysConn_Video_VideoDecoder);
    EXPECT_EQ(crossbar->get_CrossbarPinInfo(TRUE, 5, &related, &type), E_INVALIDARG);

    EXPECT_EQ(crossbar->CanRoute(0, 0), S_OK);
    EXPECT_EQ(crossbar->CanRoute(0, 3), S_FALSE);  // audio tuner into the video decoder
    EXPECT_EQ(crossbar->CanRoute(1, 3), S_OK);
    EXPECT_EQ(crossbar->CanRoute(2, 0), E_INVALIDARG);

    LONG routed = -2;
    ASSERT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 1);
    EXPECT_EQ(crossbar->Route(0, 4), E_INVALIDARG);
    EXPECT_EQ(crossbar->Route(0, 0), S_OK);
    EXPECT_EQ(crossbar->Route(1, -1), S_OK);  // sound off
    crossbar->get_IsRoutedTo(0, &routed);
    EXPECT_EQ(routed, 0);
    crossbar->get_IsRoutedTo(1, &routed);
    EXPECT_EQ(routed, -1);
}

TEST(Crossbar, KeepsTheOldRouteWhenTheHardwareRefuses) {
    auto state = BuiltIn(1);
    auto driver = std::make_unique<RecordingDriver>();
    RecordingDriver* hardware = driver.get();
    state->driver = std::move(driver);
    auto crossbar = MakeCom<Crossbar>(state);
    ASSERT_EQ(crossbar->Route(0, 2), S_OK);
    hardware->refuse = true;
    EXPECT_EQ(crossbar->Route(0, 0), E_FAIL);
    LONG routed = -2;
    crossbar->get_IsRoutedTo(0, &routed);
    EXPECT_EQ(routed, 2);
    EXPECT_EQ(hardware->routes, (std::vector<std::pair<LONG, LONG>>{{0, 2}, {0, 0}}));
}

TEST(TvTuner, SignalAnswersFollowTheChannelTable) {
    auto tuner = MakeCom<TvTuner>(FromJson(R"({"devices": [{"name": "T",
      "capture": [{"format": "YUY2", "width": 720, "height": 576}],
      "crossbar": {"inputs": ["Video Tuner", "Audio Tuner"], "outputs": ["Video Decoder", "Audio Decoder"]},
      "tuner": {"channelMin": 2, "channelMax": 6, "channels": [{"number": 3, "signal": "yes"},
                {"number": 4, "signal": "unknown", "autoTune": true}, {"number": 5, "signal": "unknown"}]}}]})"));
    LONG min = 0, max = 0;
    ASSERT_EQ(tuner->ChannelMinMax(&min, &max), S_OK);
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(2, 6));
    EXPECT_EQ(tuner->put_Channel(7, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT), E_INVALIDARG);

    auto signalOn = [&](LONG channel) {
        EXPECT_EQ(tuner->put_Channel(channel, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT), S_OK);
        LONG signal = 99;
        EXPECT_EQ(tuner->SignalPresent(&signal), S_OK);
        return signal;
    };
    EXPECT_EQ(signalOn(2), AMTUNER_NOSIGNAL);
    EXPECT_EQ(signalOn(3), AMTUNER_SIGNALPRESENT);
    LONG unknown = signalOn(4);
    EXPECT_NE(unknown, 0);
    EXPECT_NE(unknown, 1);

    LONG found = -1;
    ASSERT_EQ(tuner->AutoTune(4, &found), S_OK);
    EXPECT_EQ(found, 1);
    ASSERT_EQ(tuner->AutoTune(5, &found), S_OK);
    EXPECT_EQ(found, 0);
    ASSERT_EQ(tuner->AutoTune(3, &found), S_OK);
    EXPECT_EQ(found, 1);
    LONG channel = 0, video = 0, audio = 0;
    tuner->get_Channel(&channel, &video, &audio);
    EXPECT_EQ(channel, 3);
    EXPECT_EQ(tuner->StoreAutoTune(), S_OK);
}

TEST(TvTuner, ModesCountryAndInputs) {
    auto state = BuiltIn(1);
    auto tuner = MakeCom<TvTuner>(state);
    LONG modes = 0;
    tuner->GetAvailableModes(&modes);
    EXPECT_EQ(modes, AMTUNER_MODE_TV | AMTUNER_MODE_FM_RADIO);
    EXPECT_EQ(tuner->put_Mode(AMTUNER_MODE_AM_RADIO), E_INVALIDARG);
    EXPECT_EQ(tuner->put_Mode(AMTUNER_MODE_FM_RADIO), S_OK);
    AMTunerModeType mode = AMTUNER_MODE_DEFAULT;
    tuner->get_Mode(&mode);
    EXPECT_EQ(mode, AMTUNER_MODE_FM_RADIO);

    EXPECT_EQ(tuner->put_CountryCode(0), E_INVALIDARG);
    EXPECT_EQ(tuner->put_CountryCode(44), S_OK);
    LONG country = 0;
    tuner->get_CountryCode(&country);
    EXPECT_EQ(country, 44);

    LONG connections = 0;
    tuner->get_NumInputConnections(&connections);
    EXPECT_EQ(connections, 1);
    EXPECT_EQ(tuner->put_InputType(1, TunerInputAntenna), E_INVALIDARG);
    EXPECT_EQ(tuner->put_InputType(0, TunerInputAntenna), S_OK);
    TunerInputType type = TunerInputCable;
    tuner->get_InputType(0, &type);
    EXPECT_EQ(type, TunerInputAntenna);

    // Channel 5 of the western European plan (E5) is 175.25 MHz.
    tuner->put_Channel(5, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT);
    LONG hz = 0;
    ASSERT_EQ(tuner->get_VideoFrequency(&hz), S_OK);
    EXPECT_EQ(hz, 175250000);
    tuner->put_CountryCode(1);
    tuner->get_VideoFrequency(&hz);
    EXPECT_EQ(hz, 77250000);  // US VHF 5
    tuner->get_AudioFrequency(&hz);
    EXPECT_EQ(hz, 81750000);
}

TEST(TvTuner, FailedTuningKeepsTheChannel) {
    auto state = BuiltIn(1);
    auto driver = std::make_unique<RecordingDriver>();
    RecordingDriver* hardware = driver.get();
    state->driver = std::move(driver);
    auto tuner = MakeCom<TvTuner>(state);
    ASSERT_EQ(tuner->put_Channel(9, 0, 0), S_OK);
    hardware->refuse = true;
    EXPECT_EQ(tuner->put_Channel(3, 0, 0), E_FAIL);
    LONG channel = 0, video = 0, audio = 0;
    tuner->get_Channel(&channel, &video, &audio);
    EXPECT_EQ(channel, 9);
    EXPECT_EQ(hardware->tuned, (std::vector<LONG>{9, 3}));
}

TEST(AnalogVideoDecoder, AcceptsOneKnownStandard) {
    auto state = BuiltIn(1);
    auto decoder = MakeCom<AnalogVideoDecoder>(state);
    LONG standard = 0;
    decoder->get_TVFormat(&standard);
    EXPECT_EQ(standard, AnalogVideo_PAL_B);
    LONG lines = 0;
    decoder->get_NumberOfLines(&lines);
    EXPECT_EQ(lines, 625);
    EXPECT_EQ(decoder->put_TVFormat(AnalogVideo_PAL_G), E_INVALIDARG);  // not offered
    EXPECT_EQ(decoder->put_TVFormat(AnalogVideo_PAL_B | AnalogVideo_PAL_D), E_INVALIDARG);
    EXPECT_EQ(decoder->put_TVFormat(AnalogVideo_NTSC_M), S_OK);
    decoder->get_TVFormat(&standard);
    EXPECT_EQ(standard, AnalogVideo_NTSC_M);
    decoder->get_NumberOfLines(&lines);
    EXPECT_EQ(lines, 525);
    // The tuner of the same card reports the standard the decoder now uses.
    auto tuner = MakeCom<TvTuner>(state);
    tuner->get_TVFormat(&standard);
    EXPECT_EQ(standard, AnalogVideo_NTSC_M);
    LONG locked = 0;
    decoder->get_HorizontalLocked(&locked);
    EXPECT_EQ(locked, 1);
}

TEST(DeviceControls, RangesValuesAndModes) {
    auto state = BuiltIn(0);
    auto driver = std::make_unique<RecordingDriver>();
    RecordingDriver* hardware = driver.get();
    state->driver = std::move(driver);
    auto procAmp = MakeCom<VideoProcAmp>(state);
    auto camera = MakeCom<CameraControl>(state);

    LONG min = 0, max = 0, step = 0, def = 0, caps = 0;
    ASSERT_EQ(procAmp->GetRange(VideoProcAmp_WhiteBalance, &min, &max, &step, &def, &caps), S_OK);
    EXPECT_EQ(std::make_tuple(min, max, step, def, caps), std::make_tuple(2800, 6500, 10, 4600, 3));
    EXPECT_LT(procAmp->GetRange(VideoProcAmp_ColorEnable, &min, &max, &step, &def, &caps), 0);

    LONG value = 0, flags = 0;
    ASSERT_EQ(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(std::make_pair(value, flags), std::make_pair(4600, 1));
    EXPECT_EQ(procAmp->Set(VideoProcAmp_WhiteBalance, 5000, 2), S_OK);
    procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags);
    EXPECT_EQ(std::make_pair(value, flags), std::make_pair(5000, 2));
    EXPECT_EQ(procAmp->Set(VideoProcAmp_WhiteBalance, 9000, 2), E_INVALIDARG);
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 0, 1), E_INVALIDARG);  // no auto brightness

    // Same property numbers on the two interfaces are different settings.
    ASSERT_EQ(camera->GetRange(CameraControl_Pan, &min, &max, &step, &def, &caps), S_OK);
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(-180, 180));
    EXPECT_EQ(camera->Set(CameraControl_Exposure, -7, 2), S_OK);
    ASSERT_EQ(hardware->writes.size(), 2u);
    EXPECT_EQ(hardware->writes[1], (std::array<LONG, 4>{1, CameraControl_Exposure, -7, 2}));

    hardware->refuse = true;
    EXPECT_EQ(camera->Set(CameraControl_Exposure, -3, 2), E_FAIL);
    camera->Get(CameraControl_Exposure, &value, &flags);
    EXPECT_EQ(value, -7);
}

TEST(AudioInputMixer, EnableAndLevelPerLine) {
    auto state = BuiltIn(2);
    auto mic = MakeCom<AudioInputMixer>(state, 0);
    auto line = MakeCom<AudioInputMixer>(state, 1);
    auto beyond = MakeCom<AudioInputMixer>(state, 9);
    BOOL enabled = FALSE;
    mic->get_Enable(&enabled);
    EXPECT_EQ(enabled, TRUE);
    line->get_Enable(&enabled);
    EXPECT_EQ(enabled, FALSE);
    EXPECT_EQ(line->put_Enable(TRUE), S_OK);
    line->get_Enable(&enabled);
    EXPECT_EQ(enabled, TRUE);
    EXPECT_EQ(line->put_MixLevel(1.5), E_INVALIDARG);
    EXPECT_EQ(line->put_MixLevel(0.3), S_OK);
    double level = 0;
    line->get_MixLevel(&level);
    EXPECT_DOUBLE_EQ(level, 0.3);
    mic->get_MixLevel(&level);
    EXPECT_DOUBLE_EQ(level, 1.0);
    EXPECT_EQ(beyond->put_Enable(TRUE), E_FAIL);
    EXPECT_EQ(beyond->get_Enable(&enabled), E_FAIL);
}

TEST(DroppedFrames, CountsWhatTheStreamReports) {
    auto state = BuiltIn(0);
    auto dropped = MakeCom<DroppedFrames>(state);
    state->dropped.Delivered(100);
    state->dropped.Delivered(300);
    state->dropped.Dropped(2);
    state->dropped.Dropped(5);
    LONG count = 0;
    dropped->GetNumDropped(&count);
    EXPECT_EQ(count, 2);
    dropped->GetNumNotDropped(&count);
    EXPECT_EQ(count, 2);
    dropped->GetAverageFrameSize(&count);
    EXPECT_EQ(count, 200);
    LONG frames[4] = {}, copied = 0;
    ASSERT_EQ(dropped->GetDroppedInfo(1, frames, &copied), S_OK);
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(frames[0], 2);
    dropped->GetDroppedInfo(4, frames, &copied);
    EXPECT_EQ(copied, 2);
    EXPECT_EQ(frames[1], 5);
}

}  // namespace
