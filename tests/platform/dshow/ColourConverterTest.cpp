#include <gtest/gtest.h>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/dshow/filters/ColourConverter.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
constexpr LONG kW = 16;
constexpr LONG kH = 8;

// Runs one frame of `in` through a colour converter into a sink that accepts only `outSubtype`.
std::vector<BYTE> Convert(const AM_MEDIA_TYPE& in, std::vector<BYTE> frame, const Guid& outSubtype,
                          int converters = 1) {
    ComPtr<IGraphBuilder> graph;
    CreateFilterGraphObject(CLSID_FilterGraph, &graph);
    QueryAs<IMediaFilter>(graph.Get())->SetSyncSource(nullptr);
    ComPtr<FrameSource> source = MakeCom<FrameSource>(std::vector{in}, std::vector<std::vector<BYTE>>{std::move(frame)});
    ComPtr<TestSink> sink = MakeCom<TestSink>(MakePartialType(MEDIATYPE_Video, outSubtype));
    sink->KeepCopies(true);
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(sink.Get(), "sink");
    EXPECT_EQ(graph->Connect(Pin(source.Get(), "Out").Get(), Pin(sink.Get(), "In").Get()), S_OK);
    // Count the converters the graph put in.
    int found = 0;
    for (ComPtr<IBaseFilter> f = PeerFilter(Pin(source.Get(), "Out").Get()); f && f.Get() != sink.Get();
         f = PeerFilter(Pin(f.Get(), "Output").Get())) {
        ++found;
    }
    EXPECT_EQ(found, converters);
    QueryAs<IMediaControl>(graph.Get())->Run();
    EXPECT_TRUE(sink->WaitForEnd());
    QueryAs<IMediaControl>(graph.Get())->Stop();
    auto samples = sink->Samples();
    return samples.empty() ? std::vector<BYTE>() : samples.front().bytes;
}

const AM_MEDIA_TYPE* ToPtr(const AM_MEDIA_TYPE& type) { return &type; }

// YUY2, top half white, bottom half black.
std::vector<BYTE> HalfWhiteYuy2() {
    std::vector<BYTE> frame(static_cast<size_t>(kW * kH * 2));
    for (LONG y = 0; y < kH; ++y) {
        for (LONG x = 0; x < kW; x += 2) {
            BYTE* p = frame.data() + (y * kW + x) * 2;
            BYTE luma = y < kH / 2 ? 235 : 16;
            p[0] = luma, p[1] = 128, p[2] = luma, p[3] = 128;
        }
    }
    return frame;
}

// The BGR pixel at (x, y) of an upright picture, from a bottom-up RGB24 buffer.
const BYTE* PixelOf(const std::vector<BYTE>& rgb, LONG x, LONG y) {
    return rgb.data() + (kH - 1 - y) * DibStride(kW, 24) + x * 3;
}
}  // namespace

TEST(ColourConverter, YuvBecomesBottomUpRgbTheRightWayUp) {
    std::vector<BYTE> rgb = Convert(MakeVideoType(MEDIASUBTYPE_YUY2, kW, kH), HalfWhiteYuy2(), MEDIASUBTYPE_RGB24);
    ASSERT_EQ(rgb.size(), static_cast<size_t>(DibStride(kW, 24) * kH));
    for (int c = 0; c < 3; ++c) {
        EXPECT_GE(PixelOf(rgb, 3, 0)[c], 250);  // top row white
        EXPECT_LE(PixelOf(rgb, 3, kH - 1)[c], 5);  // bottom row black
    }
}

