#pragma once
// The forward 8x8 DCT of the encoder, defined as the direct double sum
//   F(u,v) = 0.25 C(u) C(v) sum_x sum_y f(x,y) cos[(2x+1)u pi/16] cos[(2y+1)v pi/16]
// (x, u over rows; y, v over columns; C(0) = 0.7071067811865475, else 1) truncated toward zero.
//
// Transform gives exactly those integers, faster: the DC term is an integer sum times the same
// constant, and every other term comes from a factored double transform whose error (below 1e-10
// for 8-bit samples) is far smaller than kMargin; a factored value within kMargin of a non-zero
// integer, where the two could truncate differently, is recomputed by the direct sum.
#include <array>

class ForwardDct {
public:
    static constexpr double kC0 = 0.7071067811865475;
    static constexpr double kMargin = 1e-6;

    // The factored transform runs two lanes at a time everywhere, four where the processor has
    // AVX2 (Widest); both give the same results.
    enum class Kernel { Widest, TwoLanes };

    explicit ForwardDct(Kernel kernel = Kernel::Widest);

    // in: 64 samples, row-major, |f| <= 255; out: the truncated coefficient (u, v) at 8u + v.
    // Returns how many coefficients needed the direct sum.
    int Transform(const int* in, int* out) const;
    // One coefficient by the direct double sum, in the order of the definition.
    int Direct(const int* in, int u, int v) const;
    // The factored value of every coefficient before truncation, at 8u + v (for measuring).
    std::array<double, 64> Factored(const int* in) const;

    // entry [u][x] = cos((2x + 1) u pi / 16)
    const std::array<std::array<double, 8>, 8>& CosTable() const { return cos_; }
    bool UsesFourLanes() const { return fourLanes_; }

    struct Factors {
        double c4, c6, c2MinusC6, c2PlusC6;
        std::array<double, 64> scale;  // factored output to F(u, v), at 8u + v
    };

private:
    std::array<std::array<double, 8>, 8> cos_{};
    Factors factors_{};
    bool fourLanes_ = false;
};
