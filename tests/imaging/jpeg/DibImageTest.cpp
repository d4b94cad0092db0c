#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/jpeg/DibImage.h"
#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/PlaneSplitter.h"

namespace {

DibHeader Header(int width, int height, int bitCount, uint32_t coloursUsed = 0) {
    DibHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<uint16_t>(bitCount);
    h.biClrUsed = coloursUsed;
    return h;
}

std::vector<RgbQuad> Palette(int count) {
    std::vector<RgbQuad> colours(count);
    for (int i = 0; i < count; ++i) {
        colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(100 + i),
                      static_cast<uint8_t>(200 - i), 0};
    }
    return colours;
}

std::vector<uint8_t> PlaneOf(const ColourPlanes& p, int which) {
    const uint8_t* plane = which == 0 ? p.red.get() : which == 1 ? p.green.get() : p.blue.get();
    return {plane, plane + static_cast<size_t>(p.width) * p.height};
}

void ExpectUnsupported(const DibImage& image) {
    try {
        SplitPlanes(image);
        FAIL() << "split";
    } catch (const EJpegRequestError& e) {
        EXPECT_STREQ(e.what(), "この形式のビットマップには対応していません");
    }
}

}  // namespace

TEST(DibImage, PaletteSizeFollowsTheBitCountUnlessTheHeaderCountsColours) {
    const std::vector<RgbQuad> colours = Palette(256);
    const std::vector<uint8_t> bits(64);
    const std::pair<int, size_t> expected[] = {{1, 2},  {4, 16}, {8, 256},
                                               {16, 0}, {24, 0}, {32, 0}};
    for (auto [bitCount, size] : expected) {
        DibImage image(Header(2, 2, bitCount), colours, bits);
        EXPECT_EQ(image.PaletteSize(), size) << bitCount;
        if (size > 0) {
            EXPECT_EQ(image.Colours()[size - 1].rgbBlue, static_cast<uint8_t>(size - 1));
        }
    }
    EXPECT_EQ(DibImage(Header(2, 2, 8, 5), colours, bits).PaletteSize(), 5u);
    EXPECT_EQ(DibImage(Header(2, 2, 24, 3), colours, bits).PaletteSize(), 3u);
}

TEST(DibImage, RefusesOtherBitCountsAndShortColourTables) {
    const std::vector<RgbQuad> colours = Palette(16);
    for (int bitCount : {0, 2, 7, 12, 48}) {
        try {
            DibImage image(Header(2, 2, bitCount), colours, {});
            FAIL() << bitCount;
        } catch (const CDibException& e) {
            EXPECT_EQ(e.Code(), 1);
            EXPECT_EQ(e.Message(), "パレットデータが異常です");
        }
    }
    // A header that counts more colours than its table holds would be read past its end.
    EXPECT_THROW(DibImage(Header(2, 2, 8), colours, {}), CDibException);
    EXPECT_THROW(DibImage(Header(2, 2, 24, 1000000), colours, {}), CDibException);
}

TEST(DibImage, ImageSizeFromTheHeaderOrFromWholeWordRows) {
    std::vector<uint8_t> bits(1000, 7);
    DibImage computed(Header(5, 3, 24), {}, bits);  // rows of 15 bytes padded to 16
    EXPECT_EQ(computed.ImageSize(), 48u);
    EXPECT_EQ(computed.Bits().size(), 48u);
    DibImage nibbles(Header(9, 4, 4), Palette(16), bits);  // 36 bits a row: 8 bytes
    EXPECT_EQ(nibbles.ImageSize(), 32u);
    DibHeader given = Header(5, 3, 24);
    given.biSizeImage = 100;
    EXPECT_EQ(DibImage(given, {}, bits).Bits().size(), 100u);
    // Never more than the caller holds.
    EXPECT_EQ(DibImage(given, {}, std::span(bits).first(20)).Bits().size(), 20u);
    // Sizes a header can claim but no computer holds are computed without overflowing.
    DibImage huge(Header(0x7FFFFFFF, 0x7FFFFFFF, 32), {}, bits);
    EXPECT_EQ(huge.ImageSize(), 8589934588ull * 2147483647ull);
    EXPECT_EQ(huge.Bits().size(), bits.size());
    EXPECT_EQ(DibImage(Header(5, -3, 24), {}, bits).ImageSize(), 48u);  // top-down rows count too
    EXPECT_EQ(DibImage(Header(-5, 3, 24), {}, bits).ImageSize(), 0u);
}

