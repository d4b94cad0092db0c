// Input lines from recorded capture mixers (data/alsa-mixers.json).
#include "platform/devices/alsa/AlsaMixerMapping.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/devices/AudioInputMixer.h"
#include "platform/devices/DeviceBackends.h"
#include "platform/devices/alsa/AlsaBackend.h"
#include "tests/platform/devices/FakeV4l2Api.h"

namespace {

std::vector<AlsaMixerElement> Recorded(const std::string& card) {
    std::ifstream in(DeviceTestData() / "alsa-mixers.json");
    nlohmann::json all = nlohmann::json::parse(in);
    std::vector<AlsaMixerElement> elements;
    for (const auto& e : all.at(card)) {
        AlsaMixerElement element;
        element.name = e["name"];
        element.hasCaptureSwitch = e.value("hasCaptureSwitch", false);
        element.hasCaptureVolume = e.value("hasCaptureVolume", false);
        element.captureSwitchExclusive = e.value("captureSwitchExclusive", false);
        element.captureGroup = e.value("captureGroup", 0);
        element.captureSwitchOn = e.value("captureSwitchOn", false);
        element.volumeMin = e.value("volumeMin", 0L);
        element.volumeMax = e.value("volumeMax", 0L);
        element.volume = e.value("volume", 0L);
        element.isEnumCapture = e.value("isEnumCapture", false);
        element.enumItems = e.value("enumItems", std::vector<std::string>{});
        element.enumCurrent = e.value("enumCurrent", 0u);
        elements.push_back(element);
    }
    return elements;
}

std::vector<std::string> Names(const AlsaInputPlan& plan) {
    std::vector<std::string> names;
    for (const auto& line : plan.state) names.push_back(line.name);
    return names;
}

TEST(AlsaMixerMapping, SelectorCardGivesOnePinPerSource) {
    auto elements = Recorded("hda");
    AlsaInputPlan plan = PlanAlsaInputs(elements);
    EXPECT_EQ(Names(plan), (std::vector<std::string>{"Mic", "Line", "Front Mic"}));
    EXPECT_TRUE(plan.state[0].enabled);
    EXPECT_FALSE(plan.state[1].enabled);
    EXPECT_NEAR(plan.state[1].mixLevel, 39.0 / 63.0, 1e-9);  // the shared capture level

    std::vector<AudioInputLine> wanted = plan.state;
    wanted[1].enabled = true;
    wanted[1].mixLevel = 1.0;
    std::vector<AudioInputLine> now;
    auto actions = AlsaActionsForLine(plan, elements, 1, wanted, &now);
    EXPECT_EQ(actions, (std::vector<AlsaMixerAction>{{AlsaMixerAction::EnumItem, 1, 1}, {AlsaMixerAction::CaptureVolume, 0, 63}}));
    EXPECT_FALSE(now[0].enabled);  // selecting Line deselects Mic
    EXPECT_TRUE(now[1].enabled);

    // Disabling the selected source cannot select nothing.
    wanted = now;
    wanted[1].enabled = false;
    EXPECT_TRUE(AlsaActionsForLine(plan, elements, 1, wanted, &now).empty());
    EXPECT_TRUE(now[1].enabled);
}

TEST(AlsaMixerMapping, SwitchCardUsesExclusiveCaptureSwitches) {
    auto elements = Recorded("sb");
    AlsaInputPlan plan = PlanAlsaInputs(elements);
    EXPECT_EQ(Names(plan), (std::vector<std::string>{"Mic", "Line", "CD"}));  // not the master
    EXPECT_TRUE(plan.state[0].enabled);
    EXPECT_FALSE(plan.state[2].enabled);
    EXPECT_NEAR(plan.state[2].mixLevel, 16.0 / 31.0, 1e-9);

    std::vector<AudioInputLine> wanted = plan.state;
    wanted[2].enabled = true;
    wanted[2].mixLevel = 0.5;
    std::vector<AudioInputLine> now;
    auto actions = AlsaActionsForLine(plan, elements, 2, wanted, &now);
    EXPECT_EQ(actions, (std::vector<AlsaMixerAction>{{AlsaMixerAction::CaptureSwitch, 3, 1}}));  // 16 is already half
    EXPECT_FALSE(now[0].enabled);
    EXPECT_TRUE(now[2].enabled);

    wanted = now;
    wanted[1].mixLevel = 1.0;
    actions = AlsaActionsForLine(plan, elements, 1, wanted, &now);
    EXPECT_EQ(actions, (std::vector<AlsaMixerAction>{{AlsaMixerAction::CaptureVolume, 2, 31}}));
    EXPECT_FALSE(now[1].enabled);
}

TEST(AlsaMixerMapping, UsbMicrophoneAndCardWithoutMixer) {
    auto usb = Recorded("usb");
    AlsaInputPlan plan = PlanAlsaInputs(usb);
    EXPECT_EQ(Names(plan), (std::vector<std::string>{"Mic"}));
    EXPECT_NEAR(plan.state[0].mixLevel, 0.75, 1e-9);

    auto none = Recorded("none");
    plan = PlanAlsaInputs(none);
    EXPECT_EQ(Names(plan), (std::vector<std::string>{"Capture"}));
    EXPECT_TRUE(plan.state[0].enabled);
    std::vector<AudioInputLine> wanted = plan.state;
    wanted[0].mixLevel = 0.2;
    std::vector<AudioInputLine> now;
    EXPECT_TRUE(AlsaActionsForLine(plan, none, 0, wanted, &now).empty());
    EXPECT_DOUBLE_EQ(now[0].mixLevel, 0.2);
}

// The mixer interface of a pin reaches the card through the ALSA driver's plan: here the
// recorded card stands behind a driver that records instead of touching a mixer.
class PlanDriver : public DeviceDriver {
public:
    explicit PlanDriver(std::vector<AlsaMixerElement> e) : elements(std::move(e)), plan(PlanAlsaInputs(elements)) {}
    HRESULT ApplyInputLine(size_t index, const std::vector<AudioInputLine>& lines) override {
        auto done = AlsaActionsForLine(plan, elements, index, lines, nullptr);
        actions.insert(actions.end(), done.begin(), done.end());
        return S_OK;
    }
    std::vector<AlsaMixerElement> elements;
    AlsaInputPlan plan;
    std::vector<AlsaMixerAction> actions;
};

TEST(AlsaMixerMapping, InputMixerDrivesThePlan) {
    auto driver = std::make_unique<PlanDriver>(Recorded("sb"));
    PlanDriver* card = driver.get();
    DeviceDescription description;
    description.kind = DeviceKind::Audio;
    description.inputLines = card->plan.state;
    auto state = std::make_shared<DeviceState>(description, std::move(driver));
    auto line = MakeCom<AudioInputMixer>(state, 1);
    ASSERT_EQ(line->put_Enable(TRUE), S_OK);
    ASSERT_EQ(line->put_MixLevel(0.0), S_OK);
    EXPECT_EQ(card->actions, (std::vector<AlsaMixerAction>{{AlsaMixerAction::CaptureSwitch, 2, 1}}));
    ASSERT_EQ(line->put_MixLevel(1.0), S_OK);
    EXPECT_EQ(card->actions.back(), (AlsaMixerAction{AlsaMixerAction::CaptureVolume, 2, 31}));
}

TEST(DeviceBackends, BackendListLimitsWhatIsEnumerated) {
    setenv("ORVANTA_DEVICE_BACKENDS", "virtual", 1);
    EXPECT_TRUE(DeviceBackendEnabled("virtual"));
    EXPECT_FALSE(DeviceBackendEnabled("v4l2"));
    auto video = ListCaptureDevices(DeviceKind::Video);
    ASSERT_EQ(video.size(), 2u);
    EXPECT_EQ(video[0].name, "Orvanta Virtual Camera");
    EXPECT_EQ(video[1].name, "Orvanta Virtual Capture Card");
    auto audio = ListCaptureDevices(DeviceKind::Audio);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].name, "Orvanta Virtual Microphone");

    setenv("ORVANTA_DEVICE_BACKENDS", " alsa , v4l2", 1);
    EXPECT_TRUE(DeviceBackendEnabled("v4l2"));
    EXPECT_TRUE(DeviceBackendEnabled("alsa"));
    EXPECT_FALSE(DeviceBackendEnabled("virtual"));
    // No camera or sound card on a build machine is assumed, only that virtual ones are gone.
    for (const auto& d : ListCaptureDevices(DeviceKind::Video)) EXPECT_NE(d.backend, "virtual");
    for (const auto& d : ListCaptureDevices(DeviceKind::Audio)) EXPECT_EQ(d.backend, "alsa");
    setenv("ORVANTA_DEVICE_BACKENDS", "virtual", 1);
}

TEST(DeviceBackends, V4l2ListingSkipsMetadataNodes) {
    auto api = FakeV4l2Api::FromRecording("v4l2-uvc-webcam.json");
    auto devices = ListV4l2Devices(*api);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].path, "/dev/video0");
}

}  // namespace
