// How a chosen size, a user-defined size and a frame rate reach the device's pins.
#include "engine/VideoFormats.h"

#include <gtest/gtest.h>

#include "tests/engine/VideoFormatTestDevices.h"

using namespace format_test;

namespace {

const BITMAPINFOHEADER& Header(const AM_MEDIA_TYPE& type) { return type.VideoInfo()->bmiHeader; }

TEST(VideoFormatApply, FormatSizeGoesToCaptureAndPreview) {
    unsetenv("ORVANTA_DEVICES");
    ComPtr<IBaseFilter> camera = BindVideoDevice("Orvanta Virtual Camera");
    ASSERT_TRUE(camera);
    EXPECT_EQ(ApplyFormatSize(camera.Get(), 352, 288), S_OK);
    for (const char* pin : {"Capture", "Preview"}) {
        AM_MEDIA_TYPE type = CurrentFormat(camera.Get(), pin);
        ASSERT_TRUE(type.VideoInfo()) << pin;
        EXPECT_EQ(Header(type).biWidth, 352) << pin;
        EXPECT_EQ(Header(type).biHeight, 288) << pin;
        // Buffers are sized from the image size: it follows the new size.
        EXPECT_EQ(Header(type).biSizeImage, 352u * 288u * 3u) << pin;
        EXPECT_EQ(type.lSampleSize, 352u * 288u * 3u) << pin;
    }
    // A size off the pin's steps is refused by the device; the result says so.
    EXPECT_LT(ApplyFormatSize(camera.Get(), 353, 288), 0);
    EXPECT_EQ(Header(CurrentFormat(camera.Get(), "Capture")).biWidth, 352);
}

TEST(VideoFormatApply, FormatSizeNeedsACaptureConfiguration) {
    EXPECT_EQ(ApplyFormatSize(nullptr, 320, 240), E_POINTER);
    auto previewOnly = MakeCom<FakeFormatDevice>(
        std::vector<FakeCapability>{},
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_RGB24, 160, 120, 640, 480, 8, 8)}, true);
    EXPECT_EQ(ApplyFormatSize(previewOnly.Get(), 320, 240), E_POINTER);
    EXPECT_EQ(previewOnly->Preview()->setFormatCalls, 0);

    // Without a preview pin only the capture pin is set, and its result is the answer.
    auto captureOnly = MakeCom<FakeFormatDevice>(
        std::vector<FakeCapability>{ScalingCapability(MEDIASUBTYPE_YUY2, 160, 120, 640, 480, 8, 8)},
        std::vector<FakeCapability>{}, false);
    EXPECT_EQ(ApplyFormatSize(captureOnly.Get(), 320, 240), S_OK);
    EXPECT_EQ(captureOnly->Capture()->setFormatCalls, 1);
    EXPECT_EQ(Header(captureOnly->Capture()->format_).biWidth, 320);
    EXPECT_EQ(Header(captureOnly->Capture()->format_).biSizeImage, 320u * 240u * 2u);

    // A current format that is not a video info block is left alone: nothing was set.
    captureOnly->Capture()->format_.formattype = FORMAT_VideoInfo2;
    EXPECT_EQ(ApplyFormatSize(captureOnly.Get(), 352, 288), E_FAIL);
    EXPECT_EQ(captureOnly->Capture()->setFormatCalls, 1);
}

// A camera with three scalable capture capabilities, and a decoder reporting `standard`.
void UseUserFormatCamera(const char* standard, const char* formats) {
    std::string json = std::string(R"({"devices": [{"name": "Cam", "kind": "video", "capture": [)") + formats + "]";
    if (standard) json += std::string(R"(, "decoder": {"tvFormats": [")") + standard + R"("], "tvFormat": ")" + standard + "\"}";
    json += "}]}";
    UseDevices(json);
}

constexpr const char* kRankedFormats =
    R"({"format": "YUY2", "minWidth": 160, "minHeight": 120, "maxWidth": 720, "maxHeight": 576,
        "minFrameRate": 5, "maxFrameRate": 60},
       {"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 720, "maxHeight": 576,
        "minFrameRate": 5, "maxFrameRate": 60},
       {"format": "RGB32", "minWidth": 160, "minHeight": 120, "maxWidth": 720, "maxHeight": 576,
        "minFrameRate": 5, "maxFrameRate": 60},
       {"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 720, "maxHeight": 576,
        "minFrameRate": 5, "maxFrameRate": 60})";

