#include "imaging/jpeg/ForwardDct.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "imaging/jpeg/VectorTargets.h"

namespace {

// L lanes of doubles: the passes work on L lines at once, with the same IEEE operations as
// scalar code.
template <int L>
struct Lanes;
template <>
struct Lanes<2> {
    using V = double __attribute__((vector_size(16)));
    using Mask = long long __attribute__((vector_size(16)));
    using Int = int __attribute__((vector_size(8)));
};
template <>
struct Lanes<4> {
    using V = double __attribute__((vector_size(32)));
    using Mask = long long __attribute__((vector_size(32)));
    using Int = int __attribute__((vector_size(16)));
};

#define ORVANTA_INLINE inline __attribute__((always_inline))

// The factored 8-point transform of L lines (Arai, Agui and Nakajima): output k is the
// unnormalised DCT-II term k scaled by a factor of k that the caller removes.
// k: c4, c6, c2 - c6, c2 + c6 in every lane.
template <class V>
ORVANTA_INLINE void Transform8(V* d, const V* k) {
    const V c4 = k[0], c6 = k[1], c2MinusC6 = k[2], c2PlusC6 = k[3];
    V tmp0 = d[0] + d[7], tmp7 = d[0] - d[7];
    V tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
    V tmp2 = d[2] + d[5], tmp5 = d[2] - d[5];
    V tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];

    V tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    V tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    d[0] = tmp10 + tmp11;
    d[4] = tmp10 - tmp11;
    V z1 = (tmp12 + tmp13) * c4;
    d[2] = tmp13 + z1;
    d[6] = tmp13 - z1;

    tmp10 = tmp4 + tmp5;
    tmp11 = tmp5 + tmp6;
    tmp12 = tmp6 + tmp7;
    V z5 = (tmp10 - tmp12) * c6;
    V z2 = c2MinusC6 * tmp10 + z5;
    V z4 = c2PlusC6 * tmp12 + z5;
    V z3 = tmp11 * c4;
    V z11 = tmp7 + z3, z13 = tmp7 - z3;
    d[5] = z13 + z2;
    d[3] = z13 - z2;
    d[1] = z11 + z4;
    d[7] = z11 - z4;
}

// m[r][g] holds row r, columns L g .. L g + L - 1; afterwards the transposed block.
ORVANTA_INLINE void Transpose(Lanes<2>::V (&m)[8][4]) {
    Lanes<2>::V out[8][4];
    for (int bi = 0; bi < 4; ++bi) {
        for (int bj = 0; bj < 4; ++bj) {
            Lanes<2>::V a = m[2 * bi][bj], b = m[2 * bi + 1][bj];
            out[2 * bj][bi] = __builtin_shufflevector(a, b, 0, 2);
            out[2 * bj + 1][bi] = __builtin_shufflevector(a, b, 1, 3);
        }
    }
    std::memcpy(m, out, sizeof out);
}

ORVANTA_INLINE void Transpose(Lanes<4>::V (&m)[8][2]) {
    Lanes<4>::V out[8][2];
    for (int bi = 0; bi < 2; ++bi) {
        for (int bj = 0; bj < 2; ++bj) {
            Lanes<4>::V a = m[4 * bi][bj], b = m[4 * bi + 1][bj], c = m[4 * bi + 2][bj],
                        d = m[4 * bi + 3][bj];
            Lanes<4>::V t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
            Lanes<4>::V t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
            Lanes<4>::V t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
            Lanes<4>::V t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
            out[4 * bj][bi] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
            out[4 * bj + 1][bi] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
            out[4 * bj + 2][bi] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
            out[4 * bj + 3][bi] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
        }
    }
    std::memcpy(m, out, sizeof out);
}

// The factored values of one block, m[u][g] = (u, v = L g ..), before truncation.
template <int L>
ORVANTA_INLINE void Factor(const int* in, const ForwardDct::Factors& f,
                           typename Lanes<L>::V (&m)[8][8 / L]) {
    using V = typename Lanes<L>::V;
    using Int = typename Lanes<L>::Int;
    constexpr int G = 8 / L;
    const V k[4] = {V{} + f.c4, V{} + f.c6, V{} + f.c2MinusC6, V{} + f.c2PlusC6};

    // m[x][g]: row x, columns y = L g ... The first pass runs down the columns (x to u) with the
    // lanes over y; transposed, the second runs along the rows (y to v) with the lanes over u.
    for (int x = 0; x < 8; ++x) {
        for (int g = 0; g < G; ++g) {
            Int samples;
            std::memcpy(&samples, in + 8 * x + L * g, sizeof samples);
            m[x][g] = __builtin_convertvector(samples, V);
        }
    }
    for (int g = 0; g < G; ++g) {
        V line[8];
        for (int x = 0; x < 8; ++x) line[x] = m[x][g];
        Transform8(line, k);
        for (int u = 0; u < 8; ++u) m[u][g] = line[u];
    }
    Transpose(m);  // m[y][g]: column y, terms u = L g ..
    for (int g = 0; g < G; ++g) {
        V line[8];
        for (int y = 0; y < 8; ++y) line[y] = m[y][g];
        Transform8(line, k);
        for (int v = 0; v < 8; ++v) m[v][g] = line[v];
    }
    Transpose(m);  // m[u][g]: terms (u, v = L g ..), natural order
    for (int u = 0; u < 8; ++u) {
        for (int g = 0; g < G; ++g) {
            V scale;
            std::memcpy(&scale, &f.scale[8 * u + L * g], sizeof scale);
            m[u][g] *= scale;
        }
    }
}

