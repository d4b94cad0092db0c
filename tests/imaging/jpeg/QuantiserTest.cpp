#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/JpegTables.h"
#include "imaging/jpeg/QuantTable.h"
#include "imaging/jpeg/Quantiser.h"

TEST(QuantTable, QualityScalesTheChrominanceBaseTable) {
    const auto& base = jpeg_tables::kChrominanceQuant;
    EXPECT_EQ(QuantTableForQuality(50), base);
    std::array<int, 64> ones;
    ones.fill(1);
    EXPECT_EQ(QuantTableForQuality(100), ones);
    std::array<int, 64> doubled;
    for (int i = 0; i < 64; ++i) doubled[i] = 2 * base[i];
    EXPECT_EQ(QuantTableForQuality(0), doubled);
    // 2b - MulDiv(2b, q, 100), MulDiv rounding halves up: b = 17, q = 90 gives 34 - 31 = 3;
    // b = 99 gives 198 - 178 = 20; b = 21, q = 75 gives 42 - 32 (31.5 rounded up) = 10.
    auto q90 = QuantTableForQuality(90);
    EXPECT_EQ(q90[0], 3);
    EXPECT_EQ(q90[63], 20);
    EXPECT_EQ(QuantTableForQuality(75)[9], 10);
    EXPECT_EQ(QuantTableForQuality(99)[0], 1);  // 34 - 34 (33.66 rounded) = 0 becomes 1
}

TEST(QuantTable, QualityOutsideTheRangeIsRefusedWithItsText) {
    for (int quality : {-1, 101, 1000}) {
        try {
            QuantTableForQuality(quality);
            FAIL() << quality;
        } catch (const EJpegRequestError& e) {
            EXPECT_STREQ(e.what(), "量子化行列を作成できませんでした。");
        }
    }
}

TEST(Quantiser, DivisionTruncatesTowardZeroForEveryDivisorAndCoefficient) {
    // Every divisor a table can hold and every coefficient 8-bit samples give, and beyond.
    for (int d = 1; d <= 255; ++d) {
        std::array<int, 64> table;
        table.fill(d);
        Quantiser quantiser(table);
        for (int base = -2100; base <= 2100; base += 64) {
            int in[64], out[64];
            for (int i = 0; i < 64; ++i) in[i] = base + i;
            uint64_t nonZero = quantiser.Apply(in, out);
            for (int k = 0; k < 64; ++k) {
                int natural = jpeg_tables::kZigzag[k];
                ASSERT_EQ(out[natural], in[natural] / d) << "d " << d << " c " << in[natural];
                ASSERT_EQ((nonZero >> k) & 1, out[natural] != 0 ? 1u : 0u) << "zigzag " << k;
            }
        }
    }
}

TEST(Quantiser, ReportsNonZerosByZigzagPositionAndClampsTheTable) {
    std::array<int, 64> table;
    for (int i = 0; i < 64; ++i) table[i] = i + 1;
    table[5] = 0;  // would divide by zero
    table[6] = -3;
    table[7] = 1000;  // would not fit the one byte a file holds
    Quantiser quantiser(table);
    EXPECT_EQ(quantiser.Table()[5], 1);
    EXPECT_EQ(quantiser.Table()[6], 1);
    EXPECT_EQ(quantiser.Table()[7], 255);

    int in[64] = {}, out[64];
    in[0] = 100;    // zigzag 0
    in[8] = -17;    // zigzag 2, divisor 9
    in[7] = 600;    // zigzag 28, divisor 255
    in[63] = 63;    // zigzag 63, divisor 64: 0
    in[1] = 1;      // zigzag 1, divisor 2: 0
    in[62] = -200;  // zigzag 62, divisor 63
    uint64_t nonZero = quantiser.Apply(in, out);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[8], -1);
    EXPECT_EQ(out[7], 2);
    EXPECT_EQ(out[63], 0);
    EXPECT_EQ(out[62], -3);
    EXPECT_EQ(nonZero,
              (uint64_t{1} << 0) | (uint64_t{1} << 2) | (uint64_t{1} << 28) | (uint64_t{1} << 62));
    // Every single position maps to its own zigzag bit.
    for (int i = 0; i < 64; ++i) {
        int one[64] = {};
        one[i] = -5;
        int k = static_cast<int>(
            std::find(jpeg_tables::kZigzag.begin(), jpeg_tables::kZigzag.end(), i) -
            jpeg_tables::kZigzag.begin());
        EXPECT_EQ(ZigzagNonZeroMask(one), uint64_t{1} << k) << i;
    }
}
