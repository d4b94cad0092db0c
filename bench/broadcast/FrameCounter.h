#pragma once

#include <cstdint>
#include <optional>

// A frame number drawn across the top of a picture as big black and white blocks, one per bit,
// with the complement of each block below it, and read back from a decoded picture. Coding at a
// low bit rate blurs a block's edges but keeps its mean, and the complement row tells a number
// read from a torn or badly predicted picture from a good one.
constexpr int kCounterBits = 20;
constexpr int kCounterRows = 64;  // the blocks of the number, then their complement

// Draws `number` into the luma plane (width at least kCounterBits * 16) and makes the chroma
// under it neutral (`u`, `v` may be null for a grey picture).
void DrawFrameCounter(uint32_t number, int width, uint8_t* luma, int lumaStride, uint8_t* u, uint8_t* v,
                      int chromaStride);

// The number in the top kCounterRows rows of a luma plane, or nothing when a block is not clearly
// black or white or disagrees with its complement.
std::optional<uint32_t> ReadFrameCounter(const uint8_t* luma, int width, int lumaStride);