TEST(VideoFormatApply, UserFormatTakesTheBestRankedSubtypeAndTheStandardsInterval) {
    struct Case {
        const char* standard;
        REFERENCE_TIME interval;
    };
    for (const Case& c : {Case{"NTSC_M", 333667}, Case{"NTSC_433", 333667}, Case{"PAL_B", 400000},
                          Case{"PAL_N_COMBO", 400000}, Case{"SECAM_L", 400000}, Case{nullptr, 400000}}) {
        SCOPED_TRACE(c.standard ? c.standard : "no decoder");
        UseUserFormatCamera(c.standard, kRankedFormats);
        ComPtr<IBaseFilter> camera = BindVideoDevice("Cam");
        ASSERT_TRUE(camera);
        SelectUserFormat(NewBuilder(nullptr).Get(), camera.Get(), 352, 288);
        AM_MEDIA_TYPE type = CurrentFormat(camera.Get(), "Capture");
        EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB32);
        EXPECT_EQ(Header(type).biWidth, 352);
        EXPECT_EQ(Header(type).biHeight, 288);
        EXPECT_EQ(Header(type).biSizeImage, 352u * 32u * 288u / 8u);
        EXPECT_EQ(type.VideoInfo()->AvgTimePerFrame, c.interval);
    }
}

TEST(VideoFormatApply, UserFormatRanksTheFirstOfEqualSubtypes) {
    std::vector<FakeCapability> caps = {ScalingCapability(MEDIASUBTYPE_I420, 160, 120, 640, 480, 8, 8),
                                        ScalingCapability(MEDIASUBTYPE_UYVY, 160, 120, 640, 480, 8, 8),
                                        ScalingCapability(MEDIASUBTYPE_YUY2, 160, 120, 640, 480, 8, 8),
                                        ScalingCapability(MEDIASUBTYPE_YUY2, 160, 120, 320, 240, 8, 8)};
    auto device = MakeCom<FakeFormatDevice>(caps, std::vector<FakeCapability>{}, false);
    SelectUserFormat(nullptr, device.Get(), 320, 240);
    const AM_MEDIA_TYPE& set = device->Capture()->format_;
    EXPECT_EQ(device->Capture()->setFormatCalls, 1);
    EXPECT_EQ(set.subtype, MEDIASUBTYPE_YUY2);
    // The bit rate is left as the capability had it: it tells the two YUY2 capabilities apart.
    EXPECT_EQ(set.VideoInfo()->dwBitRate, caps[2].type.VideoInfo()->dwBitRate);
    EXPECT_NE(caps[2].type.VideoInfo()->dwBitRate, caps[3].type.VideoInfo()->dwBitRate);
    EXPECT_EQ(Header(set).biWidth, 320);
    EXPECT_EQ(Header(set).biSizeImage, 320u * 16u * 240u / 8u);
    EXPECT_EQ(set.lSampleSize, Header(set).biSizeImage);
    EXPECT_EQ(set.VideoInfo()->AvgTimePerFrame, 400000);
}

TEST(VideoFormatApply, UserFormatFallsBackToTheCurrentFormat) {
    // Nothing ranked: the pin's current format is resized.
    UseUserFormatCamera(nullptr, R"({"format": "I420", "minWidth": 160, "minHeight": 120, "maxWidth": 720,
                                     "maxHeight": 576, "granularityX": 2, "granularityY": 2,
                                     "minFrameRate": 5, "maxFrameRate": 60})");
    ComPtr<IBaseFilter> camera = BindVideoDevice("Cam");
    ASSERT_TRUE(camera);
    SelectUserFormat(NewBuilder(nullptr).Get(), camera.Get(), 320, 240);
    AM_MEDIA_TYPE type = CurrentFormat(camera.Get(), "Capture");
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_I420);
    EXPECT_EQ(Header(type).biWidth, 320);
    EXPECT_EQ(Header(type).biSizeImage, 320u * 12u * 240u / 8u);

    // An unranked capability and a current format that is no video info block: nothing is set.
    auto empty = MakeCom<FakeFormatDevice>(std::vector<FakeCapability>{FixedCapability(MEDIASUBTYPE_I420, 8, 8)},
                                           std::vector<FakeCapability>{}, false);
    empty->Capture()->format_.formattype = FORMAT_WaveFormatEx;
    SelectUserFormat(nullptr, empty.Get(), 320, 240);
    EXPECT_EQ(empty->Capture()->setFormatCalls, 0);
}

