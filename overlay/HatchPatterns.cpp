#include "overlay/HatchPatterns.h"

namespace {
struct HatchRow {
    std::string_view name;
    // Eight rows of eight pixels: '#' foreground, '.' background.
    const char* rows[8];
};

// The table, in the order of the platform's HatchStyle values. Each tile is derived from the name:
//  - lines: Horizontal/Vertical are one-pixel lines every 8 pixels; Light* halve the spacing (4),
//    Narrow* quarter it (2), Dark* are Light* twice as thick; Wide* keep the spacing of 8 at three
//    pixels thick. Forward/Downward diagonals fall to the right ("\"), Backward/Upward rise ("/").
//  - percent fills: the first n cells of an 8x8 ordered-dither (Bayer) matrix, n = 64 * p / 100
//    rounded, so 50 percent is a one-pixel checkerboard and the fills nest as they get darker.
//  - dashed: half-length strokes of the line styles, staggered on alternate rows of dashes.
//  - the picture styles (confetti, zigzag, wave, bricks, weave, plaid, divot, dotted grid and
//    diamond, shingle, trellis, sphere, grids, checkerboards, diamonds) are drawn out below.
constexpr HatchRow kHatches[kHatchStyleCount] = {
    {"Horizontal", {"########", "........", "........", "........", "........", "........", "........", "........"}},
    {"Vertical", {"#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#......."}},
    {"ForwardDiagonal", {"#.......", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.", ".......#"}},
    {"BackwardDiagonal", {".......#", "......#.", ".....#..", "....#...", "...#....", "..#.....", ".#......", "#......."}},
    {"Cross", {"########", "#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#......."}},
    {"DiagonalCross", {"#......#", ".#....#.", "..#..#..", "...##...", "...##...", "..#..#..", ".#....#.", "#......#"}},
    {"05Percent", {}},
    {"10Percent", {}},
    {"20Percent", {}},
    {"25Percent", {}},
    {"30Percent", {}},
    {"40Percent", {}},
    {"50Percent", {}},
    {"60Percent", {}},
    {"70Percent", {}},
    {"75Percent", {}},
    {"80Percent", {}},
    {"90Percent", {}},
    {"LightDownwardDiagonal", {"#...#...", ".#...#..", "..#...#.", "...#...#", "#...#...", ".#...#..", "..#...#.", "...#...#"}},
    {"LightUpwardDiagonal", {"...#...#", "..#...#.", ".#...#..", "#...#...", "...#...#", "..#...#.", ".#...#..", "#...#..."}},
    {"DarkDownwardDiagonal", {"##..##..", ".##..##.", "..##..##", "#..##..#", "##..##..", ".##..##.", "..##..##", "#..##..#"}},
    {"DarkUpwardDiagonal", {"..##..##", ".##..##.", "##..##..", "#..##..#", "..##..##", ".##..##.", "##..##..", "#..##..#"}},
    {"WideDownwardDiagonal", {"###.....", ".###....", "..###...", "...###..", "....###.", ".....###", "#.....##", "##.....#"}},
    {"WideUpwardDiagonal", {".....###", "....###.", "...###..", "..###...", ".###....", "###.....", "##.....#", "#.....##"}},
    {"LightVertical", {"#...#...", "#...#...", "#...#...", "#...#...", "#...#...", "#...#...", "#...#...", "#...#..."}},
    {"LightHorizontal", {"########", "........", "........", "........", "########", "........", "........", "........"}},
    {"NarrowVertical", {"#.#.#.#.", "#.#.#.#.", "#.#.#.#.", "#.#.#.#.", "#.#.#.#.", "#.#.#.#.", "#.#.#.#.", "#.#.#.#."}},
    {"NarrowHorizontal", {"########", "........", "########", "........", "########", "........", "########", "........"}},
    {"DarkVertical", {"##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##.."}},
    {"DarkHorizontal", {"########", "########", "........", "........", "########", "########", "........", "........"}},
    {"DashedDownwardDiagonal", {"#...#...", ".#...#..", "..#...#.", "...#...#", "........", "........", "........", "........"}},
    {"DashedUpwardDiagonal", {"...#...#", "..#...#.", ".#...#..", "#...#...", "........", "........", "........", "........"}},
    {"DashedHorizontal", {"####....", "........", "........", "........", "....####", "........", "........", "........"}},
    {"DashedVertical", {"#.......", "#.......", "#.......", "#.......", "....#...", "....#...", "....#...", "....#..."}},
    {"SmallConfetti", {"#.......", "....#...", ".#......", "......#.", "...#....", ".......#", "..#.....", ".....#.."}},
    {"LargeConfetti", {"##......", "##...##.", ".....##.", "..##....", "#.##...#", "#......#", "....##..", "....##.."}},
    {"ZigZag", {"#......#", ".#....#.", "..#..#..", "...##...", "#......#", ".#....#.", "..#..#..", "...##..."}},
    {"Wave", {"........", ".##.....", "#..#...#", "....###.", "........", ".##.....", "#..#...#", "....###."}},
    {"DiagonalBrick", {".......#", "......#.", ".....#..", "....#...", "...##...", "..#..#..", ".#....#.", "#......#"}},
    {"HorizontalBrick", {"########", "#.......", "#.......", "#.......", "########", "....#...", "....#...", "....#..."}},
    {"Weave", {"#####.#.", "....#.#.", "#####.#.", "....#.#.", "#.#.####", "#.#.....", "#.#.####", "#.#....."}},
    {"Plaid", {"#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#", "####....", "####....", "####....", "####...."}},
    {"Divot", {"........", "...#....", "....#...", "...#....", "........", "#.......", ".......#", "#......."}},
    {"DottedGrid", {"#.#.#.#.", "........", "#.......", "........", "#.......", "........", "#.......", "........"}},
    {"DottedDiamond", {"#.......", "........", "..#...#.", "........", "....#...", "........", "..#...#.", "........"}},
    {"Shingle", {"##......", "..#.....", "...#....", "...#....", "....##..", "......#.", ".......#", ".......#"}},
    {"Trellis", {"#...#...", ".#.#.#.#", "..#...#.", ".#.#.#.#", "#...#...", ".#.#.#.#", "..#...#.", ".#.#.#.#"}},
    {"Sphere", {"..####..", ".######.", "##..####", "##..####", "########", "########", ".######.", "..####.."}},
    {"SmallGrid", {"########", "#...#...", "#...#...", "#...#...", "########", "#...#...", "#...#...", "#...#..."}},
    {"SmallCheckerBoard", {"##..##..", "##..##..", "..##..##", "..##..##", "##..##..", "##..##..", "..##..##", "..##..##"}},
    {"LargeCheckerBoard", {"####....", "####....", "####....", "####....", "....####", "....####", "....####", "....####"}},
    {"OutlinedDiamond", {"....#...", "...#.#..", "..#...#.", ".#.....#", "#.......", ".#.....#", "..#...#.", "...#.#.."}},
    {"SolidDiamond", {"...##...", "..####..", ".######.", "########", "########", ".######.", "..####..", "...##..."}},
};

constexpr int kFirstPercent = 6;
constexpr int kPercents[12] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};

// The classic recursive 8x8 Bayer matrix: every threshold 0..63 once, spread as evenly as possible.
constexpr int kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

HatchBits PercentBits(int percent) {
    int cells = (64 * percent + 50) / 100;
    HatchBits bits{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (kBayer[y][x] < cells) bits[y] |= static_cast<uint8_t>(0x80 >> x);
    return bits;
}

HatchBits DrawnBits(const HatchRow& row) {
    HatchBits bits{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (row.rows[y][x] == '#') bits[y] |= static_cast<uint8_t>(0x80 >> x);
    return bits;
}
}  // namespace

std::optional<HatchBits> HatchPattern(int style) {
    if (style < 0 || style >= kHatchStyleCount) return std::nullopt;
    int percentIndex = style - kFirstPercent;
    if (percentIndex >= 0 && percentIndex < 12) return PercentBits(kPercents[percentIndex]);
    return DrawnBits(kHatches[style]);
}

std::string_view HatchStyleName(int style) {
    if (style < 0 || style >= kHatchStyleCount) return {};
    return kHatches[style].name;
}

QImage HatchTile(int style, Rgb fore, Rgb back) {
    std::optional<HatchBits> bits = HatchPattern(style);
    if (!bits) return {};
    QImage tile(8, 8, QImage::Format_RGB32);
    const QRgb foreground = qRgb(fore.r, fore.g, fore.b);
    const QRgb background = qRgb(back.r, back.g, back.b);
    for (int y = 0; y < 8; ++y) {
        auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
        for (int x = 0; x < 8; ++x) line[x] = ((*bits)[y] & (0x80 >> x)) ? foreground : background;
    }
    return tile;
}
