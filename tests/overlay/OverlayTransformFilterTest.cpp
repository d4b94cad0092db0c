#include "overlay/OverlayTransformFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "overlay/SharedOverlayText.h"
#include "tests/overlay/OverlayTestFrames.h"
#include "tests/overlay/OverlayTestSamples.h"

using namespace overlay_test;

namespace {
const LocalDateTime kMarch5{2026, 3, 5, 9, 4, 7};

ComPtr<OverlayTransformFilter> MakeFilter(LocalDateTime now = kMarch5) {
    return MakeCom<OverlayTransformFilter>([now] { return now; });
}

AM_MEDIA_TYPE Rgb24(int width, int height) { return MakeVideoType(MEDIASUBTYPE_RGB24, width, height, 333333); }

// Connects the filter's input pin to a stand-in upstream pin with `type`.
HRESULT ConnectInput(OverlayTransformFilter* filter, const AM_MEDIA_TYPE& type) {
    return filter->Input()->ReceiveConnection(MakeCom<UpstreamPin>().Get(), &type);
}

void HideEverything(IOverlayConfig* config) {
    config->SetShowText(0);
    config->SetShowImage(0);
    config->SetShowDate(0);
}

// One frame through Transform: the input filled from `frame`, the output's bytes returned in it.
HRESULT PassFrame(OverlayTransformFilter* filter, Frame& frame) {
    auto in = MakeCom<TestSample>(frame.bytes.size());
    std::memcpy(in->buffer.data(), frame.bytes.data(), frame.bytes.size());
    in->actual = static_cast<LONG>(frame.bytes.size());
    auto out = MakeCom<TestSample>(frame.bytes.size());
    std::fill(out->buffer.begin(), out->buffer.end(), 0xAB);
    HRESULT hr = filter->Transform(in.Get(), out.Get());
    std::memcpy(frame.bytes.data(), out->buffer.data(), frame.bytes.size());
    return hr;
}

Frame Striped(int width, int height) {
    Frame f = Frame::Filled(width, height, QColor(10, 20, 30));
    for (size_t i = 0; i < f.bytes.size(); ++i) f.bytes[i] = static_cast<uint8_t>(i * 7 + i / 97);
    return f;
}
}  // namespace

TEST(OverlayFilterMedia, AcceptsOnly24BitRgbWithAVideoInfoBlock) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE rgb24 = Rgb24(320, 240);
    EXPECT_EQ(filter->CheckInputType(&rgb24), S_OK);
    AM_MEDIA_TYPE rgb32 = MakeVideoType(MEDIASUBTYPE_RGB32, 320, 240);
    EXPECT_EQ(filter->CheckInputType(&rgb32), E_FAIL);
    AM_MEDIA_TYPE yuy2 = MakeVideoType(MEDIASUBTYPE_YUY2, 320, 240);
    EXPECT_EQ(filter->CheckInputType(&yuy2), E_FAIL);
    AM_MEDIA_TYPE audio = rgb24;
    audio.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(filter->CheckInputType(&audio), E_FAIL);
    AM_MEDIA_TYPE info2 = rgb24;
    info2.formattype = FORMAT_VideoInfo2;
    EXPECT_EQ(filter->CheckInputType(&info2), E_INVALIDARG);
    AM_MEDIA_TYPE truncated = rgb24;
    truncated.SetFormat(rgb24.pbFormat(), 40);
    EXPECT_EQ(filter->CheckInputType(&truncated), E_INVALIDARG);
    // Through the pin: a refused type does not connect.
    EXPECT_TRUE(FAILED(ConnectInput(filter.Get(), rgb32)));
    EXPECT_FALSE(filter->Input()->IsConnected());
    EXPECT_EQ(ConnectInput(filter.Get(), rgb24), S_OK);
}

TEST(OverlayFilterMedia, TransformNeedsIdenticalTypes) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE a = Rgb24(320, 240), b = Rgb24(320, 240), c = Rgb24(320, 180);
    EXPECT_EQ(filter->CheckTransform(&a, &b), S_OK);
    EXPECT_EQ(filter->CheckTransform(&a, &c), E_FAIL);
    b.subtype = MEDIASUBTYPE_RGB32;
    EXPECT_EQ(filter->CheckTransform(&a, &b), E_FAIL);
}