TEST(VideoFormatApply, UserFormatImageSizeCoversPaddedRows) {
    // 321 RGB24 pixels make 963 bytes, stored as 964: the packed size would be short of a frame.
    UseUserFormatCamera(nullptr, R"({"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 720,
                                     "maxHeight": 576, "minFrameRate": 5, "maxFrameRate": 60})");
    ComPtr<IBaseFilter> camera = BindVideoDevice("Cam");
    SelectUserFormat(NewBuilder(nullptr).Get(), camera.Get(), 321, 241);
    AM_MEDIA_TYPE type = CurrentFormat(camera.Get(), "Capture");
    EXPECT_EQ(Header(type).biWidth, 321);
    EXPECT_EQ(Header(type).biSizeImage, 964u * 241u);
}

// A card whose fixed capabilities allow 5 to 30 frames per second.
ComPtr<IBaseFilter> RateCard() {
    UseDevices(R"({"devices": [{"name": "Card", "kind": "video", "capture": [
        {"format": "YUY2", "width": 720, "height": 576, "frameRate": 25, "minFrameRate": 5, "maxFrameRate": 30},
        {"format": "RGB24", "width": 320, "height": 240, "frameRate": 25, "minFrameRate": 5, "maxFrameRate": 30}]}]})");
    return BindVideoDevice("Card");
}

TEST(VideoFormatApply, ChosenCapabilityGetsTheFrameRate) {
    ComPtr<IBaseFilter> card = RateCard();
    ASSERT_TRUE(card);
    ComPtr<IAMStreamConfig> config = PinConfig(card.Get(), "Capture");
    EXPECT_EQ(ApplyCapability(config.Get(), 0, 10), S_OK);
    AM_MEDIA_TYPE type = CurrentFormat(card.Get(), "Capture");
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(type.VideoInfo()->AvgTimePerFrame, 1000000);

    // Integer division: 10000000 / 30 = 333333.
    EXPECT_EQ(ApplyCapability(config.Get(), 1, 30), S_OK);
    type = CurrentFormat(card.Get(), "Capture");
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(type.VideoInfo()->AvgTimePerFrame, 333333);

    // A rate outside the device's range is the device's refusal.
    EXPECT_LT(ApplyCapability(config.Get(), 0, 1000), 0);
}

TEST(VideoFormatApply, FrameRateOfZeroOrBelowKeepsTheCapabilitysInterval) {
    ComPtr<IBaseFilter> card = RateCard();
    ComPtr<IAMStreamConfig> config = PinConfig(card.Get(), "Capture");
    for (int32_t rate : {0, -1, -25}) {
        EXPECT_EQ(ApplyCapability(config.Get(), 1, rate), S_OK) << rate;
        EXPECT_EQ(CurrentFormat(card.Get(), "Capture").VideoInfo()->AvgTimePerFrame, 400000) << rate;
        ASSERT_EQ(ApplyCapability(config.Get(), 0, 10), S_OK);  // move away before the next round
    }
}

TEST(VideoFormatApply, NoIndexTakesTheLastCapabilityAsItIs) {
    ComPtr<IBaseFilter> card = RateCard();
    ComPtr<IAMStreamConfig> config = PinConfig(card.Get(), "Capture");
    EXPECT_EQ(ApplyCapability(config.Get(), -1, 10), S_OK);
    AM_MEDIA_TYPE type = CurrentFormat(card.Get(), "Capture");
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(type.VideoInfo()->AvgTimePerFrame, 400000);  // the rate applies to a chosen index only

    EXPECT_EQ(ApplyCapability(config.Get(), 2, 10), E_INVALIDARG);
    EXPECT_EQ(ApplyCapability(config.Get(), -2, 10), E_INVALIDARG);
    EXPECT_EQ(ApplyCapability(nullptr, 0, 10), E_POINTER);
    auto none = MakeCom<FakeFormatDevice>(std::vector<FakeCapability>{}, std::vector<FakeCapability>{}, true);
    EXPECT_EQ(ApplyCapability(none->Preview(), -1, 10), S_FALSE);
    EXPECT_EQ(none->Preview()->setFormatCalls, 0);
}

}  // namespace
