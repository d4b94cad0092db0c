// The adjustment objects on a started session's device: virtual devices described by JSON, so the
// capability flags and current modes are exactly those an edge case needs, and the virtual
// camera's picture recorded to AVI and decoded by ffmpeg to see a brightness change arrive.
#include <cstdio>
#include <fstream>

#include "control/Adjustment.h"
#include "platform/com/DispatchDriver.h"
#include "platform/devices/DeviceInterfaces.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/platform/dshow/AviProbe.h"
#include "tests/support/MediaProbe.h"

using namespace session_test;

namespace {

const std::string kFlagCamera = "Flag Camera";
const std::string kBareCamera = "Bare Camera";

void UseDevices(const std::string& json) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(file) << json;
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
}

// Brightness: automatic and manual, currently automatic. Contrast: manual only. Hue: automatic
// only. Saturation: automatic and manual, currently manual. Gain and Iris with ranges of their own.
const char* kDevicesJson = R"json({"devices": [
  {"name": "Flag Camera", "kind": "video",
   "capture": [{"format": "RGB24", "width": 320, "height": 240, "frameRate": 30}], "preview": "capture",
   "procAmp": [
     {"property": "Brightness", "min": -10, "max": 10, "default": 0, "flags": ["auto", "manual"],
      "valueFlags": ["auto"]},
     {"property": "Contrast", "min": 0, "max": 100, "step": 5, "default": 50, "flags": ["manual"]},
     {"property": "Hue", "min": -30, "max": 30, "default": 0, "flags": ["auto"], "valueFlags": ["auto"]},
     {"property": "Saturation", "min": 0, "max": 100, "default": 60, "flags": ["auto", "manual"],
      "valueFlags": ["manual"]},
     {"property": "Gain", "min": 1, "max": 99, "default": 9, "value": 19, "flags": ["manual"]}],
   "cameraControl": [
     {"property": "Tilt", "min": -45, "max": 45, "default": 0, "flags": ["auto"], "valueFlags": ["auto"]},
     {"property": "Iris", "min": 2, "max": 77, "default": 5, "value": 55, "flags": ["manual"]}]},
  {"name": "Bare Camera", "kind": "video",
   "capture": [{"format": "RGB24", "width": 320, "height": 240, "frameRate": 30}], "preview": "capture"}
]})json";

class AdjustmentOnDevice : public SessionTest {
protected:
    void SetUp() override {
        UseDevices(kDevicesJson);
        SessionTest::SetUp();
    }
    DispatchDriver Adjustment(AdjustmentKind kind) {
        objects.push_back(CreateAdjustment(kind, &session));
        return DispatchDriver(objects.back());
    }
    // The device filter's own view of a setting: its current value and mode.
    std::pair<LONG, LONG> DeviceValue(const std::string& device, LONG property) {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(
            session.Graph()->FindFilterByName(device.c_str(), filter.ReleaseAndGetAddressOf()),
            S_OK);
        ComPtr<IAMVideoProcAmp> procAmp = QueryAs<IAMVideoProcAmp>(filter.Get());
        LONG value = -999, flags = -999;
        EXPECT_TRUE(procAmp);
        if (procAmp) procAmp->Get(property, &value, &flags);
        return {value, flags};
    }
    std::vector<ComPtr<IDispatch>> objects;
};

int32_t Long(const DispatchDriver& d, const char* name) {
    Variant v;
    EXPECT_EQ(d.GetProperty(name, &v), S_OK) << name;
    int64_t n = -12345;
    v.GetInteger(&n);
    return static_cast<int32_t>(n);
}

bool Flag(const DispatchDriver& d, const char* name) {
    Variant v;
    EXPECT_EQ(d.GetProperty(name, &v), S_OK) << name;
    EXPECT_EQ(v.Type(), VT_BOOL);
    return v.Bool() != 0;
}

}  // namespace