TEST(OverlayFilterMedia, OutputTypeIsTheInputTypeOnceConnected) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE out;
    EXPECT_EQ(filter->GetMediaType(0, &out), E_UNEXPECTED);
    EXPECT_EQ(filter->GetMediaType(-1, &out), E_UNEXPECTED);
    AM_MEDIA_TYPE in = Rgb24(640, 480);
    ASSERT_EQ(ConnectInput(filter.Get(), in), S_OK);
    EXPECT_EQ(filter->GetMediaType(-1, &out), E_INVALIDARG);
    EXPECT_EQ(filter->GetMediaType(1, &out), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(filter->GetMediaType(7, &out), VFW_S_NO_MORE_ITEMS);
    ASSERT_EQ(filter->GetMediaType(0, &out), S_OK);
    EXPECT_TRUE(out == in);
}

TEST(OverlayFilterMedia, BufferSizeFollowsTheInputAllocator) {
    auto filter = MakeFilter();
    auto output = MakeCom<StingyAllocator>();
    ALLOCATOR_PROPERTIES request;
    EXPECT_EQ(filter->DecideBufferSize(output.Get(), &request), E_UNEXPECTED);

    AM_MEDIA_TYPE in = Rgb24(640, 480);
    ASSERT_EQ(ConnectInput(filter.Get(), in), S_OK);
    auto upstream = MakeCom<StingyAllocator>();
    upstream->current = ALLOCATOR_PROPERTIES{3, 1000, 1, 0};
    ASSERT_EQ(filter->Input()->NotifyAllocator(upstream.Get(), FALSE), S_OK);
    EXPECT_EQ(filter->DecideBufferSize(output.Get(), &request), S_OK);
    EXPECT_EQ(output->requested.cBuffers, 3);
    EXPECT_EQ(output->requested.cbBuffer, 1000);

    // No count and no size upstream: one buffer of the type's sample size.
    upstream->current = ALLOCATOR_PROPERTIES{0, 0, 1, 0};
    EXPECT_EQ(filter->DecideBufferSize(output.Get(), &request), S_OK);
    EXPECT_EQ(output->requested.cBuffers, 1);
    EXPECT_EQ(output->requested.cbBuffer, static_cast<LONG>(in.lSampleSize));
    EXPECT_EQ(output->requested.cbBuffer, 640 * 480 * 3);

    // Granted less than asked, or refused.
    output->granted = ALLOCATOR_PROPERTIES{1, 100, 1, 0};
    EXPECT_EQ(filter->DecideBufferSize(output.Get(), &request), E_FAIL);
    output->granted.reset();
    output->refusal = VFW_E_ALREADY_COMMITTED;
    EXPECT_EQ(filter->DecideBufferSize(output.Get(), &request), VFW_E_ALREADY_COMMITTED);
}

TEST(OverlayFilterPins, InAndOutAndTheConfigurationInterface) {
    auto filter = MakeFilter();
    ASSERT_EQ(filter->PinCount(), 2);
    EXPECT_EQ(filter->Input()->Name(), "In");
    EXPECT_EQ(filter->Output()->Name(), "Out");
    ComPtr<IPin> pin;
    EXPECT_EQ(filter->FindPin("Out", pin.ReleaseAndGetAddressOf()), S_OK);
    CLSID clsid;
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_OverlayTransformFilter);
    ComPtr<IOverlayConfig> config = QueryAs<IOverlayConfig>(static_cast<IBaseFilter*>(filter.Get()));
    ASSERT_TRUE(config);
    // Back from the configuration interface to the same object.
    ComPtr<IBaseFilter> again = QueryAs<IBaseFilter>(config.Get());
    EXPECT_EQ(again.Get(), static_cast<IBaseFilter*>(filter.Get()));
}

