#include "bench/broadcast/FrameCounter.h"

#include <cstring>

namespace {
constexpr uint8_t kBlack = 16, kWhite = 235;  // video range: both sides' encoders keep it
constexpr int kHalf = kCounterRows / 2;
constexpr int kInset = 6;           // the block's inside, away from the blurred edges
constexpr int kDecisive = 60;       // a block's mean this far from grey is clearly black or white

int BlockWidth(int width) { return width / kCounterBits; }

// The mean of one block's inside.
int BlockMean(const uint8_t* luma, int lumaStride, int left, int top, int blockWidth) {
    long sum = 0, count = 0;
    for (int y = top + kInset; y < top + kHalf - kInset; ++y)
        for (int x = left + kInset; x < left + blockWidth - kInset; ++x, ++count) sum += luma[y * lumaStride + x];
    return count ? static_cast<int>(sum / count) : 128;
}
}  // namespace

void DrawFrameCounter(uint32_t number, int width, uint8_t* luma, int lumaStride, uint8_t* u, uint8_t* v,
                      int chromaStride) {
    const int blockWidth = BlockWidth(width);
    for (int bit = 0; bit < kCounterBits; ++bit) {
        // The highest bit leftmost, as one reads a number.
        const bool one = (number >> (kCounterBits - 1 - bit)) & 1;
        for (int y = 0; y < kCounterRows; ++y) {
            const bool white = (y < kHalf) == one;
            std::memset(luma + y * lumaStride + bit * blockWidth, white ? kWhite : kBlack, static_cast<size_t>(blockWidth));
        }
    }
    if (!u || !v) return;
    for (int y = 0; y < kCounterRows / 2; ++y) {
        std::memset(u + y * chromaStride, 128, static_cast<size_t>(width / 2));
        std::memset(v + y * chromaStride, 128, static_cast<size_t>(width / 2));
    }
}

std::optional<uint32_t> ReadFrameCounter(const uint8_t* luma, int width, int lumaStride) {
    const int blockWidth = BlockWidth(width);
    uint32_t number = 0;
    for (int bit = 0; bit < kCounterBits; ++bit) {
        const int top = BlockMean(luma, lumaStride, bit * blockWidth, 0, blockWidth);
        const int bottom = BlockMean(luma, lumaStride, bit * blockWidth, kHalf, blockWidth);
        const bool topWhite = top > 128 + kDecisive / 2, topBlack = top < 128 - kDecisive / 2;
        const bool bottomWhite = bottom > 128 + kDecisive / 2, bottomBlack = bottom < 128 - kDecisive / 2;
        if (topWhite && bottomBlack) number = number << 1 | 1;
        else if (topBlack && bottomWhite) number <<= 1;
        else return std::nullopt;
    }
    return number;
}
