#include "platform/devices/virtual/DeviceListParser.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/devices/VideoSubtypes.h"
#include "platform/devices/virtual/VirtualDeviceSet.h"
#include "platform/dshow/Uuids.h"
#include "tests/support/TestEnvironment.h"

namespace {

DeviceListResult Parse(const std::string& json) { return ParseDeviceList(json, "devices.json"); }

// The error for a document with one video device whose body is `body`.
std::string VideoError(const std::string& body) {
    return Parse(R"({"devices": [{"name": "Cam", )" + body + "}]}").error;
}

TEST(DeviceListParser, BuiltInSetMatchesTheDesign) {
    DeviceListResult result = ParseDeviceList(BuiltInVirtualDevicesJson(), "built-in");
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.devices.size(), 3u);

    const DeviceDescription& camera = result.devices[0];
    EXPECT_EQ(camera.name, "Orvanta Virtual Camera");
    ASSERT_TRUE(camera.previewCaps.has_value());
    ASSERT_EQ(camera.previewCaps->size(), 2u);
    const VideoCapability& rgb = (*camera.previewCaps)[0];
    EXPECT_TRUE(rgb.IsScalable());
    EXPECT_EQ(rgb.subtype, VideoSubtypeByName("RGB24")->subtype);
    EXPECT_EQ(std::tie(rgb.minWidth, rgb.minHeight, rgb.maxWidth, rgb.maxHeight), std::make_tuple(160, 120, 1920, 1080));
    EXPECT_EQ(std::tie(rgb.granularityX, rgb.granularityY), std::make_tuple(8, 8));
    EXPECT_EQ((*camera.previewCaps)[1].subtype, VideoSubtypeByName("YUY2")->subtype);
    EXPECT_FALSE(camera.procAmp.empty());
    EXPECT_FALSE(camera.cameraControl.empty());

    const DeviceDescription& card = result.devices[1];
    EXPECT_EQ(card.name, "Orvanta Virtual Capture Card");
    ASSERT_EQ(card.captureCaps.size(), 4u);
    EXPECT_FALSE(card.captureCaps[0].IsScalable());
    EXPECT_EQ(std::tie(card.captureCaps[1].maxWidth, card.captureCaps[1].maxHeight), std::make_tuple(720, 480));
    EXPECT_EQ(card.captureCaps[3].bitCount, 24);
    ASSERT_TRUE(card.crossbar && card.tuner && card.decoder);
    ASSERT_EQ(card.crossbar->inputs.size(), 5u);
    EXPECT_EQ(card.crossbar->inputs[0].physicalType, PhysConn_Video_Tuner);
    EXPECT_EQ(card.crossbar->inputs[0].related, 3);  // its sound comes from the audio tuner
    EXPECT_EQ(card.crossbar->inputs[1].related, 4);  // composite carries line sound
    EXPECT_EQ(card.crossbar->outputs[1].physicalType, PhysConn_Audio_AudioDecoder);
    EXPECT_EQ(card.crossbar->allowed[0], (std::vector<LONG>{0, 1, 2}));
    EXPECT_EQ(card.crossbar->allowed[1], (std::vector<LONG>{3, 4}));

    const DeviceDescription& mic = result.devices[2];
    EXPECT_EQ(mic.kind, DeviceKind::Audio);
    ASSERT_EQ(mic.inputLines.size(), 4u);
    EXPECT_EQ(mic.inputLines[0].name, "Microphone");
    EXPECT_TRUE(mic.inputLines[0].enabled);
    EXPECT_FALSE(mic.inputLines[1].enabled);
    EXPECT_EQ(mic.inputLines[3].name, "Stereo Mix");
}

