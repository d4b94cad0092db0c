// The audio device's input lines through the session: listing, the line a build enables with its
// mix level, the line enabled again at every stop, and the refresh of the audio collections.
#include "platform/devices/DeviceInterfaces.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/engine/VideoFormatTestDevices.h"

using namespace session_test;

namespace {

const std::string kTestMic = "Test Mic";

// Line In starts at half level; CD Audio is enabled at creation as well (the last enabled wins).
const char* kMicJson = R"json({"devices": [
  {"name": "Test Camera", "capture": [{"format": "RGB24", "width": 320, "height": 240}], "preview": "capture"},
  {"name": "Test Mic", "kind": "audio",
   "lines": [{"name": "Microphone", "enabled": true}, {"name": "Line In", "mixLevel": 0.5},
             {"name": "CD Audio", "enabled": true}, {"name": "Stereo Mix"}]},
  {"name": "Second Mic", "kind": "audio", "lines": [{"name": "Front Mic"}, {"name": "Rear Mic"}]}
]})json";

struct LineState {
    bool enabled = false;
    double level = -1;
    bool operator==(const LineState&) const = default;
};

std::vector<LineState> Lines(IBaseFilter* device) {
    std::vector<LineState> lines;
    ComPtr<IEnumPins> pins;
    if (!device || device->EnumPins(pins.ReleaseAndGetAddressOf()) != S_OK) return lines;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction != PINDIR_INPUT) continue;
        LineState line;
        if (ComPtr<IAMAudioInputMixer> mixer = QueryAs<IAMAudioInputMixer>(pin.Get())) {
            BOOL enabled = FALSE;
            mixer->get_Enable(&enabled);
            line.enabled = enabled != FALSE;
            mixer->get_MixLevel(&line.level);
        }
        lines.push_back(line);
    }
    return lines;
}

class SessionAudioInputs : public SessionTest {
protected:
    void SetUp() override {
        format_test::UseDevices(kMicJson);
        SessionTest::SetUp();
    }
    bool StartWithMic() {
        return SUCCEEDED(session.StartSession(formats, "Test Camera", kTestMic, "", "", -1, -1, Guid{}));
    }
    ComPtr<IBaseFilter> MicInGraph() {
        ComPtr<IBaseFilter> mic;
        if (session.Graph()) session.Graph()->FindFilterByName(kTestMic.c_str(), mic.ReleaseAndGetAddressOf());
        return mic;
    }
    void Enumerate(NameList& pins) {
        NameList devices, videoCompressors, audioDevices, audioCompressors, videoInputs;
        session.EnumerateDevices(devices, formats, videoCompressors, audioDevices, audioCompressors, videoInputs, pins, 0);
    }
};

}  // namespace

TEST_F(SessionAudioInputs, ListingNamesTheInputLinesAndRemembersTheLastEnabledOne) {
    NameList pins;
    Enumerate(pins);
    EXPECT_EQ(pins, (NameList{"Microphone", "Line In", "CD Audio", "Stereo Mix"}));
    EXPECT_EQ(session.enabledPinAtStart, 2);
    EXPECT_EQ(session.ListAudioInputPins(pins, nullptr), E_FAIL);
    EXPECT_EQ(pins.size(), 4u);
}

TEST_F(SessionAudioInputs, TheLineEnabledAtCreationIsEnabledAgainAtEveryStop) {
    NameList pins;
    Enumerate(pins);
    ASSERT_EQ(session.enabledPinAtStart, 2);
    for (int round = 0; round < 2; ++round) {
        // The capture uses Line In; CD Audio is switched off meanwhile (by another program, say).
        session.audioInputPin = 1;
        ASSERT_TRUE(StartWithMic());
        ComPtr<IBaseFilter> mic = MicInGraph();
        ASSERT_TRUE(mic);
        ComPtr<IPin> cd;
        ASSERT_EQ(mic->FindPin("CD Audio", cd.ReleaseAndGetAddressOf()), S_OK);
        QueryAs<IAMAudioInputMixer>(cd.Get())->put_Enable(FALSE);
        EXPECT_TRUE(Lines(mic.Get())[1].enabled);
        EXPECT_FALSE(Lines(mic.Get())[2].enabled);
        EXPECT_EQ(session.StopSession(), S_OK);
        EXPECT_TRUE(Lines(mic.Get())[2].enabled) << "round " << round;
    }
}