TEST(OverlayFilterConfig, StartsWithItsInitialValues) {
    auto filter = MakeFilter();
    char face[kOverlayPathBytes];
    int size = 0, r = 0, g = 0, b = 0, a = 0, x = -1, y = -1, flag = 0;
    EXPECT_EQ(filter->GetTextFont(face, &size), S_OK);
    EXPECT_STREQ(face, "Times New Roman");
    EXPECT_EQ(size, 24);
    filter->GetTextColor(&r, &g, &b);
    EXPECT_EQ((std::array{r, g, b}), (std::array{255, 0, 0}));
    filter->GetImageKey(&r, &g, &b, &a);
    EXPECT_EQ((std::array{r, g, b, a}), (std::array{0, 0, 0, 0}));
    filter->GetImageKeyEnabled(&flag);
    EXPECT_EQ(flag, -1);
    filter->GetTextPosition(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    filter->GetImagePath(face);
    EXPECT_STREQ(face, "");
    OverlayParams p = filter->Params();
    EXPECT_EQ(p.showText, 1);
    EXPECT_EQ(p.showImage, 1);
    EXPECT_EQ(p.showDate, 1);
    EXPECT_EQ(p.textStyle, 0);
    EXPECT_EQ(p.dateFontName.View(), "Times New Roman");
    EXPECT_EQ(p.dateFontSize, 12);
    EXPECT_EQ(p.dateColor, (Rgb{255, 255, 255}));
    EXPECT_EQ(p.dateX, 0);
    EXPECT_EQ(p.dateY, 100);
    EXPECT_EQ(p.outlineBackColor, (Rgb{255, 0, 0}));
    EXPECT_EQ(p.outlineBorderColor, (Rgb{0, 255, 0}));
    EXPECT_TRUE(p.KeyEnabled());
}

TEST(OverlayFilterConfig, SettersStoreWhatTheGettersAndTheFramesSee) {
    auto filter = MakeFilter();
    filter->SetTextPosition(12, -3);
    filter->SetDatePosition(5, 6);
    filter->SetShowText(0x100);  // only the low byte counts
    filter->SetTextFont("DejaVu Sans", 31);
    filter->SetDateFont("DejaVu Serif", 9);
    filter->SetDateColor(1, 2, 3);
    filter->SetTextColor(256 + 7, 8, 9);
    filter->SetOutlineBackColor(10, 11, 12);
    filter->SetOutlineBorderColor(13, 14, 15);
    filter->SetTextureImage("/tmp/texture.png");
    filter->SetHatchBrush(39, 1, 2, 3, 4, 5, 6);
    filter->SetDateFormat(-4);
    filter->SetDateFontStyle(3);
    filter->SetTextFontStyle(12);
    filter->SetTextStyle(2);
    filter->SetImagePosition(-20, 30);
    filter->SetShowImage(1);
    filter->SetShowDate(0);
    filter->SetImagePath("/tmp/logo.bmp");
    filter->SetImageKey(40, 50, 60, 70);
    filter->SetImageKeyEnabled(0);
    OverlayParams p = filter->Params();
    EXPECT_EQ(p.textX, 12);
    EXPECT_EQ(p.textY, -3);
    EXPECT_EQ(p.dateX, 5);
    EXPECT_EQ(p.dateY, 6);
    EXPECT_EQ(p.showText, 0);
    EXPECT_EQ(p.textFontName.View(), "DejaVu Sans");
    EXPECT_EQ(p.textFontSize, 31);
    EXPECT_EQ(p.dateFontName.View(), "DejaVu Serif");
    EXPECT_EQ(p.dateFontSize, 9);
    EXPECT_EQ(p.dateColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(p.textColor, (Rgb{7, 8, 9}));
    EXPECT_EQ(p.outlineBackColor, (Rgb{10, 11, 12}));
    EXPECT_EQ(p.outlineBorderColor, (Rgb{13, 14, 15}));
    EXPECT_EQ(p.textureImagePath.View(), "/tmp/texture.png");
    EXPECT_EQ(p.hatchStyle, 39);
    EXPECT_EQ(p.hatchForeColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(p.hatchBackColor, (Rgb{4, 5, 6}));
    EXPECT_EQ(p.dateFormat, -4);
    EXPECT_EQ(p.dateFontStyle, 3);
    EXPECT_EQ(p.textFontStyle, 12);
    EXPECT_EQ(p.textStyle, 2);
    EXPECT_EQ(p.imageX, -20);
    EXPECT_EQ(p.imageY, 30);
    EXPECT_EQ(p.showImage, 1);
    EXPECT_EQ(p.showDate, 0);
    EXPECT_EQ(p.imagePath.View(), "/tmp/logo.bmp");
    EXPECT_EQ(p.keyColor, (Rgb{40, 50, 60}));
    EXPECT_EQ(p.imageAlpha, 70);
    EXPECT_FALSE(p.KeyEnabled());
    int x = 0, y = 0;
    filter->GetImagePosition(&x, &y);
    EXPECT_EQ(x, -20);
    EXPECT_EQ(y, 30);
}

TEST(OverlayFilterConfig, OverlongPathsAndNamesAreRefusedNotCut) {
    auto filter = MakeFilter();
    filter->SetImagePath("/kept.png");
    std::string longest(kOverlayPathBytes - 1, 'p');
    std::string tooLong(kOverlayPathBytes, 'p');
    EXPECT_EQ(filter->SetImagePath(tooLong.c_str()), E_INVALIDARG);
    EXPECT_EQ(filter->Params().imagePath.View(), "/kept.png");
    EXPECT_EQ(filter->SetImagePath(longest.c_str()), S_OK);
    char buffer[kOverlayPathBytes];
    filter->GetImagePath(buffer);
    EXPECT_EQ(std::string(buffer), longest);
    EXPECT_EQ(filter->SetTextureImage(tooLong.c_str()), E_INVALIDARG);
    EXPECT_EQ(filter->SetTextFont(tooLong.c_str(), 50), E_INVALIDARG);
    EXPECT_EQ(filter->Params().textFontSize, 24);
    EXPECT_EQ(filter->SetDateFont(tooLong.c_str(), 50), E_INVALIDARG);
    EXPECT_EQ(filter->SetImagePath(nullptr), E_POINTER);
    EXPECT_EQ(filter->SetText(nullptr), E_POINTER);
    EXPECT_EQ(filter->GetText(nullptr), E_POINTER);
}

TEST(OverlayFilterConfig, TheTextIsSharedByEveryInstance) {
    auto first = MakeFilter();
    auto second = MakeFilter();
    first->SetText("shared line");
    char buffer[kOverlayTextBytes];
    second->GetText(buffer);
    EXPECT_STREQ(buffer, "shared line");

    // What the second filter draws changes with text set through the first.
    AM_MEDIA_TYPE type = Rgb24(160, 60);
    ASSERT_EQ(ConnectInput(second.Get(), type), S_OK);
    HideEverything(second.Get());
    second->SetShowText(1);
    second->SetTextFont("DejaVu Sans", 20);
    first->SetText("");
    Frame blank = Frame::Filled(160, 60, QColor(0, 0, 0));
    ASSERT_EQ(PassFrame(second.Get(), blank), S_OK);
    EXPECT_EQ(blank.CountDifferent(0, 0, 160, 60, QColor(0, 0, 0)), 0);
    first->SetText("HELLO");
    Frame drawn = Frame::Filled(160, 60, QColor(0, 0, 0));
    ASSERT_EQ(PassFrame(second.Get(), drawn), S_OK);
    EXPECT_GT(drawn.CountDifferent(0, 0, 160, 60, QColor(0, 0, 0)), 50);

    // Text longer than the buffer comes back cut, terminated.
    std::string huge(3000, 'z');
    first->SetText(huge.c_str());
    second->GetText(buffer);
    EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(kOverlayTextBytes - 1));
}

TEST(OverlayFilterTransform, AllOverlaysOffCopiesTheFrameExactly) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE type = Rgb24(61, 17);  // rows with padding
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    HideEverything(filter.Get());
    Frame frame = Striped(61, 17);
    const std::vector<uint8_t> original = frame.bytes;
    ASSERT_EQ(PassFrame(filter.Get(), frame), S_OK);
    EXPECT_EQ(frame.bytes, original);
}

TEST(OverlayFilterTransform, CopiesTheSampleProperties) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE type = Rgb24(8, 8);
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    auto in = MakeCom<TestSample>(type.lSampleSize);
    in->actual = 100;
    in->start = 1000;
    in->stop = 2000;
    in->mediaStart = 5;
    in->mediaStop = 6;
    in->sync = true;
    in->discontinuity = true;
    in->mediaType = type;
    auto out = MakeCom<TestSample>(type.lSampleSize);
    ASSERT_EQ(filter->Transform(in.Get(), out.Get()), S_OK);
    EXPECT_EQ(out->start, 1000);
    EXPECT_EQ(out->stop, 2000);
    EXPECT_EQ(out->mediaStart, 5);
    EXPECT_EQ(out->mediaStop, 6);
    EXPECT_TRUE(out->sync);
    EXPECT_FALSE(out->preroll);
    EXPECT_TRUE(out->discontinuity);
    EXPECT_EQ(out->actual, 100);
    ASSERT_TRUE(out->mediaType);
    EXPECT_TRUE(*out->mediaType == type);

    // A start time alone stays alone; no times stay none.
    in->stop.reset();
    auto out2 = MakeCom<TestSample>(type.lSampleSize);
    ASSERT_EQ(filter->Transform(in.Get(), out2.Get()), S_OK);
    EXPECT_EQ(out2->start, 1000);
    EXPECT_FALSE(out2->stop);
    in->start.reset();
    in->mediaStart.reset();
    auto out3 = MakeCom<TestSample>(type.lSampleSize);
    ASSERT_EQ(filter->Transform(in.Get(), out3.Get()), S_OK);
    EXPECT_FALSE(out3->start);
    EXPECT_FALSE(out3->mediaStart);
}

