#include "overlay/OverlayRenderer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "overlay/HatchPatterns.h"
#include "tests/overlay/OverlayTestFrames.h"

using overlay_test::Frame;
using overlay_test::SavePicture;
using overlay_test::SolidPicture;

namespace {
const QColor kGreen(0, 160, 0);
const LocalDateTime kMarch5{2026, 3, 5, 9, 4, 7};

OverlayParams NothingShown() {
    OverlayParams p;
    p.showText = p.showImage = p.showDate = 0;
    return p;
}

OverlayTextBytes Text(const std::string& s) {
    OverlayTextBytes bytes{};
    s.copy(bytes.data(), bytes.size() - 1);
    return bytes;
}

Frame Draw(OverlayRenderer& r, Frame f, const OverlayParams& p, const std::string& text = "",
           LocalDateTime now = kMarch5) {
    r.Draw(f.bytes.data(), f.layout, p, Text(text), now);
    return f;
}
Frame Draw(Frame f, const OverlayParams& p, const std::string& text = "", LocalDateTime now = kMarch5) {
    OverlayRenderer r;
    return Draw(r, std::move(f), p, text, now);
}
}  // namespace

TEST(FrameLayout, RowsArePaddedToFourBytesAndSignOfHeightGivesOrder) {
    FrameLayout odd = *Rgb24Layout(13, 2);
    EXPECT_EQ(odd.stride, 40);
    EXPECT_EQ(odd.ImageBytes(), 80u);
    EXPECT_TRUE(odd.bottomUp);
    FrameLayout topDown = *Rgb24Layout(640, -480);
    EXPECT_FALSE(topDown.bottomUp);
    EXPECT_EQ(topDown.height, 480);
    EXPECT_FALSE(Rgb24Layout(0, 480));
    EXPECT_FALSE(Rgb24Layout(-640, 480));
    EXPECT_FALSE(Rgb24Layout(640, 0));
    EXPECT_FALSE(Rgb24Layout(1 << 20, 1 << 20));
}

TEST(FrameCopy, CopiesThePictureZeroesTheRestAndStaysInsideBothBuffers) {
    std::vector<uint8_t> in(100), out(64, 0xEE);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i + 1);
    // Picture of 40 bytes, 60 bytes of data, but only 64 bytes of output buffer.
    CopyFrame(in.data(), in.size(), out.data(), out.size(), 200, 40);
    for (size_t i = 0; i < 40; ++i) EXPECT_EQ(out[i], in[i]) << i;
    for (size_t i = 40; i < 64; ++i) EXPECT_EQ(out[i], 0) << i;

    // A short input buffer: what it does not hold is zero, not read past its end.
    std::vector<uint8_t> shortIn(10, 7), out2(32, 0xEE);
    CopyFrame(shortIn.data(), shortIn.size(), out2.data(), out2.size(), 32, 32);
    EXPECT_EQ(out2[9], 7);
    EXPECT_EQ(out2[10], 0);
    EXPECT_EQ(out2[31], 0);

    // A data length shorter than the picture still gets the whole picture.
    std::vector<uint8_t> out3(64, 0xEE);
    CopyFrame(in.data(), in.size(), out3.data(), out3.size(), 20, 40);
    EXPECT_EQ(out3[39], in[39]);
    EXPECT_EQ(out3[40], 0xEE);
}

TEST(OverlayRenderer, AllFlagsOffLeavesTheFrameUntouched) {
    Frame f = Frame::Filled(13, 7, kGreen);
    for (size_t i = 0; i < f.bytes.size(); ++i) f.bytes[i] = static_cast<uint8_t>(i * 31);
    OverlayParams p = NothingShown();
    p.imagePath.Assign(SavePicture(SolidPicture(4, 4, Qt::red), "red.png"));
    Frame drawn = Draw(f, p, "text that is not shown");
    EXPECT_EQ(drawn.bytes, f.bytes);
}

