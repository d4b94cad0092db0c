// Fitting rectangles to the screen and drawing the cursor: the pure parts of the screen source.
#include <gtest/gtest.h>

#include "components/pavisse/CursorOverlay.h"
#include "components/pavisse/ScreenGeometry.h"

namespace {

TEST(ScreenGeometry, RectanglesAreShiftedInsideOrCutToTheScreen) {
    // Inside: unchanged.
    EXPECT_EQ(FitRectToScreen({10, 20, 110, 220}, 1024, 768), (RECT{10, 20, 110, 220}));
    // Past the right and bottom edges: shifted back, size kept.
    EXPECT_EQ(FitRectToScreen({900, 700, 1200, 900}, 1024, 768), (RECT{724, 568, 1024, 768}));
    // Past the left and top edges.
    EXPECT_EQ(FitRectToScreen({-50, -10, 150, 90}, 1024, 768), (RECT{0, 0, 200, 100}));
    // Larger than the screen: cut to it.
    EXPECT_EQ(FitRectToScreen({-100, 0, 2000, 900}, 1024, 768), (RECT{0, 0, 1024, 768}));
    // Empty or inverted: the whole screen.
    EXPECT_EQ(FitRectToScreen({0, 0, 0, 0}, 1024, 768), (RECT{0, 0, 1024, 768}));
    EXPECT_EQ(FitRectToScreen({300, 300, 100, 400}, 1024, 768), (RECT{0, 0, 1024, 768}));
    // Far outside: still a rectangle on the screen.
    EXPECT_EQ(FitRectToScreen({5000, 5000, 5010, 5010}, 1024, 768), (RECT{1014, 758, 1024, 768}));
}

struct Picture {
    int width = 8, height = 6;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(8 * 6 * 4, 100);
    const uint8_t* At(int x, int y) const { return bytes.data() + (y * width + x) * 4; }
};

CursorPicture TwoByTwo() {
    CursorPicture c;
    c.width = c.height = 2;
    c.hotX = c.hotY = 1;
    // Opaque red, half-transparent white (premultiplied: 128,128,128 at alpha 128), clear, opaque blue.
    c.pixels = {0xFFFF0000u, 0x80808080u, 0x00000000u, 0xFF0000FFu};
    return c;
}

TEST(CursorOverlay, PremultipliedPixelsAreBlendedAtTheHotSpot) {
    Picture p;
    // Pointer at screen (13, 22); the picture shows the screen from (10, 20): the cursor's hot
    // spot (1, 1) lands on picture (3, 2), so its top-left pixel is at (2, 1).
    CompositeCursor(TwoByTwo(), 13, 22, p.bytes.data(), p.width, p.height, p.width * 4, 10, 20);
    EXPECT_EQ(p.At(2, 1)[2], 255);  // red: BGRX, so byte 2
    EXPECT_EQ(p.At(2, 1)[0], 0);
    // 128 + 100 * 127 / 255 = 178.
    EXPECT_EQ(p.At(3, 1)[0], 178);
    EXPECT_EQ(p.At(3, 1)[2], 178);
    EXPECT_EQ(p.At(2, 2)[0], 100);  // clear: untouched
    EXPECT_EQ(p.At(3, 2)[0], 255);  // blue
    EXPECT_EQ(p.At(3, 2)[2], 0);
    EXPECT_EQ(p.At(4, 1)[0], 100);
}

TEST(CursorOverlay, ACursorPartlyOutsideThePictureIsCut) {
    Picture p;
    // Hot spot at picture (0, 0): only the cursor's bottom-right pixel (blue) is inside.
    CompositeCursor(TwoByTwo(), 0, 0, p.bytes.data(), p.width, p.height, p.width * 4, 0, 0);
    EXPECT_EQ(p.At(0, 0)[0], 255);
    EXPECT_EQ(p.At(0, 0)[2], 0);
    // Past the bottom-right corner: only the top-left pixel (red) lands, at (7, 5).
    CompositeCursor(TwoByTwo(), 8, 6, p.bytes.data(), p.width, p.height, p.width * 4, 0, 0);
    EXPECT_EQ(p.At(7, 5)[2], 255);
    // Entirely outside: nothing is written (the sanitizer would see a stray write).
    CompositeCursor(TwoByTwo(), -50, 400, p.bytes.data(), p.width, p.height, p.width * 4, 0, 0);
}

}  // namespace