TEST(OverlayFilterTransform, SampleErrorsAreReturnedAndNothingIsDrawn) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE type = Rgb24(8, 8);
    auto in = MakeCom<TestSample>(type.lSampleSize);
    auto out = MakeCom<TestSample>(type.lSampleSize);
    EXPECT_EQ(filter->Transform(in.Get(), out.Get()), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    in->syncAnswer = E_FAIL;
    EXPECT_EQ(filter->Transform(in.Get(), out.Get()), E_UNEXPECTED);
    in->syncAnswer.reset();
    in->pointerResult = E_OUTOFMEMORY;
    std::fill(out->buffer.begin(), out->buffer.end(), 0xAB);
    EXPECT_EQ(filter->Transform(in.Get(), out.Get()), E_OUTOFMEMORY);
    EXPECT_EQ(out->buffer[0], 0xAB);
}

TEST(OverlayFilterTransform, ShortBuffersAreCopiedButNotDrawnOn) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE type = Rgb24(64, 64);
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    filter->SetText("HELLO");
    auto in = MakeCom<TestSample>(1000);
    std::fill(in->buffer.begin(), in->buffer.end(), 0x11);
    in->actual = 5000;  // claims more than either buffer holds
    auto out = MakeCom<TestSample>(800);
    EXPECT_EQ(filter->Transform(in.Get(), out.Get()), S_OK);
    EXPECT_EQ(out->actual, 800);
    EXPECT_EQ(std::count(out->buffer.begin(), out->buffer.end(), 0x11), 800);
}

