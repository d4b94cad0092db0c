#pragma once
// The fixed tables of baseline JPEG: the zigzag order, the example quantisation tables and the
// four example Huffman tables (luminance DC, chrominance DC, luminance AC, chrominance AC).
#include <array>
#include <cstdint>
#include <span>

namespace jpeg_tables {

// kZigzag[i]: the natural (row-major) index of the i-th coefficient in zigzag order.
extern const std::array<uint8_t, 64> kZigzag;

// Table K.1 (luminance) and Table K.2 (chrominance), natural order.
extern const std::array<int, 64> kLuminanceQuant;
extern const std::array<int, 64> kChrominanceQuant;

// DC symbols are the categories 0..11; AC symbols are indexed 0 = EOB, 10 * run + size for runs
// 0 to 14 and sizes 1 to 10, 151 = ZRL, 152 to 161 = run 15 with sizes 1 to 10.
inline constexpr int kDcSymbols = 12;
inline constexpr int kAcSymbols = 162;
inline constexpr int kAcEob = 0;
inline constexpr int kAcZrl = 151;

// Code and length of every symbol of one table.
template <int N>
struct HuffmanCodes {
    std::array<uint16_t, N> code{};
    std::array<uint8_t, N> length{};
};

struct HuffmanSet {
    HuffmanCodes<kDcSymbols> dc;
    HuffmanCodes<kAcSymbols> ac;
};

// Codes built from the tables: 0 = luminance, 1 = chrominance.
const HuffmanSet& Huffman(int table);

// The complete DHT segment (marker included) of: DC 0, DC 1, AC 0, AC 1, in that order.
std::span<const uint8_t> DhtSegment(int which);

}  // namespace jpeg_tables
