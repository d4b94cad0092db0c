#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/jpeg/ColourConversion.h"
#include "imaging/jpeg/ForwardDct.h"
#include "tests/imaging/jpeg/JpegTestSupport.h"
#include "tests/imaging/jpeg/TestPictures.h"

namespace {

using Block = std::array<int, 64>;

// Blocks as the encoder sees them: Y, Cb and Cr samples of 8x8 tiles of pictures.
void AddPictureBlocks(const RgbPicture& p, std::vector<Block>& blocks) {
    for (int by = 0; by + 8 <= p.height; by += 8) {
        for (int bx = 0; bx + 8 <= p.width; bx += 8) {
            Block y, cb, cr;
            for (int i = 0; i < 64; ++i) {
                const uint8_t* px = p.At(bx + i % 8, by + i / 8);
                y[i] = ycc::Luma(px[0], px[1], px[2]);
                cb[i] = ycc::BlueDifference(px[0], px[1], px[2]);
                cr[i] = ycc::RedDifference(px[0], px[1], px[2]);
            }
            blocks.insert(blocks.end(), {y, cb, cr});
        }
    }
}

// Blocks whose terms land on or next to integers, where the factored and the direct sums could
// truncate differently: flat blocks (DC = 8f exactly), and blocks built from the basis patterns
// of u, v in {0, 4}, whose terms are multiples of 1/8 and so hit integers exactly.
void AddBoundaryBlocks(std::mt19937& rng, std::vector<Block>& blocks) {
    for (int v = -128; v <= 127; ++v) {
        Block b;
        b.fill(v);
        blocks.push_back(b);
    }
    auto sign = [](int k, int x) {
        return k == 0 ? 1 : ((x == 0 || x == 3 || x == 4 || x == 7) ? 1 : -1);
    };
    std::uniform_int_distribution<int> amplitude(-64, 63);
    for (int n = 0; n < 4000; ++n) {
        int a[4] = {amplitude(rng), amplitude(rng), amplitude(rng), amplitude(rng)};
        int scale = 1 + n % 2;
        Block b;
        for (int x = 0; x < 8; ++x) {
            for (int y = 0; y < 8; ++y) {
                int f =
                    a[0] + a[1] * sign(4, y) + a[2] * sign(4, x) + a[3] * sign(4, x) * sign(4, y);
                b[8 * x + y] = std::clamp(f / scale, -128, 127);
            }
        }
        blocks.push_back(b);
    }
}

}  // namespace

TEST(ForwardDct, EveryTruncatedTermEqualsTheDirectSumOverRealRandomAndBoundaryBlocks) {
    std::vector<Block> blocks;
    AddPictureBlocks(PhotoPicture(256, 192, 3), blocks);
    AddPictureBlocks(SyntheticPicture(128, 96), blocks);
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> sample(-128, 127);
    for (int n = 0; n < 6000; ++n) {
        Block b;
        for (int& f : b) f = sample(rng);
        blocks.push_back(b);
    }
    AddBoundaryBlocks(rng, blocks);

    const ForwardDct widest(ForwardDct::Kernel::Widest), twoLanes(ForwardDct::Kernel::TwoLanes);
    long directCount = 0;
    long exactIntegerTerms = 0;  // non-zero terms lying on an integer: the hard cases
    double largestError = 0;
    for (const Block& b : blocks) {
        int fast[64], portable[64];
        directCount += widest.Transform(b.data(), fast);
        twoLanes.Transform(b.data(), portable);
        std::array<double, 64> factored = widest.Factored(b.data());
        for (int u = 0; u < 8; ++u) {
            for (int v = 0; v < 8; ++v) {
                double value = jpeg_test::ReferenceDctValue(b.data(), u, v);
                int expected = static_cast<int>(value);
                ASSERT_EQ(fast[8 * u + v], expected) << "u " << u << " v " << v;
                ASSERT_EQ(portable[8 * u + v], expected) << "u " << u << " v " << v;
                ASSERT_EQ(widest.Direct(b.data(), u, v), expected);
                if (std::round(value) != 0 && std::fabs(value - std::round(value)) < 1e-9)
                    ++exactIntegerTerms;
                if (u + v > 0)
                    largestError = std::max(largestError, std::fabs(factored[8 * u + v] - value));
            }
        }
    }
    // The corpus reaches the boundaries, the direct sum was needed there, and the factored
    // transform stays far inside the margin that decides when it is.
    EXPECT_GT(exactIntegerTerms, 1000);
    EXPECT_GT(directCount, 1000);
    EXPECT_LT(largestError, ForwardDct::kMargin / 1000);
}

TEST(ForwardDct, TermsJustAboveAndBelowIntegersTruncateLikeTheDirectSum) {
    // Search random blocks for terms within 1e-5 of a non-zero integer (not exactly on it).
    const ForwardDct dct;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> sample(-128, 127);
    int found = 0;
    for (int n = 0; n < 40000 && found < 40; ++n) {
        Block b;
        for (int& f : b) f = sample(rng);
        std::array<double, 64> factored = dct.Factored(b.data());
        for (int i = 1; i < 64; ++i) {
            double nearest = std::round(factored[i]);
            double distance = std::fabs(factored[i] - nearest);
            if (nearest == 0 || distance > 1e-5 || distance < 1e-9) continue;
            ++found;
            int out[64];
            dct.Transform(b.data(), out);
            ASSERT_EQ(out[i], jpeg_test::ReferenceDct(b.data(), i / 8, i % 8));
        }
    }
    EXPECT_GE(found, 10);
}

TEST(ForwardDct, CosineTableAndExtremeBlocks) {
    const ForwardDct dct;
    for (int u = 0; u < 8; ++u) {
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(dct.CosTable()[u][x], std::cos((2 * x + 1) * u * M_PI / 16));
    }
    // All samples -128: DC = 0.25 * C0 * C0 * (-8192), just above -1024 with this C0.
    Block low;
    low.fill(-128);
    int out[64];
    dct.Transform(low.data(), out);
    EXPECT_EQ(out[0], jpeg_test::ReferenceDct(low.data(), 0, 0));
    EXPECT_EQ(out[0], -1023);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(out[i], 0);
    // A checkerboard puts its energy into the (7, 7) term.
    Block checker;
    for (int i = 0; i < 64; ++i) checker[i] = ((i / 8 + i % 8) % 2) ? 127 : -128;
    dct.Transform(checker.data(), out);
    EXPECT_EQ(out[63], jpeg_test::ReferenceDct(checker.data(), 7, 7));
    EXPECT_GT(std::abs(out[63]), 500);
}