TEST(OverlayFilterTransform, MissingImageStillDeliversTheFrame) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE type = Rgb24(32, 32);
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    HideEverything(filter.Get());
    filter->SetShowImage(1);
    filter->SetImageKey(0, 0, 0, 100);
    filter->SetImagePath("/nonexistent/logo.bmp");
    Frame frame = Striped(32, 32);
    const std::vector<uint8_t> original = frame.bytes;
    EXPECT_EQ(PassFrame(filter.Get(), frame), S_OK);
    EXPECT_EQ(frame.bytes, original);
}

TEST(OverlayFilterTransform, DateIsDrawnFromTheInjectedClock) {
    OverlayParams p;
    p.showText = p.showImage = 0;
    p.dateFormat = 0;
    p.dateFontSize = 14;
    p.dateY = 10;
    OverlayRenderer reference;
    Frame expected = Frame::Filled(120, 40, QColor(0, 0, 80));
    reference.Draw(expected.bytes.data(), expected.layout, p, OverlayTextBytes{}, kMarch5);

    auto filter = MakeFilter(kMarch5);
    AM_MEDIA_TYPE type = Rgb24(120, 40);
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    HideEverything(filter.Get());
    filter->SetShowDate(1);
    filter->SetDateFormat(0);
    filter->SetDatePosition(0, 10);
    filter->SetDateFont("Times New Roman", 14);
    Frame frame = Frame::Filled(120, 40, QColor(0, 0, 80));
    ASSERT_EQ(PassFrame(filter.Get(), frame), S_OK);
    EXPECT_EQ(frame.bytes, expected.bytes);
    EXPECT_GT(frame.CountDifferent(0, 10, 120, 20, QColor(0, 0, 80)), 20);

    auto other = MakeFilter(LocalDateTime{2031, 11, 28, 0, 0, 0});
    ASSERT_EQ(ConnectInput(other.Get(), type), S_OK);
    HideEverything(other.Get());
    other->SetShowDate(1);
    other->SetDateFormat(0);
    other->SetDatePosition(0, 10);
    other->SetDateFont("Times New Roman", 14);
    Frame later = Frame::Filled(120, 40, QColor(0, 0, 80));
    ASSERT_EQ(PassFrame(other.Get(), later), S_OK);
    EXPECT_NE(later.bytes, expected.bytes);
}