TEST_F(AdjustmentOnDevice, BeforeAnyStartBrightnessIsNeitherAvailableNorAuto) {
    DispatchDriver brightness = Adjustment(AdjustmentKind::Brightness);
    EXPECT_FALSE(Flag(brightness, "Available"));
    EXPECT_FALSE(Flag(brightness, "Auto"));
    ASSERT_TRUE(Start(kFlagCamera));
    EXPECT_TRUE(Flag(brightness, "Available"));
    EXPECT_EQ(Long(brightness, "Min"), -10);
    EXPECT_EQ(Long(brightness, "Max"), 10);
    // After Stop there is no graph: the last answers stay.
    session.StopSession();
    EXPECT_TRUE(Flag(brightness, "Available"));
    EXPECT_EQ(Long(brightness, "Max"), 10);
}

TEST_F(AdjustmentOnDevice, AutoIsTrueOnlyWhenAutomaticIsTheDevicesOnlyCapability) {
    ASSERT_TRUE(Start(kFlagCamera));
    EXPECT_FALSE(Flag(Adjustment(AdjustmentKind::Brightness), "Auto"));  // flags 3
    EXPECT_TRUE(Flag(Adjustment(AdjustmentKind::Hue), "Auto"));          // flags 1
    EXPECT_FALSE(Flag(Adjustment(AdjustmentKind::Contrast), "Auto"));    // flags 2
    // Tilt's Auto and Available query the camera-control range of tilt.
    DispatchDriver tilt = Adjustment(AdjustmentKind::Tilt);
    EXPECT_TRUE(Flag(tilt, "Auto"));
    EXPECT_TRUE(Flag(tilt, "Available"));
    EXPECT_EQ(Long(tilt, "Min"), -45);
    DispatchDriver contrast = Adjustment(AdjustmentKind::Contrast);
    EXPECT_EQ(Long(contrast, "StepSize"), 5);
    EXPECT_EQ(Long(contrast, "Default"), 50);
}

TEST_F(AdjustmentOnDevice, WritingValueSendsTheFlagsOfTheLastRangeQueryOrValueRead) {
    ASSERT_TRUE(Start(kFlagCamera));
    // Saturation is in manual mode on a device that can do both. After Max the flags held are the
    // capability flags 3, which the device refuses as a mode: the value stays where it was.
    DispatchDriver saturation = Adjustment(AdjustmentKind::Saturation);
    EXPECT_EQ(Long(saturation, "Max"), 100);
    ASSERT_EQ(saturation.PutProperty("Value", Variant(int32_t{20})), S_OK);
    EXPECT_EQ(DeviceValue(kFlagCamera, VideoProcAmp_Saturation), std::make_pair(LONG{60}, LONG{2}));
    // Reading Value first takes the current mode (manual), and the write then lands.
    EXPECT_EQ(Long(saturation, "Value"), 60);
    ASSERT_EQ(saturation.PutProperty("Value", Variant(int32_t{20})), S_OK);
    EXPECT_EQ(DeviceValue(kFlagCamera, VideoProcAmp_Saturation), std::make_pair(LONG{20}, LONG{2}));
    EXPECT_EQ(Long(saturation, "Value"), 20);

    // Brightness is automatic now: the write after a read sends automatic (1) back, so the device
    // keeps choosing its own value instead of being switched to manual.
    DispatchDriver brightness = Adjustment(AdjustmentKind::Brightness);
    EXPECT_EQ(Long(brightness, "Value"), 0);
    ASSERT_EQ(brightness.PutProperty("Value", Variant(int32_t{7})), S_OK);
    EXPECT_EQ(DeviceValue(kFlagCamera, VideoProcAmp_Brightness), std::make_pair(LONG{0}, LONG{1}));
    // Before any query the flags are manual (2): a fresh object's write sets the value.
    DispatchDriver fresh = Adjustment(AdjustmentKind::Brightness);
    ASSERT_EQ(fresh.PutProperty("Value", Variant(int32_t{7})), S_OK);
    EXPECT_EQ(DeviceValue(kFlagCamera, VideoProcAmp_Brightness), std::make_pair(LONG{7}, LONG{2}));
}