TEST_F(SessionAudioInputs, ABuildEnablesTheChosenLineWithItsStoredMixLevel) {
    const CCaptureSession::AudioInputPinList entries = {{"Microphone", 1.0}, {"Line In", 0.25}};
    session.audioInputPinEntries = &entries;
    session.audioInputPin = 1;
    ASSERT_TRUE(StartWithMic());
    std::vector<LineState> lines = Lines(MicInGraph().Get());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], (LineState{true, 0.25}));
    EXPECT_EQ(lines[3], (LineState{false, 1.0})) << "other lines are not touched";

    // No stored entry at that position: full level.
    session.audioInputPin = 3;
    ASSERT_TRUE(StartWithMic());
    lines = Lines(MicInGraph().Get());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], (LineState{true, 1.0}));
    EXPECT_EQ(lines[1], (LineState{false, 0.5}));

    // Without an owner no level is sent.
    session.ownerControl = nullptr;
    session.audioInputPin = 1;
    ASSERT_TRUE(StartWithMic());
    EXPECT_EQ(Lines(MicInGraph().Get())[1], (LineState{true, 0.5}));
}

TEST_F(SessionAudioInputs, APinPastTheEndEnablesNothing) {
    session.audioInputPin = 4;
    ASSERT_TRUE(StartWithMic());
    const std::vector<LineState> expected = {{true, 1.0}, {false, 0.5}, {true, 1.0}, {false, 1.0}};
    EXPECT_EQ(Lines(MicInGraph().Get()), expected);
    EXPECT_EQ(session.SelectAudioInputPin(MicInGraph().Get(), 9), E_FAIL);
    EXPECT_EQ(session.SelectAudioInputPin(MicInGraph().Get(), -1), E_FAIL);
    EXPECT_EQ(Lines(MicInGraph().Get()), expected);
}

TEST_F(SessionAudioInputs, RefreshListsEveryDeviceAndThePinsOfTheChosenOne) {
    session.enabledPinAtStart = 7;
    NameList devices, pins;
    EXPECT_TRUE(session.RefreshAudioInputs(1, devices, pins));
    EXPECT_EQ(devices, (NameList{kTestMic, "Second Mic"}));
    EXPECT_EQ(pins, (NameList{"Front Mic", "Rear Mic"}));
    EXPECT_EQ(session.enabledPinAtStart, 7);
    EXPECT_FALSE(session.noAudioDevice);

    devices.clear();
    pins.clear();
    EXPECT_TRUE(session.RefreshAudioInputs(2, devices, pins));
    EXPECT_EQ(devices.size(), 2u);
    EXPECT_TRUE(pins.empty());

    format_test::UseDevices(R"json({"devices": [
      {"name": "Test Camera", "capture": [{"format": "RGB24", "width": 320, "height": 240}]}]})json");
    devices.clear();
    EXPECT_FALSE(session.RefreshAudioInputs(0, devices, pins));
    EXPECT_TRUE(session.noAudioDevice);
    EXPECT_TRUE(devices.empty());
}

TEST_F(SessionAudioInputs, AudioCapturePageNeedsTheDeviceInTheGraph) {
    EXPECT_EQ(session.ShowAudioCapturePage(), 0);
    ASSERT_TRUE(StartWithMic());
    EXPECT_EQ(session.ShowAudioCapturePage(), 1);
    session.audioDeviceName = "Nobody";
    EXPECT_EQ(session.ShowAudioCapturePage(), 0);
}
