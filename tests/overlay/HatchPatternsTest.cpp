#include "overlay/HatchPatterns.h"

#include <gtest/gtest.h>

#include <bitset>
#include <set>

namespace {
int Cells(const HatchBits& bits) {
    int n = 0;
    for (uint8_t row : bits) n += static_cast<int>(std::bitset<8>(row).count());
    return n;
}
bool Set(const HatchBits& bits, int x, int y) { return bits[y & 7] & (0x80 >> (x & 7)); }
}  // namespace

TEST(HatchPatterns, FiftyThreeDistinctStylesEachWithBothColours) {
    std::set<HatchBits> seen;
    std::set<std::string_view> names;
    for (int style = 0; style < kHatchStyleCount; ++style) {
        std::optional<HatchBits> bits = HatchPattern(style);
        ASSERT_TRUE(bits) << style;
        int cells = Cells(*bits);
        EXPECT_GT(cells, 0) << HatchStyleName(style);
        EXPECT_LT(cells, 64) << HatchStyleName(style);
        seen.insert(*bits);
        names.insert(HatchStyleName(style));
    }
    EXPECT_EQ(seen.size(), 53u);
    EXPECT_EQ(names.size(), 53u);
    EXPECT_FALSE(HatchPattern(-1));
    EXPECT_FALSE(HatchPattern(53));
    EXPECT_EQ(HatchStyleName(0), "Horizontal");
    EXPECT_EQ(HatchStyleName(52), "SolidDiamond");
}

TEST(HatchPatterns, LineStylesRunTheirWay) {
    HatchBits horizontal = *HatchPattern(0), vertical = *HatchPattern(1);
    HatchBits forward = *HatchPattern(2), backward = *HatchPattern(3);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(Set(horizontal, i, 0));
        EXPECT_TRUE(Set(vertical, 0, i));
        EXPECT_TRUE(Set(forward, i, i));    // falls to the right
        EXPECT_TRUE(Set(backward, 7 - i, i));  // rises to the right
    }
    EXPECT_EQ(Cells(horizontal), 8);
    EXPECT_EQ(Cells(*HatchPattern(25)), 16);  // LightHorizontal: twice as many lines
    EXPECT_EQ(Cells(*HatchPattern(27)), 32);  // NarrowHorizontal
    EXPECT_EQ(Cells(*HatchPattern(29)), 32);  // DarkHorizontal: light spacing, double width
    EXPECT_EQ(Cells(*HatchPattern(22)), 24);  // WideDownwardDiagonal
}

TEST(HatchPatterns, PercentFillsMatchTheirNamesAndNest) {
    const int percents[12] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    HatchBits previous{};
    for (int i = 0; i < 12; ++i) {
        HatchBits bits = *HatchPattern(6 + i);
        EXPECT_NEAR(Cells(bits) * 100.0 / 64, percents[i], 1.6) << HatchStyleName(6 + i);
        for (int row = 0; row < 8; ++row) EXPECT_EQ(previous[row] & ~bits[row], 0) << HatchStyleName(6 + i);
        previous = bits;
    }
    HatchBits half = *HatchPattern(12);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Set(half, x, y), ((x + y) % 2) == 0);
}

TEST(HatchPatterns, TileUsesForegroundForSetCells) {
    QImage tile = HatchTile(50, Rgb{255, 0, 0}, Rgb{0, 0, 255});
    ASSERT_EQ(tile.size(), QSize(8, 8));
    EXPECT_EQ(tile.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(tile.pixelColor(7, 0), QColor(0, 0, 255));
    EXPECT_EQ(tile.pixelColor(7, 7), QColor(255, 0, 0));
    EXPECT_TRUE(HatchTile(99, Rgb{}, Rgb{}).isNull());
}
