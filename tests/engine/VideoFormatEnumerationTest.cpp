// The VideoFormats list of a device and its scalable rule, over virtual devices and hand-made
// capability blocks.
#include "engine/VideoFormats.h"

#include <gtest/gtest.h>

#include "tests/engine/VideoFormatTestDevices.h"

using namespace format_test;

namespace {

std::vector<std::string> Names(const VideoFormatList& list) {
    std::vector<std::string> names;
    for (const auto& entry : list) names.push_back(entry.name);
    return names;
}

// A camera whose preview pin scales between the given sizes in steps of 8; its capture pin has
// one fixed format.
std::string CameraJson(const char* previewRange) {
    return std::string(R"({"devices": [{"name": "Cam", "kind": "video",
        "capture": [{"format": "RGB24", "width": 640, "height": 480}],
        "preview": [)") +
           previewRange + "]}]}";
}

TEST(VideoFormatEnumeration, ScalablePreviewListsTheFixedSizesPerCapability) {
    UseDevices(CameraJson(
        R"({"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 640, "maxHeight": 480,
            "granularityX": 8, "granularityY": 8},
           {"format": "YUY2", "minWidth": 160, "minHeight": 120, "maxWidth": 640, "maxHeight": 480,
            "granularityX": 8, "granularityY": 8})"));
    ComPtr<IBaseFilter> camera = BindVideoDevice("Cam");
    ASSERT_TRUE(camera);
    ComPtr<ICaptureGraphBuilder2> builder = NewBuilder(nullptr);

    VideoFormatList formats;
    EXPECT_TRUE(EnumerateVideoFormats(formats, builder.Get(), camera.Get(), -1));
    ASSERT_EQ(formats.size(), 30u);
    EXPECT_EQ(formats[0].name, "RGB24 (160x120)");
    EXPECT_EQ(formats[4].name, "RGB24 (320x240)");
    EXPECT_EQ(formats[14].name, "RGB24 (720x576)");
    EXPECT_EQ(formats[15].name, "YUY2 (160x120)");
    EXPECT_EQ(formats[29].name, "YUY2 (720x576)");
    // Sizes beyond the pin's range are offered too; every entry claims 24 bits.
    EXPECT_EQ(formats[13].width, 720);
    EXPECT_EQ(formats[13].height, 480);
    for (size_t i = 0; i < formats.size(); ++i) {
        EXPECT_EQ(formats[i].bitCount, 24) << i;
        EXPECT_EQ(formats[i].subtype, i < 15 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_YUY2) << i;
    }

    // Built again at the next start: the list is replaced, not extended.
    EXPECT_TRUE(EnumerateVideoFormats(formats, builder.Get(), camera.Get(), 3));
    EXPECT_EQ(formats.size(), 30u);
}

TEST(VideoFormatEnumeration, EightSizesAreNotYetScalable) {
    // From 160x120 in steps of 8 with the 4:3 ratio, every 32nd pixel of width counts: 320, 352,
    // ..., 544 are eight sizes; a range up to 576x432 has nine.
    UseDevices(CameraJson(R"({"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 544,
                              "maxHeight": 408, "granularityX": 8, "granularityY": 8})"));
    VideoFormatList formats;
    EXPECT_FALSE(EnumerateVideoFormats(formats, NewBuilder(nullptr).Get(), BindVideoDevice("Cam").Get(), -1));
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"RGB24 (640x480)"}));

    UseDevices(CameraJson(R"({"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 576,
                              "maxHeight": 432, "granularityX": 8, "granularityY": 8})"));
    EXPECT_TRUE(EnumerateVideoFormats(formats, NewBuilder(nullptr).Get(), BindVideoDevice("Cam").Get(), -1));
    EXPECT_EQ(formats.size(), 15u);
}