TEST(OverlayRenderer, ImageIsPlacedFromTheDisplayedTopLeftInEitherRowOrder) {
    OverlayParams p = NothingShown();
    p.showImage = 1;
    p.imageAlpha = 100;
    p.imageX = 2;
    p.imageY = 1;
    p.imagePath.Assign(SavePicture(SolidPicture(3, 2, Qt::red), "red.png"));
    for (int height : {6, -6}) {
        Frame f = Draw(Frame::Filled(8, height, kGreen), p);
        EXPECT_EQ(f.CountDifferent(0, 0, 8, 6, kGreen), 6) << height;
        EXPECT_EQ(f.CountDifferent(2, 1, 3, 2, Qt::red), 0) << height;
    }
    // Bottom-up: the displayed top rows are the last rows of the buffer.
    Frame bottomUp = Draw(Frame::Filled(8, 6, kGreen), p);
    const uint8_t* lastRow = bottomUp.bytes.data() + 5 * bottomUp.layout.stride;
    EXPECT_EQ(lastRow[0], kGreen.blue());
    const uint8_t* row4 = bottomUp.bytes.data() + 4 * bottomUp.layout.stride + 2 * 3;
    EXPECT_EQ(row4[2], 255);
}

TEST(OverlayRenderer, ImagePartlyOutsideTheFrameIsClipped) {
    OverlayParams p = NothingShown();
    p.showImage = 1;
    p.imageAlpha = 100;
    p.imageX = -2;
    p.imageY = 5;
    p.imagePath.Assign(SavePicture(SolidPicture(4, 4, Qt::red), "red.png"));
    Frame f = Draw(Frame::Filled(6, 7, kGreen), p);
    EXPECT_EQ(f.CountDifferent(0, 0, 6, 7, kGreen), 4);  // 2 columns x 2 rows remain
    EXPECT_EQ(f.CountDifferent(0, 5, 2, 2, Qt::red), 0);
    p.imageX = 6;
    EXPECT_EQ(Draw(Frame::Filled(6, 7, kGreen), p).CountDifferent(0, 0, 6, 7, kGreen), 0);
}

TEST(OverlayRenderer, ImageAlphaAndColourKey) {
    // Left half the key colour (black), right half blue.
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(Qt::black);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x) picture.setPixelColor(x, y, Qt::blue);
    OverlayParams p = NothingShown();
    p.showImage = 1;
    p.imagePath.Assign(SavePicture(picture, "keyed.bmp"));
    p.keyColor = Rgb{0, 0, 0};

    // Keying on, alpha 0: the key colour keeps the frame, everything else is the opaque picture.
    p.keyEnabled = 0xFF;
    p.imageAlpha = 0;
    Frame keyed = Draw(Frame::Filled(4, 2, kGreen), p);
    EXPECT_EQ(keyed.CountDifferent(0, 0, 2, 2, kGreen), 0);
    EXPECT_EQ(keyed.CountDifferent(2, 0, 2, 2, Qt::blue), 0);

    // Keying on, alpha 50: the key colour is blended half way, the rest still opaque.
    p.imageAlpha = 50;
    Frame half = Draw(Frame::Filled(4, 2, kGreen), p);
    EXPECT_NEAR(half.Get(0, 0).green(), 80, 1);
    EXPECT_EQ(half.Get(3, 1), QColor(Qt::blue));

    // Keying off (a byte that is not negative): the whole picture at alpha.
    p.keyEnabled = 0x7F;
    Frame faded = Draw(Frame::Filled(4, 2, kGreen), p);
    EXPECT_NEAR(faded.Get(0, 0).green(), 80, 1);
    EXPECT_NEAR(faded.Get(3, 0).blue(), 128, 1);
    EXPECT_NEAR(faded.Get(3, 0).green(), 80, 1);
    p.imageAlpha = 0;
    EXPECT_EQ(Draw(Frame::Filled(4, 2, kGreen), p).CountDifferent(0, 0, 4, 2, kGreen), 0);
    // Above 100 percent is opaque, not an overflow.
    p.imageAlpha = 255;
    EXPECT_EQ(Draw(Frame::Filled(4, 2, kGreen), p).CountDifferent(2, 0, 2, 2, Qt::blue), 0);
}