TEST(OverlayFilterTransform, ConfigurationWhileStreamingNeverTearsAFrame) {
    auto filter = MakeFilter();
    AM_MEDIA_TYPE type = Rgb24(160, 120);
    ASSERT_EQ(ConnectInput(filter.Get(), type), S_OK);
    std::atomic<bool> stop{false};
    std::thread configurer([&] {
        const std::string a(200, 'a'), b(255, 'b');
        for (int i = 0; !stop; ++i) {
            filter->SetText((i % 2 ? a : b).c_str());
            filter->SetTextFont(i % 2 ? "DejaVu Sans" : "No Such Face", 10 + i % 20);
            filter->SetImagePath(i % 2 ? "/nonexistent/a.png" : "");
            filter->SetTextStyle(i % 6);
            filter->SetDateFormat(i % 20);
        }
    });
    int ok = 0;
    for (int i = 0; i < 60; ++i) {
        Frame frame = Frame::Filled(160, 120, QColor(0, 0, 0));
        ok += PassFrame(filter.Get(), frame) == S_OK;
    }
    stop = true;
    configurer.join();
    EXPECT_EQ(ok, 60);
}

TEST(OverlayConfigBinary, SlotsAreInTheirFixedOrder) {
    // Modules call these by slot: after QueryInterface, AddRef and Release come the thirty
    // methods in their fixed order. Call a few through the raw table to pin it.
    auto filter = MakeFilter();
    ComPtr<IOverlayConfig> config = QueryAs<IOverlayConfig>(static_cast<IBaseFilter*>(filter.Get()));
    void** table = *reinterpret_cast<void***>(config.Get());
    using SetXY = HRESULT (*)(IOverlayConfig*, int, int);
    using SetRGB = HRESULT (*)(IOverlayConfig*, int, int, int);
    using SetFlag = HRESULT (*)(IOverlayConfig*, int);
    reinterpret_cast<SetXY>(table[3 + 1])(config.Get(), 11, 12);   // 2 SetTextPosition
    reinterpret_cast<SetXY>(table[3 + 2])(config.Get(), 13, 14);   // 3 SetDatePosition
    reinterpret_cast<SetRGB>(table[3 + 10])(config.Get(), 1, 2, 3);  // 11 SetTextColor
    reinterpret_cast<SetFlag>(table[3 + 16])(config.Get(), 9);     // 17 SetDateFormat
    reinterpret_cast<SetXY>(table[3 + 21])(config.Get(), 15, 16);  // 22 SetImagePosition
    reinterpret_cast<SetFlag>(table[3 + 28])(config.Get(), 0);     // 29 SetImageKeyEnabled
    OverlayParams p = filter->Params();
    EXPECT_EQ(p.textX, 11);
    EXPECT_EQ(p.dateY, 14);
    EXPECT_EQ(p.textColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(p.dateFormat, 9);
    EXPECT_EQ(p.imageX, 15);
    EXPECT_FALSE(p.KeyEnabled());
}