TEST_F(AdjustmentOnDevice, IrisReadsTheCameraControlAndGainTheProcAmpByTheirIdentifiers) {
    ASSERT_TRUE(Start(kFlagCamera));
    DispatchDriver iris = Adjustment(AdjustmentKind::Iris);
    DispatchDriver gain = Adjustment(AdjustmentKind::Gain);
    EXPECT_EQ(Long(iris, "Value"), 55);
    EXPECT_EQ(Long(iris, "Max"), 77);
    EXPECT_EQ(Long(gain, "Value"), 19);
    EXPECT_EQ(Long(gain, "Max"), 99);
    // The device has no Pan, and no Gamma: the range query fails and says so.
    DispatchDriver pan = Adjustment(AdjustmentKind::Pan);
    EXPECT_FALSE(Flag(pan, "Available"));
    DispatchDriver gamma = Adjustment(AdjustmentKind::Gamma);
    EXPECT_FALSE(Flag(gamma, "Available"));
}

TEST_F(AdjustmentOnDevice, ADeviceWithoutTheInterfacesKeepsTheWrittenValueInTheObjectOnly) {
    ASSERT_TRUE(Start(kFlagCamera));
    DispatchDriver contrast = Adjustment(AdjustmentKind::Contrast);
    EXPECT_TRUE(Flag(contrast, "Available"));
    // A new graph on a camera without proc-amp or camera control: Available keeps its last value,
    // a write changes nothing but the object.
    ASSERT_TRUE(Start(kBareCamera));
    EXPECT_TRUE(Flag(contrast, "Available"));
    ASSERT_EQ(contrast.PutProperty("Value", Variant(int32_t{88})), S_OK);
    EXPECT_EQ(Long(contrast, "Value"), 88);
    DispatchDriver zoom = Adjustment(AdjustmentKind::Zoom);
    EXPECT_FALSE(Flag(zoom, "Available"));
    session.StopSession();
    EXPECT_EQ(Long(contrast, "Value"), 88);
}

namespace {

// Mean luminance of every decoded frame of the file's video.
std::vector<double> FrameLuminance(const std::filesystem::path& file, int width, int height) {
    std::vector<uint8_t> pixels = testing_support::DecodeVideo(file, "gray");
    size_t frameSize = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<double> means;
    for (size_t at = 0; frameSize && at + frameSize <= pixels.size(); at += frameSize) {
        double sum = 0;
        for (size_t i = at; i < at + frameSize; ++i) sum += pixels[i];
        means.push_back(sum / static_cast<double>(frameSize));
    }
    return means;
}

class BrightnessRecording : public SessionTest {};

}  // namespace

TEST_F(BrightnessRecording,
       BrightnessSetWhileRecordingRaisesTheLuminanceOfTheFramesAfterThatPoint) {
    auto file = TestFile("brightness.avi");
    session.captureMode = true;
    session.captureFileName = file.string();
    ASSERT_TRUE(Start(kCamera));
    ComPtr<IDispatch> object = CreateAdjustment(AdjustmentKind::Brightness, &session);
    DispatchDriver brightness(object);
    EXPECT_TRUE(Flag(brightness, "Available"));
    EXPECT_EQ(Long(brightness, "Max"), 64);
    Pump(1200);
    ASSERT_EQ(brightness.PutProperty("Value", Variant(int32_t{60})), S_OK);
    Pump(1200);
    ASSERT_EQ(session.StopSession(), S_OK);

    auto streams = dshow_test::ProbeWithFfprobe(file);
    const auto* video = dshow_test::StreamOf(streams, "video");
    ASSERT_TRUE(video);
    std::vector<double> means = FrameLuminance(file, video->width, video->height);
    ASSERT_GE(means.size(), 20u);
    // Before the change the picture holds its level; after it every frame is clearly brighter
    // (60 on each colour channel, less what clips at white).
    const double before = means.front();
    const double after = means.back();
    EXPECT_GT(after - before, 30.0) << before << " -> " << after;
    size_t firstBright = 0;
    while (firstBright < means.size() && means[firstBright] < before + 15.0) ++firstBright;
    ASSERT_LT(firstBright, means.size());
    EXPECT_GT(firstBright, 5u);  // the first second was recorded at the old level
    for (size_t i = 0; i < firstBright; ++i) EXPECT_NEAR(means[i], before, 5.0) << "frame " << i;
    for (size_t i = firstBright; i < means.size(); ++i)
        EXPECT_GT(means[i], before + 15.0) << "frame " << i;
}