TEST(OverlayRenderer, MissingOrUnreadableImageDrawsNothing) {
    OverlayParams p = NothingShown();
    p.showImage = 1;
    p.imageAlpha = 100;
    p.imagePath.Assign("/nonexistent/logo.png");
    EXPECT_EQ(Draw(Frame::Filled(8, 8, kGreen), p).CountDifferent(0, 0, 8, 8, kGreen), 0);
    std::string junk = SavePicture(SolidPicture(1, 1, Qt::red), "junk.png");
    { std::ofstream(junk, std::ios::trunc) << "not a picture"; }
    p.imagePath.Assign(junk);
    EXPECT_EQ(Draw(Frame::Filled(8, 8, kGreen), p).CountDifferent(0, 0, 8, 8, kGreen), 0);
    p.imagePath.Assign("");
    EXPECT_EQ(Draw(Frame::Filled(8, 8, kGreen), p).CountDifferent(0, 0, 8, 8, kGreen), 0);
}

TEST(OverlayRenderer, ChangedOrDeletedImageFileShowsOnTheNextFrame) {
    OverlayParams p = NothingShown();
    p.showImage = 1;
    p.imageAlpha = 100;
    std::string path = SavePicture(SolidPicture(2, 2, Qt::red), "logo.png");
    p.imagePath.Assign(path);
    OverlayRenderer r;
    EXPECT_EQ(Draw(r, Frame::Filled(4, 4, kGreen), p).Get(0, 0), QColor(Qt::red));
    // Same size on disk, new contents: the cache must notice.
    std::filesystem::remove(path);
    SavePicture(SolidPicture(2, 2, Qt::blue), "logo.png");
    EXPECT_EQ(Draw(r, Frame::Filled(4, 4, kGreen), p).Get(0, 0), QColor(Qt::blue));
    std::filesystem::remove(path);
    EXPECT_EQ(Draw(r, Frame::Filled(4, 4, kGreen), p).Get(0, 0), kGreen);
}

TEST(OverlayRenderer, TextStyleFiveOrMoreDrawsNoTextButImageAndDateStillAppear) {
    OverlayParams p;  // every overlay on
    p.imageAlpha = 100;
    p.imagePath.Assign(SavePicture(SolidPicture(10, 10, Qt::red), "red.png"));
    p.textX = 0;
    p.textY = 40;
    p.textFontSize = 24;
    p.textColor = Rgb{255, 255, 0};
    p.dateX = 0;
    p.dateY = 100;
    p.dateColor = Rgb{255, 255, 255};
    p.dateFormat = 7;
    for (int style : {5, 6, 100, -1}) {
        p.textStyle = style;
        Frame f = Draw(Frame::Filled(200, 140, kGreen), p, "HHHHHHHH");
        EXPECT_EQ(f.CountDifferent(0, 0, 10, 10, Qt::red), 0) << style;
        EXPECT_EQ(f.CountDifferent(0, 30, 200, 60, kGreen), 0) << style;
        EXPECT_GT(f.CountDifferent(0, 100, 200, 40, kGreen), 20) << style;
    }
    p.textStyle = kTextSolid;
    Frame solid = Draw(Frame::Filled(200, 140, kGreen), p, "HHHHHHHH");
    EXPECT_GT(solid.CountDifferent(0, 30, 200, 60, kGreen), 100);
}