TEST(ColourConverter, RgbToPlanarAndBackKeepsThePicture) {
    // Top half red, bottom half green, as a bottom-up RGB24 DIB.
    std::vector<BYTE> frame(static_cast<size_t>(DibStride(kW, 24) * kH));
    for (LONG y = 0; y < kH; ++y) {
        for (LONG x = 0; x < kW; ++x) {
            BYTE* p = frame.data() + (kH - 1 - y) * DibStride(kW, 24) + x * 3;
            p[2] = y < kH / 2 ? 255 : 0;
            p[1] = y < kH / 2 ? 0 : 255;
        }
    }
    std::vector<BYTE> i420 = Convert(MakeVideoType(MEDIASUBTYPE_RGB24, kW, kH), frame, MEDIASUBTYPE_I420);
    ASSERT_EQ(i420.size(), static_cast<size_t>(kW * kH * 3 / 2));
    // Planar YUV is top-down: the red rows come first (red is darker than green in luma).
    EXPECT_LT(i420[0], i420[static_cast<size_t>(kW * (kH - 1))]);

    // YV12 is I420 with the chroma planes the other way round (V before U).
    std::vector<BYTE> yv12 = Convert(MakeVideoType(MEDIASUBTYPE_RGB24, kW, kH), frame, MEDIASUBTYPE_YV12);
    ASSERT_EQ(yv12.size(), i420.size());
    const size_t luma = static_cast<size_t>(kW * kH);
    const size_t chroma = luma / 4;
    EXPECT_TRUE(std::equal(i420.begin(), i420.begin() + static_cast<ptrdiff_t>(luma), yv12.begin()));
    EXPECT_TRUE(std::equal(i420.begin() + static_cast<ptrdiff_t>(luma), i420.begin() + static_cast<ptrdiff_t>(luma + chroma),
                           yv12.begin() + static_cast<ptrdiff_t>(luma + chroma)));
    // Red has V well above U: a swap would show here.
    EXPECT_GT(yv12[luma], yv12[luma + chroma]);

    for (const Guid& planar : {MEDIASUBTYPE_I420, MEDIASUBTYPE_YV12}) {
        const std::vector<BYTE>& yuv = planar == MEDIASUBTYPE_I420 ? i420 : yv12;
        std::vector<BYTE> back = Convert(MakeVideoType(planar, kW, kH), yuv, MEDIASUBTYPE_RGB24);
        ASSERT_EQ(back.size(), frame.size());
        EXPECT_GT(PixelOf(back, 5, 0)[2], 200);
        EXPECT_LT(PixelOf(back, 5, 0)[1], 60);
        EXPECT_GT(PixelOf(back, 5, kH - 1)[1], 200);
        EXPECT_LT(PixelOf(back, 5, kH - 1)[2], 60);
    }
}

TEST(ColourConverter, DecodesMotionJpeg) {
    // A white-over-black JPEG made with FFmpeg's encoder.
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    ASSERT_TRUE(codec);
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->width = kW;
    encoder->height = kH;
    encoder->pix_fmt = AV_PIX_FMT_YUVJ422P;
    encoder->time_base = AVRational{1, 25};
    ASSERT_EQ(avcodec_open2(encoder, codec, nullptr), 0);
    AVFrame* picture = av_frame_alloc();
    picture->width = kW;
    picture->height = kH;
    picture->format = AV_PIX_FMT_YUVJ422P;
    ASSERT_EQ(av_frame_get_buffer(picture, 0), 0);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) picture->data[0][y * picture->linesize[0] + x] = y < kH / 2 ? 255 : 0;
        for (int x = 0; x < kW / 2; ++x) picture->data[1][y * picture->linesize[1] + x] = picture->data[2][y * picture->linesize[2] + x] = 128;
    }
    ASSERT_EQ(avcodec_send_frame(encoder, picture), 0);
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(avcodec_receive_packet(encoder, packet), 0);
    std::vector<BYTE> jpeg(packet->data, packet->data + packet->size);
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&encoder);

    AM_MEDIA_TYPE mjpg = MakeVideoType(MEDIASUBTYPE_MJPG, kW, kH);
    mjpg.VideoInfo()->bmiHeader.biBitCount = 24;
    mjpg.VideoInfo()->bmiHeader.biSizeImage = static_cast<DWORD>(kW * kH * 3);
    mjpg.lSampleSize = 0;
    mjpg.bFixedSizeSamples = FALSE;
    std::vector<BYTE> rgb = Convert(mjpg, jpeg, MEDIASUBTYPE_RGB24);
    ASSERT_EQ(rgb.size(), static_cast<size_t>(DibStride(kW, 24) * kH));
    EXPECT_GT(PixelOf(rgb, 4, 0)[1], 230);
    EXPECT_LT(PixelOf(rgb, 4, kH - 1)[1], 25);
}

TEST(ColourConverter, RefusesToScale) {
    ComPtr<ColourConverter> converter = MakeCom<ColourConverter>();
    AM_MEDIA_TYPE in = MakeVideoType(MEDIASUBTYPE_YUY2, 16, 8);
    EXPECT_EQ(converter->CheckTransform(&in, ToPtr(MakeVideoType(MEDIASUBTYPE_RGB24, 16, 8))), S_OK);
    EXPECT_EQ(converter->CheckTransform(&in, ToPtr(MakeVideoType(MEDIASUBTYPE_RGB24, 32, 16))), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(converter->CheckInputType(ToPtr(MakePcmAudioType(8000, 1, 8))), VFW_E_TYPE_NOT_ACCEPTED);
}