TEST(DeviceListParser, ExpressesTheEdgeCasesTestsNeed) {
    DeviceListResult result = Parse(R"({"devices": [
      {"name": "Twin", "capture": [{"format": "RGB24", "width": 320, "height": 240}]},
      {"name": "Twin", "capture": [{"format": "YUY2", "width": 640, "height": 480}], "failBind": true},
      {"name": "Tuner", "capture": [{"format": "YUY2", "width": 720, "height": 576, "frameRate": 25}],
       "crossbar": {"inputs": ["Video Composite", "S-Video", "Video Tuner", "Audio Line", "Audio Tuner"],
                    "outputs": ["Video Decoder", "Audio Decoder"], "routes": [2, -1]},
       "tuner": {"channelMin": 1, "channelMax": 5,
                 "channels": [{"number": 1, "signal": "no"}, {"number": 2, "signal": "unknown", "autoTune": true},
                              {"number": 3, "signal": "unknown"}]},
       "droppedFrames": {"every": 7}},
      {"name": "Line", "kind": "audio", "lines": [{"name": "Mic", "mixLevel": 0.25}, {"name": "Line", "enabled": true}]}
    ]})");
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.devices.size(), 4u);
    EXPECT_EQ(result.devices[0].name, result.devices[1].name);
    EXPECT_FALSE(result.devices[0].failsToBind);
    EXPECT_TRUE(result.devices[1].failsToBind);
    EXPECT_FALSE(result.devices[0].previewCaps.has_value());

    const DeviceDescription& tv = result.devices[2];
    EXPECT_EQ(tv.captureCaps[0].defaultFrameInterval, 400000);
    EXPECT_EQ(tv.crossbar->routes, (std::vector<LONG>{2, -1}));
    ASSERT_EQ(tv.tuner->channels.size(), 3u);
    EXPECT_EQ(tv.tuner->channels[0].signal, SignalState::Absent);
    EXPECT_EQ(tv.tuner->channels[1].signal, SignalState::Unmeasurable);
    EXPECT_TRUE(tv.tuner->channels[1].autoTuneFinds);
    EXPECT_FALSE(tv.tuner->channels[2].autoTuneFinds);
    EXPECT_EQ(tv.tuner->channel, 1);
    EXPECT_EQ(tv.dropEvery, 7);

    const DeviceDescription& line = result.devices[3];
    EXPECT_DOUBLE_EQ(line.inputLines[0].mixLevel, 0.25);
    EXPECT_TRUE(line.inputLines[1].enabled);
}

TEST(DeviceListParser, UnplugAfterIsSecondsOfEveryRunForCamerasAndMicrophones) {
    DeviceListResult result = Parse(R"({"devices": [
      {"name": "Cam", "capture": [{"format": "RGB24", "width": 320, "height": 240}], "unplugAfter": 1.25},
      {"name": "Mic", "kind": "audio", "unplugAfter": 0.5},
      {"name": "Stays", "kind": "audio"}]})");
    ASSERT_TRUE(result.Ok()) << result.error;
    EXPECT_EQ(result.devices[0].unplugAfter, 12500000);
    EXPECT_EQ(result.devices[1].unplugAfter, 5000000);
    EXPECT_EQ(result.devices[2].unplugAfter, 0);
    for (const char* bad : {"0", "-1", "\"soon\"", "true"})
        EXPECT_EQ(Parse(std::string(R"({"devices": [{"name": "Mic", "kind": "audio", "unplugAfter": )") + bad + "}]}")
                      .error.rfind("devices.json: devices[0].unplugAfter: ", 0),
                  0u)
            << bad;
}

TEST(DeviceListParser, ControlRangesAndFlags) {
    DeviceListResult result = Parse(R"({"devices": [{"name": "Cam",
      "capture": [{"format": "RGB24", "width": 320, "height": 240}],
      "procAmp": [{"property": "Gain", "min": 1, "max": 9, "step": 2, "default": 5, "flags": ["auto"]}],
      "cameraControl": [{"property": "Iris", "min": 10, "max": 80, "flags": 3, "value": 20, "valueFlags": ["auto"]}]}]})");
    ASSERT_TRUE(result.Ok()) << result.error;
    const ControlDescription& gain = result.devices[0].procAmp.at(0);
    EXPECT_EQ(gain.property, VideoProcAmp_Gain);
    EXPECT_EQ(std::tie(gain.min, gain.max, gain.step, gain.defaultValue, gain.capsFlags, gain.value),
              std::make_tuple(1, 9, 2, 5, 1, 5));
    EXPECT_EQ(gain.valueFlags, 1);  // an auto-only control is in auto mode
    const ControlDescription& iris = result.devices[0].cameraControl.at(0);
    EXPECT_EQ(iris.property, CameraControl_Iris);
    EXPECT_EQ(std::tie(iris.capsFlags, iris.value, iris.valueFlags), std::make_tuple(3, 20, 1));
}