// Truncates the factored values into out; returns the positions (bit 8u + v) that lie within
// kMargin of a non-zero integer.
template <int L>
ORVANTA_INLINE uint64_t Truncate(const typename Lanes<L>::V (&m)[8][8 / L], int* out) {
    using V = typename Lanes<L>::V;
    using Mask = typename Lanes<L>::Mask;
    using Int = typename Lanes<L>::Int;
    constexpr int G = 8 / L;
    const V magic = V{} + 6755399441055744.0;  // 1.5 * 2^52: adding and subtracting rounds
    const V margin = V{} + ForwardDct::kMargin;
    Mask near[8][G];
    Mask anyNear = {};
    for (int u = 0; u < 8; ++u) {
        for (int g = 0; g < G; ++g) {
            V value = m[u][g];
            V nearest = (value + magic) - magic;
            V diff = value - nearest;
            near[u][g] = (diff < margin) & (diff > -margin) & (nearest != 0.0);
            anyNear |= near[u][g];
            Int truncated = __builtin_convertvector(value, Int);
            std::memcpy(out + 8 * u + L * g, &truncated, sizeof truncated);
        }
    }
    long long any = 0;
    for (int lane = 0; lane < L; ++lane) any |= anyNear[lane];
    if (any == 0) return 0;
    uint64_t positions = 0;
    for (int u = 0; u < 8; ++u) {
        for (int g = 0; g < G; ++g) {
            for (int lane = 0; lane < L; ++lane) {
                if (near[u][g][lane] != 0) positions |= uint64_t{1} << (8 * u + L * g + lane);
            }
        }
    }
    return positions;
}

uint64_t TransformTwoLanes(const int* in, const ForwardDct::Factors& f, int* out) {
    Lanes<2>::V m[8][4];
    Factor<2>(in, f, m);
    return Truncate<2>(m, out);
}

#if ORVANTA_HAS_AVX2_KERNEL
__attribute__((target("avx2"))) uint64_t TransformFourLanes(const int* in,
                                                            const ForwardDct::Factors& f,
                                                            int* out) {
    Lanes<4>::V m[8][2];
    Factor<4>(in, f, m);
    return Truncate<4>(m, out);
}
#endif

}  // namespace

ForwardDct::ForwardDct(Kernel kernel) {
    constexpr double pi = std::numbers::pi;
    for (int u = 0; u < 8; ++u) {
        for (int x = 0; x < 8; ++x)
            cos_[u][x] = std::cos(static_cast<double>((2 * x + 1) * u) * pi / 16);
    }
    factors_.c4 = std::cos(4 * pi / 16);
    factors_.c6 = std::cos(6 * pi / 16);
    factors_.c2MinusC6 = std::cos(2 * pi / 16) - factors_.c6;
    factors_.c2PlusC6 = std::cos(2 * pi / 16) + factors_.c6;
    // The factored transform leaves term k scaled by sqrt(2) cos(k pi / 16) (1 for k = 0) per
    // dimension, and the 2-D result by 8 on top.
    double factor[8];
    for (int k = 0; k < 8; ++k) factor[k] = k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * pi / 16);
    for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) factors_.scale[8 * u + v] = 1.0 / (8.0 * factor[u] * factor[v]);
    }
#if ORVANTA_HAS_AVX2_KERNEL
    fourLanes_ = kernel == Kernel::Widest && __builtin_cpu_supports("avx2");
#else
    (void)kernel;
#endif
}

int ForwardDct::Direct(const int* in, int u, int v) const {
    double sum = 0.0;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) sum += in[8 * x + y] * cos_[u][x] * cos_[v][y];
    }
    double cu = u == 0 ? kC0 : 1.0;
    double cv = v == 0 ? kC0 : 1.0;
    return static_cast<int>(0.25 * cu * cv * sum);
}

int ForwardDct::Transform(const int* in, int* out) const {
    uint64_t near;
#if ORVANTA_HAS_AVX2_KERNEL
    near =
        fourLanes_ ? TransformFourLanes(in, factors_, out) : TransformTwoLanes(in, factors_, out);
#else
    near = TransformTwoLanes(in, factors_, out);
#endif
    // Every product in the DC sum is f * 1.0 * 1.0: the double sum is the exact integer sum.
    int dcSum = 0;
    for (int i = 0; i < 64; ++i) dcSum += in[i];
    out[0] = static_cast<int>(0.25 * kC0 * kC0 * static_cast<double>(dcSum));
    near &= ~uint64_t{1};

    int direct = 0;
    for (; near != 0; near &= near - 1, ++direct) {
        int i = __builtin_ctzll(near);
        out[i] = Direct(in, i / 8, i % 8);
    }
    return direct;
}

std::array<double, 64> ForwardDct::Factored(const int* in) const {
    Lanes<2>::V m[8][4];
    Factor<2>(in, factors_, m);
    std::array<double, 64> values{};
    std::memcpy(values.data(), m, sizeof m);
    return values;
}