TEST(OverlayRenderer, SolidTextUsesSansSerifForAnUnknownFaceButOutlinesNeedTheFace) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    p.textFontSize = 30;
    p.textFontName.Assign("No Such Face Anywhere");
    for (int style : {kTextSolid, kTextOutline, kTextOutlineFilled}) {
        p.textStyle = style;
        int drawn = Draw(Frame::Filled(200, 60, kGreen), p, "HHHH").CountDifferent(0, 0, 200, 60, kGreen);
        if (style == kTextSolid) EXPECT_GT(drawn, 100);
        else EXPECT_EQ(drawn, 0) << style;
    }
    p.textFontName.Assign("DejaVu Sans");
    for (int style : {kTextOutline, kTextOutlineFilled}) {
        p.textStyle = style;
        EXPECT_GT(Draw(Frame::Filled(200, 60, kGreen), p, "HHHH").CountDifferent(0, 0, 200, 60, kGreen), 50);
    }
}

TEST(OverlayRenderer, OutlineStylesUseBorderPenAndFilledOneTheBackColour) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    p.textFontName.Assign("DejaVu Sans");
    p.textFontSize = 48;
    p.textFontStyle = kFontBold;
    p.outlineBorderColor = Rgb{0, 0, 255};
    p.outlineBackColor = Rgb{255, 255, 0};
    auto count = [](Frame& f, QColor c) { return f.layout.width * f.layout.height - f.CountDifferent(0, 0, f.layout.width, f.layout.height, c); };
    p.textStyle = kTextOutline;
    Frame outline = Draw(Frame::Filled(200, 70, kGreen), p, "HH");
    EXPECT_EQ(count(outline, QColor(255, 255, 0)), 0);
    p.textStyle = kTextOutlineFilled;
    Frame filled = Draw(Frame::Filled(200, 70, kGreen), p, "HH");
    // The inside of the bold H stems is filled, and the pen still runs around it.
    EXPECT_GT(count(filled, QColor(255, 255, 0)), 100);
    EXPECT_GT(filled.CountDifferent(0, 0, 200, 70, kGreen), count(filled, QColor(255, 255, 0)));
}

TEST(OverlayRenderer, HatchTextTilesTheStyleFromTheFrameOrigin) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    p.textStyle = kTextHatch;
    p.textFontName.Assign("DejaVu Sans");
    p.textFontStyle = kFontBold;
    p.textFontSize = 60;
    p.textX = 3;  // off the tile grid, so a pattern aligned to the text box would show
    p.textY = 5;
    p.hatchForeColor = Rgb{255, 0, 0};
    p.hatchBackColor = Rgb{0, 0, 255};
    for (int style : {4, 12, 39, 50}) {
        p.hatchStyle = style;
        Frame f = Draw(Frame::Filled(240, 80, QColor(128, 128, 128)), p, "HWM");
        HatchBits bits = *HatchPattern(style);
        int fore = 0, back = 0, wrong = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 240; ++x) {
                QColor c = f.Get(x, y);
                bool set = bits[y % 8] & (0x80 >> (x % 8));
                if (c == QColor(255, 0, 0)) (set ? fore : wrong)++;
                if (c == QColor(0, 0, 255)) (set ? wrong : back)++;
            }
        EXPECT_GT(fore, 50) << style;
        EXPECT_GT(back, 50) << style;
        EXPECT_EQ(wrong, 0) << style;
    }
    p.hatchStyle = kHatchStyleCount;  // no such style: no brush, no text
    EXPECT_EQ(Draw(Frame::Filled(240, 80, kGreen), p, "HWM").CountDifferent(0, 0, 240, 80, kGreen), 0);
}

TEST(OverlayRenderer, TextureTextNeedsItsPicture) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    p.textStyle = kTextTexture;
    p.textFontName.Assign("DejaVu Sans");
    p.textFontStyle = kFontBold;
    p.textFontSize = 50;
    p.textureImagePath.Assign(SavePicture(SolidPicture(5, 5, Qt::magenta), "texture.png"));
    Frame f = Draw(Frame::Filled(200, 70, kGreen), p, "HH");
    EXPECT_GT(200 * 70 - f.CountDifferent(0, 0, 200, 70, Qt::magenta), 100);
    p.textureImagePath.Assign("/nonexistent/texture.png");
    EXPECT_EQ(Draw(Frame::Filled(200, 70, kGreen), p, "HH").CountDifferent(0, 0, 200, 70, kGreen), 0);
}

