// The preview window's scaling of DIB frames: orientation, pixel layout, the source rectangle
// and the visible part, and the interpolation between pixels.
#include "platform/dshow/filters/FrameScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// A w x h DIB (rows padded to 4 bytes) whose picture pixel (x, y) is colour(x, y).
struct Dib {
    int width, height, bytes, stride;
    bool bottomUp;
    std::vector<uint8_t> data;
    template <class F>
    Dib(int w, int h, int bpp, bool up, F colour)
        : width(w), height(h), bytes(bpp), stride((w * bpp + 3) & ~3), bottomUp(up),
          data(static_cast<size_t>(stride) * h, 0xEE) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                QRgb c = colour(x, y);
                uint8_t* p = &data[static_cast<size_t>((up ? h - 1 - y : y) * stride + x * bpp)];
                p[0] = static_cast<uint8_t>(qBlue(c)), p[1] = static_cast<uint8_t>(qGreen(c)), p[2] = static_cast<uint8_t>(qRed(c));
            }
    }
    FrameView View() const { return FrameView{data.data(), width, height, stride, bytes, bottomUp}; }
};

QRgb Gradient(int x, int y) { return qRgb(x * 8 % 256, y * 16 % 256, (x + y) % 256); }

TEST(FrameScaler, OneToOneIsAnExactUprightCopyInEveryLayout) {
    for (int bytes : {3, 4})
        for (bool up : {true, false}) {
            Dib dib(13, 7, bytes, up, Gradient);  // odd width: padded rows
            QImage out;
            ASSERT_TRUE(ScaleFrame(dib.View(), QRect(0, 0, 13, 7), QSize(13, 7), QRect(0, 0, 13, 7), out));
            ASSERT_EQ(out.size(), QSize(13, 7));
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 13; ++x)
                    ASSERT_EQ(out.pixel(x, y), Gradient(x, y)) << bytes << " bytes, bottomUp " << up << " at " << x << "," << y;
        }
}

TEST(FrameScaler, HalvingAveragesEachTwoByTwoBlock) {
    // Blocks of 2x2 in four colours: every target pixel lies between the four pixels of one block.
    auto blocks = [](int x, int y) { return (x / 2 + y / 2) % 2 ? qRgb(200, 40, 0) : qRgb(0, 100, 250); };
    Dib dib(8, 8, 3, true, blocks);
    QImage out;
    ASSERT_TRUE(ScaleFrame(dib.View(), QRect(0, 0, 8, 8), QSize(4, 4), QRect(0, 0, 4, 4), out));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out.pixel(x, y), blocks(x * 2, y * 2)) << x << "," << y;

    // Between a black and a white column the sample halfway is mid grey.
    Dib stripes(2, 1, 3, false, [](int x, int) { return x ? qRgb(255, 255, 255) : qRgb(0, 0, 0); });
    ASSERT_TRUE(ScaleFrame(stripes.View(), QRect(0, 0, 2, 1), QSize(4, 1), QRect(0, 0, 4, 1), out));
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(qRed(out.pixel(1, 0)), 64);
    EXPECT_EQ(qRed(out.pixel(2, 0)), 191);
    EXPECT_EQ(out.pixel(3, 0), qRgb(255, 255, 255));
}

