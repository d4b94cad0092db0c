#include "imaging/jpeg/Quantiser.h"

#include <algorithm>
#include <cstring>

#include "imaging/jpeg/JpegTables.h"
#include "imaging/jpeg/VectorTargets.h"

namespace {
constexpr int kShift = 20;
constexpr unsigned kExactBelow = 2048;  // |F| <= 1024 for 8-bit samples

// Returns the bitwise OR of all magnitudes: at least kExactBelow when one of them was too large.
ORVANTA_VECTOR_CLONES unsigned QuantiseNatural(const int* coefficients, const uint32_t* reciprocal,
                                               int* quantised) {
    unsigned largest = 0;
    for (int i = 0; i < 64; ++i) {
        // Branch-free (coefficient signs are random) so that the loop vectorises.
        unsigned c = static_cast<unsigned>(coefficients[i]);
        unsigned sign = 0u - (c >> 31);
        unsigned magnitude = (c ^ sign) - sign;
        largest |= magnitude;
        unsigned q = (magnitude * reciprocal[i]) >> kShift;
        quantised[i] = static_cast<int>((q ^ sign) - sign);
    }
    return largest;
}

// One 0/1 byte per value, natural order.
ORVANTA_VECTOR_CLONES void NonZeroBytes(const int* natural, uint8_t* nonZero) {
    for (int i = 0; i < 64; ++i) nonZero[i] = natural[i] != 0;
}

// kRowToZigzag[r][bits]: the zigzag positions of the set bits of row r (natural 8r .. 8r + 7).
const std::array<std::array<uint64_t, 256>, 8> kRowToZigzag = [] {
    std::array<int, 64> position{};
    for (int k = 0; k < 64; ++k) position[jpeg_tables::kZigzag[k]] = k;
    std::array<std::array<uint64_t, 256>, 8> table{};
    for (int r = 0; r < 8; ++r) {
        for (int bits = 0; bits < 256; ++bits) {
            for (int j = 0; j < 8; ++j) {
                if (bits >> j & 1) table[r][bits] |= uint64_t{1} << position[8 * r + j];
            }
        }
    }
    return table;
}();

}  // namespace

uint64_t ZigzagNonZeroMask(const int* natural) {
    uint8_t nonZero[64];
    NonZeroBytes(natural, nonZero);
    uint64_t mask = 0;
    for (int r = 0; r < 8; ++r) {
        uint64_t bytes;
        std::memcpy(&bytes, nonZero + 8 * r, sizeof bytes);
        // Eight 0/1 bytes times this constant leave them as the eight bits of the top byte.
        mask |= kRowToZigzag[r][(bytes * 0x0102040810204080ull) >> 56];
    }
    return mask;
}

Quantiser::Quantiser(std::span<const int, 64> table) {
    for (int i = 0; i < 64; ++i) {
        table_[i] = std::clamp(table[i], 1, 255);
        reciprocal_[i] = static_cast<uint32_t>(((1u << kShift) + table_[i] - 1) / table_[i]);
    }
}

uint64_t Quantiser::Apply(const int* coefficients, int* quantised) const {
    if (QuantiseNatural(coefficients, reciprocal_.data(), quantised) >= kExactBelow) {
        for (int i = 0; i < 64; ++i)
            quantised[i] = coefficients[i] / table_[i];  // not from 8-bit samples
    }
    return ZigzagNonZeroMask(quantised);
}