TEST(VideoFormatEnumeration, FixedCapsCardListsEveryCapability) {
    unsetenv("ORVANTA_DEVICES");  // the built-in capture card
    ComPtr<IBaseFilter> card = BindVideoDevice("Orvanta Virtual Capture Card");
    ASSERT_TRUE(card);
    ComPtr<ICaptureGraphBuilder2> builder = NewBuilder(nullptr);

    VideoFormatList formats;
    EXPECT_FALSE(EnumerateVideoFormats(formats, builder.Get(), card.Get(), -1));
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"YUY2 (720x576)", "YUY2 (720x480)", "RGB24 (640x480)",
                                                        "RGB24 (320x240)"}));
    EXPECT_EQ(formats[0].bitCount, 16);
    EXPECT_EQ(formats[0].subtype, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(formats[3].width, 320);
    EXPECT_EQ(formats[3].height, 240);
    EXPECT_EQ(formats[3].bitCount, 24);
    EXPECT_EQ(formats[3].subtype, MEDIASUBTYPE_RGB24);
    // -1 applies nothing: the capture pin keeps its first format.
    AM_MEDIA_TYPE current = CurrentFormat(card.Get(), "Capture");
    EXPECT_EQ(current.subtype, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(current.VideoInfo()->bmiHeader.biWidth, 720);

    // A chosen index is set on the capture pin while listing.
    EXPECT_FALSE(EnumerateVideoFormats(formats, builder.Get(), card.Get(), 2));
    EXPECT_EQ(formats.size(), 4u);
    current = CurrentFormat(card.Get(), "Capture");
    EXPECT_EQ(current.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(current.VideoInfo()->bmiHeader.biWidth, 640);
    EXPECT_EQ(current.VideoInfo()->bmiHeader.biHeight, 480);
}

TEST(VideoFormatEnumeration, CompressedFormatsAreNamedByTheirFourCC) {
    UseDevices(R"({"devices": [{"name": "Webcam", "kind": "video",
        "capture": [{"format": "MJPG", "width": 1280, "height": 720},
                    {"format": "I420", "width": 352, "height": 288},
                    {"format": "RGB32", "width": 320, "height": 240},
                    {"format": "MJPG", "width": 1280, "height": 720},
                    {"format": "RGB565", "width": 320, "height": 240}]}]})");
    ComPtr<IBaseFilter> webcam = BindVideoDevice("Webcam");
    ASSERT_TRUE(webcam);
    VideoFormatList formats;
    // No preview pin: straight to the capture pin's list.
    EXPECT_FALSE(EnumerateVideoFormats(formats, NewBuilder(nullptr).Get(), webcam.Get(), -1));
    // Identical names may repeat.
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"MJPG (1280x720)", "I420 (352x288)", "RGB32 (320x240)",
                                                        "MJPG (1280x720)", "RGB565 (320x240)"}));
    EXPECT_EQ(formats[1].bitCount, 12);
    EXPECT_EQ(formats[1].subtype, MEDIASUBTYPE_I420);
}

TEST(VideoFormatEnumeration, WithoutABuilderTheCapturePinIsFoundByItsCategory) {
    unsetenv("ORVANTA_DEVICES");
    VideoFormatList formats = {{"stale", 1, 1, 1, GUID_NULL}};
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, BindVideoDevice("Orvanta Virtual Capture Card").Get(), -1));
    EXPECT_EQ(formats.size(), 4u);
}

TEST(VideoFormatEnumeration, StreamConfigsComeFromThePinCategories) {
    unsetenv("ORVANTA_DEVICES");
    ComPtr<IBaseFilter> card = BindVideoDevice("Orvanta Virtual Capture Card");
    ASSERT_TRUE(card);
    StreamConfigs configs = FindStreamConfigs(card.Get());
    EXPECT_EQ(configs.capture.Get(), PinConfig(card.Get(), "Capture").Get());
    EXPECT_EQ(configs.preview.Get(), PinConfig(card.Get(), "Preview").Get());
    ASSERT_TRUE(configs.analogInput);
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    configs.analogInput->QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_INPUT);

    // A device without a preview pin or analog input has only the capture configuration.
    auto fake = MakeCom<FakeFormatDevice>(std::vector<FakeCapability>{FixedCapability(MEDIASUBTYPE_RGB24, 320, 240)},
                                          std::vector<FakeCapability>{}, false);
    configs = FindStreamConfigs(fake.Get());
    EXPECT_TRUE(configs.capture);
    EXPECT_FALSE(configs.preview);
    EXPECT_FALSE(configs.analogInput);
    configs = FindStreamConfigs(nullptr);
    EXPECT_FALSE(configs.capture);
}

// Capability blocks no device description can produce.
std::vector<FakeCapability> CaptureList() {
    return {FixedCapability(MEDIASUBTYPE_RGB24, 320, 240), FixedCapability(MEDIASUBTYPE_YUY2, 640, 480)};
}

TEST(VideoFormatEnumeration, ZeroGranularityNeitherLoopsNorDivides) {
    // No steps across: a single width is looked at, so the pin does not count as scalable.
    auto noStepX = MakeCom<FakeFormatDevice>(
        CaptureList(),
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, 0, 8)}, true);
    VideoFormatList formats;
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, noStepX.Get(), -1));
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"RGB24 (320x240)", "YUY2 (640x480)"}));

    // No steps down: every height passes, the widths still step by 8 (41 sizes).
    auto noStepY = MakeCom<FakeFormatDevice>(
        CaptureList(),
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, 8, 0)}, true);
    EXPECT_TRUE(EnumerateVideoFormats(formats, nullptr, noStepY.Get(), -1));
    EXPECT_EQ(formats.size(), 15u);

    // Negative steps are no steps either.
    auto negative = MakeCom<FakeFormatDevice>(
        CaptureList(),
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, -8, -8)}, true);
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, negative.Get(), -1));
    EXPECT_EQ(formats.size(), 2u);
}