TEST(PlaneSplitter, ReadsBottomUpPaddedTwentyFourBitRows) {
    // 3 x 2: stored rows are 9 bytes padded to 12, the bottom row first.
    std::vector<uint8_t> bits = {// bottom row (y = 1): pixels (B, G, R)
                                 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,
                                 // top row (y = 0)
                                 10, 11, 12, 13, 14, 15, 16, 17, 18, 0xEE, 0xEE, 0xEE};
    ColourPlanes p = SplitPlanes(DibImage(Header(3, 2, 24), {}, bits));
    EXPECT_EQ(PlaneOf(p, 0), (std::vector<uint8_t>{12, 15, 18, 3, 6, 9}));
    EXPECT_EQ(PlaneOf(p, 1), (std::vector<uint8_t>{11, 14, 17, 2, 5, 8}));
    EXPECT_EQ(PlaneOf(p, 2), (std::vector<uint8_t>{10, 13, 16, 1, 4, 7}));
}

TEST(PlaneSplitter, ReadsPaletteIndicesHighNibbleFirst) {
    const std::vector<RgbQuad> colours = Palette(16);
    // 3 x 1, 4 bits: 0x5A, 0x30 -> indices 5, 10, 3; a row is padded to 4 bytes.
    ColourPlanes nibbles =
        SplitPlanes(DibImage(Header(3, 1, 4), colours, std::vector<uint8_t>{0x5A, 0x30, 0, 0}));
    EXPECT_EQ(PlaneOf(nibbles, 2), (std::vector<uint8_t>{5, 10, 3}));
    EXPECT_EQ(PlaneOf(nibbles, 1), (std::vector<uint8_t>{105, 110, 103}));
    EXPECT_EQ(PlaneOf(nibbles, 0), (std::vector<uint8_t>{195, 190, 197}));
    // 8 bits with 16 colours used still holds one index a byte; an index past the table is black.
    ColourPlanes bytes =
        SplitPlanes(DibImage(Header(3, 1, 8, 16), colours, std::vector<uint8_t>{15, 0, 200, 0}));
    EXPECT_EQ(PlaneOf(bytes, 2), (std::vector<uint8_t>{15, 0, 0}));
    EXPECT_EQ(PlaneOf(bytes, 1), (std::vector<uint8_t>{115, 100, 0}));
}

TEST(PlaneSplitter, RefusesLayoutsItCannotRead) {
    const std::vector<RgbQuad> colours = Palette(256);
    const std::vector<uint8_t> bits(4096);
    for (int bitCount : {1, 16, 32})
        ExpectUnsupported(DibImage(Header(4, 4, bitCount), colours, bits));
    DibHeader compressed = Header(4, 4, 8);
    compressed.biCompression = 1;  // run-length coded
    ExpectUnsupported(DibImage(compressed, colours, bits));
    ExpectUnsupported(DibImage(Header(4, -4, 24), colours, bits));  // top-down
    ExpectUnsupported(DibImage(Header(0, 4, 24), colours, bits));
    ExpectUnsupported(DibImage(Header(65536, 1, 24), colours, std::vector<uint8_t>(3 * 65536 + 4)));
    // Rows the bits do not hold: 4 x 4 at 24 bits needs 48 bytes.
    ExpectUnsupported(DibImage(Header(4, 4, 24), colours, std::span(bits).first(47)));
    DibHeader understated = Header(4, 4, 24);
    understated.biSizeImage = 20;
    ExpectUnsupported(DibImage(understated, colours, bits));
    EXPECT_NO_THROW(SplitPlanes(DibImage(Header(4, 4, 24), colours, std::span(bits).first(48))));
}
