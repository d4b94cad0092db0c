#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/dshow/filters/PixelConversion.h"

namespace {
// Not a multiple of any SIMD width, so the rows' tails are converted too.
constexpr int kW = 38;
constexpr int kH = 22;

// swscale's SIMD rows want aligned rows, so pictures are padded as FFmpeg pads them and compared
// by their packed bytes.
struct Picture {
    AVPixelFormat format;
    int width, height;
    std::unique_ptr<uint8_t, decltype(&av_free)> buffer{nullptr, av_free};
    uint8_t* planes[4] = {};
    int strides[4] = {};

    explicit Picture(AVPixelFormat f, int w = kW, int h = kH) : format(f), width(w), height(h) {
        const int size = av_image_get_buffer_size(f, w, h, 32);
        buffer.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(size))));
        std::memset(buffer.get(), 0xA5, static_cast<size_t>(size));
        av_image_fill_arrays(planes, strides, buffer.get(), f, w, h, 32);
    }
    std::vector<uint8_t> Packed() const {
        std::vector<uint8_t> bytes(static_cast<size_t>(av_image_get_buffer_size(format, width, height, 1)));
        av_image_copy_to_buffer(bytes.data(), static_cast<int>(bytes.size()), planes, strides, format, width, height, 1);
        return bytes;
    }
};

// Smooth gradients with some colour in every pixel, made in RGB and turned into `f` by swscale.
Picture Gradient(AVPixelFormat f, int w = kW, int h = kH) {
    Picture rgb(AV_PIX_FMT_BGR24, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rgb.planes[0] + y * rgb.strides[0] + x * 3;
            p[0] = static_cast<uint8_t>(40 + x * 4);
            p[1] = static_cast<uint8_t>(200 - y * 6);
            p[2] = static_cast<uint8_t>(60 + (x + y) * 2);
        }
    if (f == AV_PIX_FMT_BGR24) return rgb;
    Picture out(f, w, h);
    SwsContext* sws = sws_getContext(kW, kH, AV_PIX_FMT_BGR24, kW, kH, f, SWS_POINT, nullptr, nullptr, nullptr);
    EXPECT_NE(sws, nullptr);
    sws_scale(sws, rgb.planes, rgb.strides, 0, kH, out.planes, out.strides);
    sws_freeContext(sws);
    return out;
}

// The reference samples chroma as libyuv does: averaged going to 4:2:0, nearest coming from it.
Picture BySwscale(const Picture& in, AVPixelFormat to) {
    Picture out(to);
    const int flags = (to == AV_PIX_FMT_YUV420P ? SWS_BILINEAR : SWS_POINT) | SWS_ACCURATE_RND;
    SwsContext* sws = sws_getContext(kW, kH, in.format, kW, kH, to, flags, nullptr, nullptr, nullptr);
    EXPECT_NE(sws, nullptr);
    sws_scale(sws, in.planes, in.strides, 0, kH, out.planes, out.strides);
    sws_freeContext(sws);
    return out;
}

// Largest difference between the two pictures' bytes, leaving out BGR0's undefined fourth byte.
int MaxDifference(const Picture& a, const Picture& b) {
    const std::vector<uint8_t> x = a.Packed(), y = b.Packed();
    int worst = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        if (a.format == AV_PIX_FMT_BGR0 && i % 4 == 3) continue;
        worst = std::max(worst, std::abs(x[i] - y[i]));
    }
    return worst;
}
}  // namespace

TEST(PixelConversion, EveryDirectPairAgreesWithSwscale) {
    const std::pair<AVPixelFormat, AVPixelFormat> pairs[] = {
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGR24},   {AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGRA},
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGR0},    {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P},
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUYV422}, {AV_PIX_FMT_YUV420P, AV_PIX_FMT_UYVY422},
        {AV_PIX_FMT_BGR24, AV_PIX_FMT_YUV420P},   {AV_PIX_FMT_BGRA, AV_PIX_FMT_YUV420P},
        {AV_PIX_FMT_YUYV422, AV_PIX_FMT_YUV420P}, {AV_PIX_FMT_UYVY422, AV_PIX_FMT_YUV420P},
        {AV_PIX_FMT_NV12, AV_PIX_FMT_YUV420P},    {AV_PIX_FMT_BGR24, AV_PIX_FMT_BGR24},
        {AV_PIX_FMT_BGR24, AV_PIX_FMT_BGR0},      {AV_PIX_FMT_BGRA, AV_PIX_FMT_BGR24},
        {AV_PIX_FMT_NV12, AV_PIX_FMT_BGR24},      {AV_PIX_FMT_YUYV422, AV_PIX_FMT_BGRA},
        {AV_PIX_FMT_UYVY422, AV_PIX_FMT_BGRA},
    };
    for (const auto& [from, to] : pairs) {
        SCOPED_TRACE(std::string(av_get_pix_fmt_name(from)) + " to " + av_get_pix_fmt_name(to));
        const Picture in = Gradient(from);
        Picture out(to);
        ASSERT_TRUE(ConvertPixelsDirect(from, in.planes, in.strides, to, out.planes, out.strides, kW, kH));
        // Both round differently (and libyuv's RGB to YUV keeps 7-bit coefficients), but on smooth
        // pictures a wrong matrix, range, channel order or chroma siting is off by far more.
        EXPECT_LE(MaxDifference(out, BySwscale(in, to)), 6);
    }
}

