#include "bench/broadcast/FrameCounter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 640;

std::vector<uint8_t> Band(uint32_t number) {
    std::vector<uint8_t> luma(static_cast<size_t>(kWidth) * kCounterRows, 128);
    DrawFrameCounter(number, kWidth, luma.data(), kWidth, nullptr, nullptr, 0);
    return luma;
}

// What a low bit rate does to the band: edges smeared over a few pixels, and noise.
void BlurAndNoise(std::vector<uint8_t>& luma) {
    std::vector<uint8_t> blurred = luma;
    for (int y = 0; y < kCounterRows; ++y)
        for (int x = 3; x < kWidth - 3; ++x) {
            int sum = 0;
            for (int d = -3; d <= 3; ++d) sum += luma[y * kWidth + x + d];
            blurred[y * kWidth + x] = static_cast<uint8_t>(sum / 7);
        }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-25, 25);
    for (uint8_t& p : blurred) p = static_cast<uint8_t>(std::clamp(p + noise(random), 0, 255));
    luma = blurred;
}

TEST(FrameCounter, NumbersReadBackAsDrawnEvenBlurredAndNoisy) {
    for (uint32_t number : {0u, 1u, 2u, 0x5A5A5u, 1499u, (1u << kCounterBits) - 1}) {
        std::vector<uint8_t> clean = Band(number);
        EXPECT_EQ(ReadFrameCounter(clean.data(), kWidth, kWidth), number);
        BlurAndNoise(clean);
        EXPECT_EQ(ReadFrameCounter(clean.data(), kWidth, kWidth), number) << "blurred " << number;
    }
}

TEST(FrameCounter, AGreyBlockOrOneThatDisagreesWithItsComplementReadsAsNothing) {
    std::vector<uint8_t> grey = Band(1234);
    // The fifth bit's block, top half, turned grey: a picture the decoder only guessed at.
    const int blockWidth = kWidth / kCounterBits;
    for (int y = 0; y < kCounterRows / 2; ++y)
        for (int x = 4 * blockWidth; x < 5 * blockWidth; ++x) grey[y * kWidth + x] = 128;
    EXPECT_FALSE(ReadFrameCounter(grey.data(), kWidth, kWidth));

    // Its bottom half made the same colour as its top: a torn picture.
    std::vector<uint8_t> torn = Band(1234);
    for (int y = kCounterRows / 2; y < kCounterRows; ++y)
        for (int x = 4 * blockWidth; x < 5 * blockWidth; ++x) torn[y * kWidth + x] = torn[x];
    EXPECT_FALSE(ReadFrameCounter(torn.data(), kWidth, kWidth));

    std::vector<uint8_t> flat(static_cast<size_t>(kWidth) * kCounterRows, 128);
    EXPECT_FALSE(ReadFrameCounter(flat.data(), kWidth, kWidth));
}

TEST(FrameCounter, TheChromaUnderTheBandIsMadeNeutralAndTheRestLeftAlone) {
    const int width = 320;
    std::vector<uint8_t> luma(static_cast<size_t>(width) * 96, 50);
    std::vector<uint8_t> u(static_cast<size_t>(width / 2) * 48, 10), v(static_cast<size_t>(width / 2) * 48, 240);
    DrawFrameCounter(3, width, luma.data(), width, u.data(), v.data(), width / 2);
    EXPECT_EQ(u[0], 128);
    EXPECT_EQ(v[(kCounterRows / 2 - 1) * (width / 2)], 128);
    EXPECT_EQ(u[(kCounterRows / 2) * (width / 2)], 10);  // below the band
    EXPECT_EQ(luma[kCounterRows * width], 50);
    EXPECT_EQ(ReadFrameCounter(luma.data(), width, width), 3u);
}

}  // namespace
