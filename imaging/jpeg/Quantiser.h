#pragma once
// Division of the truncated coefficients by one quantisation table, truncating toward zero. The
// divisions are multiplications by exact reciprocals: for |c| < 2048 and divisors 1..255,
// (|c| * ceil(2^20 / d)) >> 20 equals |c| / d.
#include <array>
#include <cstdint>
#include <span>

class Quantiser {
public:
    // Entries outside 1..255 are clamped into it: a file holds one byte per entry, and what is
    // written must be what divided.
    explicit Quantiser(std::span<const int, 64> table);

    // coefficients in, quantised values out, both in natural order. Returns the zigzag positions
    // (bit k for zigzag position k) of the non-zero values.
    uint64_t Apply(const int* coefficients, int* quantised) const;

    // The table as used, natural order.
    const std::array<int, 64>& Table() const { return table_; }

private:
    std::array<int, 64> table_{};
    std::array<uint32_t, 64> reciprocal_{};  // natural order
};

// The zigzag positions of the non-zero values among 64 in natural order.
uint64_t ZigzagNonZeroMask(const int* natural);