TEST(PixelConversion, OddSizesKeepTheirLastColumnAndRow) {
    // An odd width or height leaves a chroma sample that covers one pixel only; going to 4:2:0 and
    // back must give that pixel its own colour, not a neighbour's or whatever lay past the row.
    constexpr int w = 37, h = 23;
    const Picture rgb = Gradient(AV_PIX_FMT_BGR24, w, h);
    Picture yuv(AV_PIX_FMT_YUV420P, w, h);
    Picture back(AV_PIX_FMT_BGR24, w, h);
    ASSERT_TRUE(ConvertPixelsDirect(AV_PIX_FMT_BGR24, rgb.planes, rgb.strides, AV_PIX_FMT_YUV420P, yuv.planes, yuv.strides, w, h));
    ASSERT_TRUE(ConvertPixelsDirect(AV_PIX_FMT_YUV420P, yuv.planes, yuv.strides, AV_PIX_FMT_BGR24, back.planes, back.strides, w, h));
    // Averaging 2x2 chroma over these gradients moves a channel by a few steps at most.
    EXPECT_LE(MaxDifference(rgb, back), 8);
}

TEST(PixelConversion, ABottomUpSourceComesOutUpright) {
    // A DIB stored bottom-up is handed over as its last row with a negative stride.
    const Picture upright = Gradient(AV_PIX_FMT_BGR24);
    Picture stored(AV_PIX_FMT_BGR24);
    for (int y = 0; y < kH; ++y)
        std::copy_n(upright.planes[0] + y * upright.strides[0], kW * 3, stored.planes[0] + (kH - 1 - y) * stored.strides[0]);
    const uint8_t* planes[1] = {stored.planes[0] + (kH - 1) * stored.strides[0]};
    const int strides[1] = {-stored.strides[0]};
    Picture viaDirect(AV_PIX_FMT_YUV420P);
    ASSERT_TRUE(ConvertPixelsDirect(AV_PIX_FMT_BGR24, planes, strides, AV_PIX_FMT_YUV420P, viaDirect.planes,
                                    viaDirect.strides, kW, kH));
    Picture fromUpright(AV_PIX_FMT_YUV420P);
    ASSERT_TRUE(ConvertPixelsDirect(AV_PIX_FMT_BGR24, upright.planes, upright.strides, AV_PIX_FMT_YUV420P,
                                    fromUpright.planes, fromUpright.strides, kW, kH));
    EXPECT_EQ(viaDirect.Packed(), fromUpright.Packed());
}

TEST(PixelConversion, PairsWithoutADirectRouteWriteNothing) {
    const Picture in = Gradient(AV_PIX_FMT_BGR24);
    Picture out(AV_PIX_FMT_RGB565LE);
    const std::vector<uint8_t> before = out.Packed();
    EXPECT_FALSE(ConvertPixelsDirect(AV_PIX_FMT_BGR24, in.planes, in.strides, AV_PIX_FMT_RGB565LE, out.planes, out.strides, kW, kH));
    // Keeping an alpha channel would need one to copy from.
    Picture withAlpha(AV_PIX_FMT_BGRA);
    EXPECT_FALSE(ConvertPixelsDirect(AV_PIX_FMT_BGR24, in.planes, in.strides, AV_PIX_FMT_BGRA, withAlpha.planes,
                                     withAlpha.strides, kW, kH));
    EXPECT_FALSE(ConvertPixelsDirect(AV_PIX_FMT_BGR24, in.planes, in.strides, AV_PIX_FMT_YUV420P, out.planes, out.strides, 0, kH));
    EXPECT_EQ(out.Packed(), before);
}