TEST(OverlayRenderer, OnlyTheFirst259CharactersAreDrawn) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    p.textFontSize = 10;
    Frame base = Frame::Filled(640, 480, kGreen);
    auto textOf = [](size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += i % 6 == 5 ? ' ' : static_cast<char>('A' + i % 26);
        return s;
    };
    Frame at259 = Draw(base, p, textOf(259));
    Frame at258 = Draw(base, p, textOf(258));
    Frame at600 = Draw(base, p, textOf(600));
    EXPECT_EQ(at600.bytes, at259.bytes);
    EXPECT_NE(at258.bytes, at259.bytes);
}

TEST(OverlayRenderer, TextWrapsAtTheRightOfItsBoxAlsoInsideLongWords) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    p.textFontSize = 16;
    p.textX = 40;
    Frame f = Draw(Frame::Filled(120, 200, kGreen), p, std::string(60, 'W'));
    // The box is as wide as the frame, from x = 40: the text never reaches back left of it.
    EXPECT_EQ(f.CountDifferent(0, 0, 40, 200, kGreen), 0);
    EXPECT_GT(f.CountDifferent(40, 0, 80, 20, kGreen), 0);
    EXPECT_GT(f.CountDifferent(40, 40, 80, 20, kGreen), 0);  // later lines of the one word
}

TEST(OverlayRenderer, TextLayerFollowsTextAndPosition) {
    OverlayParams p = NothingShown();
    p.showText = 1;
    OverlayRenderer r;
    Frame one = Draw(r, Frame::Filled(160, 120, kGreen), p, "one");
    Frame two = Draw(r, Frame::Filled(160, 120, kGreen), p, "two");
    EXPECT_NE(one.bytes, two.bytes);
    EXPECT_EQ(Draw(r, Frame::Filled(160, 120, kGreen), p, "one").bytes, one.bytes);
    p.textX = 80;
    p.textY = 60;
    Frame moved = Draw(r, Frame::Filled(160, 120, kGreen), p, "one");
    EXPECT_EQ(moved.CountDifferent(0, 0, 80, 120, kGreen), 0);
    EXPECT_GT(moved.CountDifferent(80, 60, 80, 60, kGreen), 0);
    p.textX = 500;  // outside the frame: nothing, and no harm
    EXPECT_EQ(Draw(r, Frame::Filled(160, 120, kGreen), p, "one").CountDifferent(0, 0, 160, 120, kGreen), 0);
}

TEST(OverlayRenderer, DateFollowsTheClockAndItsPoint) {
    OverlayParams p = NothingShown();
    p.showDate = 1;
    p.dateFormat = 4;  // hh:mm:ss
    p.dateX = 10;
    p.dateY = 30;
    p.dateFontSize = 16;
    OverlayRenderer r;
    Frame first = Draw(r, Frame::Filled(160, 80, kGreen), p, "", kMarch5);
    EXPECT_EQ(first.CountDifferent(0, 0, 160, 28, kGreen), 0);
    EXPECT_EQ(first.CountDifferent(0, 0, 9, 80, kGreen), 0);
    EXPECT_GT(first.CountDifferent(10, 30, 150, 20, kGreen), 20);
    LocalDateTime later = kMarch5;
    later.second = 8;
    EXPECT_NE(Draw(r, Frame::Filled(160, 80, kGreen), p, "", later).bytes, first.bytes);
    OverlayRenderer fresh;
    EXPECT_EQ(Draw(fresh, Frame::Filled(160, 80, kGreen), p, "", kMarch5).bytes, first.bytes);
}