TEST(FrameScaler, SourceRectangleAndVisiblePart) {
    Dib dib(16, 12, 3, true, Gradient);
    QImage part;
    // The source rectangle's pixels only, doubled: (x, y) shows source (4 + x / 2, 3 + y / 2)
    // where the sample falls on a pixel centre.
    ASSERT_TRUE(ScaleFrame(dib.View(), QRect(4, 3, 4, 4), QSize(8, 8), QRect(0, 0, 8, 8), part));
    EXPECT_EQ(part.pixel(0, 0), Gradient(4, 3));
    EXPECT_EQ(part.pixel(7, 7), Gradient(7, 6));
    // The visible part is that part of the whole result.
    QImage whole, corner;
    ASSERT_TRUE(ScaleFrame(dib.View(), QRect(0, 0, 16, 12), QSize(40, 30), QRect(0, 0, 40, 30), whole));
    ASSERT_TRUE(ScaleFrame(dib.View(), QRect(0, 0, 16, 12), QSize(40, 30), QRect(25, 10, 100, 7), corner));
    ASSERT_EQ(corner.size(), QSize(15, 7));
    EXPECT_EQ(corner, whole.copy(25, 10, 15, 7));
    // A source rectangle beyond the frame is cut to it; nothing to show is refused.
    QImage cut;
    ASSERT_TRUE(ScaleFrame(dib.View(), QRect(8, 6, 100, 100), QSize(8, 6), QRect(0, 0, 8, 6), cut));
    EXPECT_EQ(cut.pixel(7, 5), Gradient(15, 11));
    QImage untouched(1, 1, QImage::Format_RGB32);
    untouched.fill(Qt::red);
    EXPECT_FALSE(ScaleFrame(dib.View(), QRect(20, 0, 5, 5), QSize(8, 8), QRect(0, 0, 8, 8), untouched));
    EXPECT_FALSE(ScaleFrame(dib.View(), QRect(0, 0, 16, 12), QSize(8, 8), QRect(8, 8, 4, 4), untouched));
    EXPECT_FALSE(ScaleFrame(dib.View(), QRect(0, 0, 16, 12), QSize(0, 8), QRect(0, 0, 8, 8), untouched));
    EXPECT_EQ(untouched.pixel(0, 0), qRgb(255, 0, 0));
}

// Uneven sizes, a source rectangle off the origin and a visible part, in both layouts and both
// orientations: every pixel is the bilinear sample of its position, worked out here in floating
// point (the scaler's weights are in 1/256 steps, hence the one step of tolerance).
TEST(FrameScaler, EveryPixelIsTheBilinearSampleOfItsPosition) {
    auto noise = [](int x, int y) {
        unsigned h = static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u;
        return qRgb(static_cast<int>(h % 251), static_cast<int>(h / 251 % 241), static_cast<int>(h / 60491 % 239));
    };
    const QRect from(3, 2, 29, 17);
    const QSize size(45, 11);
    const QRect visible(5, 1, 37, 9);
    for (int bytes : {3, 4}) {
        for (bool up : {true, false}) {
            Dib dib(37, 23, bytes, up, noise);
            QImage out;
            ASSERT_TRUE(ScaleFrame(dib.View(), from, size, visible, out));
            ASSERT_EQ(out.size(), visible.size());
            // Source coordinate of target i along an axis, pixel centre onto pixel centre.
            auto at = [](int i, int start, int length, int count) {
                double pos = (i + 0.5) * length / count - 0.5;
                return start + std::clamp(pos, 0.0, static_cast<double>(length - 1));
            };
            int worst = 0;
            for (int y = 0; y < visible.height(); ++y) {
                for (int x = 0; x < visible.width(); ++x) {
                    double sx = at(x + visible.left(), from.left(), from.width(), size.width());
                    double sy = at(y + visible.top(), from.top(), from.height(), size.height());
                    int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
                    int x1 = std::min(x0 + 1, from.right()), y1 = std::min(y0 + 1, from.bottom());
                    double fx = sx - x0, fy = sy - y0;
                    auto mix = [&](int (*channel)(QRgb)) {
                        double top = channel(noise(x0, y0)) * (1 - fx) + channel(noise(x1, y0)) * fx;
                        double bottom = channel(noise(x0, y1)) * (1 - fx) + channel(noise(x1, y1)) * fx;
                        return top * (1 - fy) + bottom * fy;
                    };
                    QRgb got = out.pixel(x, y);
                    worst = std::max({worst, static_cast<int>(std::lround(std::abs(qRed(got) - mix(qRed)))),
                                      static_cast<int>(std::lround(std::abs(qGreen(got) - mix(qGreen)))),
                                      static_cast<int>(std::lround(std::abs(qBlue(got) - mix(qBlue))))});
                }
            }
            EXPECT_LE(worst, 1) << bytes << " bytes a pixel, " << (up ? "bottom-up" : "top-down");
        }
    }
}

}  // namespace