TEST(VideoFormatEnumeration, ZeroMinimumWidthGivesNoRatioAndNoSizes) {
    auto device = MakeCom<FakeFormatDevice>(
        CaptureList(),
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 0, 120, 640, 480, 8, 8),
                                    ScalingCapability(MEDIASUBTYPE_YUY2, 0, 0, 1920, 1080, 8, 8)},
        true);
    VideoFormatList formats;
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, device.Get(), 1));
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"RGB24 (320x240)", "YUY2 (640x480)"}));
    EXPECT_EQ(device->Capture()->setFormatCalls, 1);
    EXPECT_EQ(device->Capture()->format_.subtype, MEDIASUBTYPE_YUY2);

    // Other capabilities still count: one good one is enough.
    auto mixed = MakeCom<FakeFormatDevice>(
        CaptureList(),
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 0, 120, 640, 480, 8, 8),
                                    ScalingCapability(MEDIASUBTYPE_YUY2, 160, 120, 640, 480, 8, 8)},
        true);
    EXPECT_TRUE(EnumerateVideoFormats(formats, nullptr, mixed.Get(), -1));
    EXPECT_EQ(formats.size(), 30u);
    EXPECT_EQ(formats[0].name, "RGB24 (160x120)");
    EXPECT_EQ(formats[15].name, "YUY2 (160x120)");
}

TEST(VideoFormatEnumeration, RefusedCapabilitiesAndNonVideoTypesAreSkipped) {
    std::vector<FakeCapability> preview = {ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, 8, 8),
                                           ScalingCapability(MEDIASUBTYPE_YUY2, 160, 120, 640, 480, 8, 8),
                                           ScalingCapability(MEDIASUBTYPE_UYVY, 160, 120, 640, 480, 8, 8)};
    preview[0].refused = true;
    preview[1].type.majortype = MEDIATYPE_Audio;  // counted nowhere, listed nowhere
    auto device = MakeCom<FakeFormatDevice>(CaptureList(), preview, true);
    VideoFormatList formats;
    EXPECT_TRUE(EnumerateVideoFormats(formats, nullptr, device.Get(), -1));
    ASSERT_EQ(formats.size(), 15u);
    EXPECT_EQ(formats[0].name, "UYVY (160x120)");

    std::vector<FakeCapability> capture = CaptureList();
    capture[0].refused = true;
    auto fixed = MakeCom<FakeFormatDevice>(capture, std::vector<FakeCapability>{}, false);
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, fixed.Get(), 0));
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"YUY2 (640x480)"}));
    EXPECT_EQ(fixed->Capture()->setFormatCalls, 0);  // the chosen one could not be read
}

TEST(VideoFormatEnumeration, ShortCapabilityBlocksAreReadSafely) {
    // A pin that says its blocks have 16 bytes: the sizes read as 0, nothing is counted.
    auto device = MakeCom<FakeFormatDevice>(
        CaptureList(), std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, 8, 8)},
        true, 16);
    VideoFormatList formats;
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, device.Get(), -1));
    EXPECT_EQ(Names(formats), (std::vector<std::string>{"RGB24 (0x0)", "YUY2 (0x0)"}));
    EXPECT_EQ(formats[1].width, 640);

    // A block size of a gigabyte is no answer to allocate for: nothing is listed.
    auto broken = MakeCom<FakeFormatDevice>(
        CaptureList(), std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, 8, 8)},
        true, 1 << 30);
    EXPECT_FALSE(EnumerateVideoFormats(formats, nullptr, broken.Get(), 0));
    EXPECT_TRUE(formats.empty());
    EXPECT_EQ(broken->Capture()->setFormatCalls, 0);
}

TEST(VideoFormatEnumeration, NoCaptureConfigurationLeavesAnEmptyList) {
    auto device = MakeCom<FakeFormatDevice>(std::vector<FakeCapability>{}, std::vector<FakeCapability>{}, false);
    VideoFormatList formats = {{"old", 1, 1, 1, GUID_NULL}};
    EXPECT_FALSE(EnumerateVideoFormats(formats, NewBuilder(nullptr).Get(), device.Get(), -1));
    EXPECT_TRUE(formats.empty());
}

}  // namespace