TEST(DeviceListParser, ErrorsNameTheFileAndTheProblem) {
    EXPECT_EQ(Parse("{\"devices\": [").error.rfind("devices.json: not valid JSON (at byte", 0), 0u);
    EXPECT_EQ(Parse("[]").error, "devices.json: document: must be an object");
    EXPECT_EQ(Parse("{}").error, "devices.json: document: missing \"devices\"");
    EXPECT_EQ(Parse(R"({"devices": [{"kind": "video"}]})").error, "devices.json: devices[0]: missing \"name\"");
    EXPECT_EQ(Parse(R"({"devices": [{"name": "A", "kind": "radio"}]})").error,
              "devices.json: devices[0].kind: must be \"video\" or \"audio\"");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 0, "height": 10}])"),
              "devices.json: devices[0].capture[0].width: must be between 1 and 16384");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "XRGB", "width": 8, "height": 8}])"),
              "devices.json: devices[0].capture[0].format: unknown video format \"XRGB\"");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "minWidth": 80, "minHeight": 60, "maxWidth": 40, "maxHeight": 60}])"),
              "devices.json: devices[0].capture[0]: \"minWidth\" is above \"maxWidth\"");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8, "witdh": 8}])"),
              "devices.json: devices[0].capture[0].witdh: unknown key");
    EXPECT_EQ(VideoError(R"("capture": [])"), "devices.json: devices[0].capture: needs at least one capability");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8}], "tuner": {})"),
              "devices.json: devices[0].tuner: needs a crossbar with a \"Video Tuner\" input");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8}],
               "crossbar": {"inputs": ["Video Composite", "Audio Line"], "outputs": ["Video Decoder"], "routes": [1]})"),
              "devices.json: devices[0].crossbar.routes[0]: input 1 cannot be routed to this output");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8}],
               "crossbar": {"inputs": ["Video Compost"], "outputs": ["Video Decoder"]})"),
              "devices.json: devices[0].crossbar.inputs[0]: unknown connector \"Video Compost\"");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8}],
               "procAmp": [{"property": "Gain"}, {"property": "Gain"}])"),
              "devices.json: devices[0].procAmp[1].property: \"Gain\" is listed twice");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8}],
               "procAmp": [{"property": "Gain", "min": 5, "max": 10, "value": 11}])"),
              "devices.json: devices[0].procAmp[0].value: must be between 5 and 10");
    EXPECT_EQ(VideoError(R"("capture": [{"format": "RGB24", "width": 8, "height": 8}], "cameraControl": [{"property": "Brightness"}])"),
              "devices.json: devices[0].cameraControl[0].property: unknown property \"Brightness\"");
    EXPECT_EQ(Parse(R"({"devices": [{"name": "M", "kind": "audio", "lines": [{"name": "Mic", "mixLevel": 2}]}]})").error,
              "devices.json: devices[0].lines[0].mixLevel: must be between 0.000000 and 1.000000");
}

TEST(DeviceListParser, EnvironmentFileReplacesTheBuiltInSet) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(file) << R"({"devices": [{"name": "Only", "capture": [{"format": "RGB24", "width": 64, "height": 48}]}]})";
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
    VirtualDeviceSet set = LoadVirtualDevices();
    ASSERT_EQ(set.devices.size(), 1u);
    EXPECT_EQ(set.devices[0].name, "Only");

    std::ofstream(file, std::ios::trunc) << R"({"devices": [{"name": 5}]})";
    set = LoadVirtualDevices();
    EXPECT_TRUE(set.devices.empty());
    EXPECT_EQ(set.error, file.string() + ": devices[0].name: must be a string");

    setenv("ORVANTA_DEVICES", (file.string() + ".missing").c_str(), 1);
    EXPECT_EQ(LoadVirtualDevices().error, file.string() + ".missing: cannot be read");

    unsetenv("ORVANTA_DEVICES");
    EXPECT_EQ(LoadVirtualDevices().devices.size(), 3u);
}

TEST(DeviceListParser, EveryCutOfAGoodFileIsAnErrorNotACrash) {
    // Half-written files (an editor saving, a test writing) must come out as a message.
    std::string json = BuiltInVirtualDevicesJson();
    ASSERT_TRUE(Parse(json).Ok());
    for (size_t cut = 0; cut < json.size() - 1; cut += 7) {
        DeviceListResult result = Parse(json.substr(0, cut));
        ASSERT_FALSE(result.Ok()) << "cut at " << cut;
        EXPECT_EQ(result.error.rfind("devices.json: ", 0), 0u) << result.error;
        EXPECT_TRUE(result.devices.empty());
    }
}

TEST(DeviceListParser, BadFileLeavesTheEnumeratorEmptyAndSaysWhy) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "broken.json";
    std::ofstream(file) << R"({"devices": [{"name": "Cam", "capture": [{"format": "RGB24", "width": -4, "height": 8}]}]})";
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
    testing::internal::CaptureStderr();
    ComPtr<ICreateDevEnum> devices;
    ASSERT_EQ(CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IEnumMoniker> list;
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.ReleaseAndGetAddressOf(), 0), S_FALSE);
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, list.ReleaseAndGetAddressOf(), 0), S_FALSE);
    std::string said = testing::internal::GetCapturedStderr();
    // Said once, with the file and the place in it.
    std::string expected = file.string() + ": devices[0].capture[0].width: must be between 1 and 16384";
    EXPECT_NE(said.find(expected), std::string::npos) << said;
    EXPECT_EQ(said.find(expected), said.rfind(expected));
}

}  // namespace
