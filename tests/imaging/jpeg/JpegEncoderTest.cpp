#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/jpeg/JpegEncoder.h"
#include "imaging/jpeg/JpegTables.h"
#include "imaging/jpeg/QuantTable.h"
#include "tests/imaging/jpeg/JpegTestSupport.h"
#include "tests/imaging/jpeg/TestPictures.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct Planes {
    std::vector<uint8_t> r, g, b;
};

Planes PlanesOf(const RgbPicture& p) {
    Planes planes;
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        planes.r.push_back(p.rgb[i]);
        planes.g.push_back(p.rgb[i + 1]);
        planes.b.push_back(p.rgb[i + 2]);
    }
    return planes;
}

// Encodes with both tables set to the quality table (as snapshots do) unless told otherwise.
std::vector<uint8_t> Encode(const RgbPicture& p, std::optional<std::string> comment,
                            int quality = 90, bool annexTables = false) {
    Planes planes = PlanesOf(p);
    JpegEncoder encoder(planes.r.data(), planes.g.data(), planes.b.data());
    if (!annexTables) {
        auto table = QuantTableForQuality(quality);
        encoder.SetQuantTables(table, table);
    }
    encoder.SetParameters(p.width, p.height, std::move(comment), 1, 72, 72);
    EXPECT_EQ(encoder.Encode(), 0);
    return {encoder.Output().begin(), encoder.Output().end()};
}

std::vector<uint8_t> Vec(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

RgbPicture Uniform(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    RgbPicture p{width, height, {}};
    for (int i = 0; i < width * height; ++i) p.rgb.insert(p.rgb.end(), {r, g, b});
    return p;
}

}  // namespace

TEST(JpegEncoder, WritesTheHeaderSegmentsInOrderWithTheirFields) {
    RgbPicture picture = PhotoPicture(40, 24);
    std::vector<uint8_t> file = Encode(picture, std::string("this is test data"));
    std::vector<jpeg_test::Segment> segments = jpeg_test::HeaderSegments(file);
    std::vector<uint8_t> markers;
    for (const auto& s : segments) markers.push_back(s.marker);
    EXPECT_EQ(markers, (std::vector<uint8_t>{0xD8, 0xE0, 0xFE, 0xDB, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4,
                                             0xC0, 0xDA}));

    EXPECT_EQ(segments[1].length, 16u);
    EXPECT_EQ(Vec(segments[1].Body(file)),
              (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 2, 1, 0, 72, 0, 72, 0, 0}));
    EXPECT_EQ(segments[2].length, 20u);
    const char comment[] = "this is test data";  // with its zero byte
    EXPECT_EQ(Vec(segments[2].Body(file)), std::vector<uint8_t>(comment, comment + sizeof comment));
    for (int t = 0; t < 2; ++t) {
        EXPECT_EQ(segments[3 + t].length, 67u);
        EXPECT_EQ(segments[3 + t].Body(file)[0], t);
    }
    for (int i = 0; i < 4; ++i) {
        std::span<const uint8_t> dht = jpeg_tables::DhtSegment(i);
        EXPECT_EQ(Vec(std::span(file).subspan(segments[5 + i].offset, dht.size())), Vec(dht)) << i;
    }
    EXPECT_EQ(segments[9].length, 17u);
    EXPECT_EQ(Vec(segments[9].Body(file)),
              (std::vector<uint8_t>{8, 0, 24, 0, 40, 3, 0, 0x22, 0, 1, 0x11, 1, 2, 0x11, 1}));
    EXPECT_EQ(segments[10].length, 12u);
    EXPECT_EQ(Vec(segments[10].Body(file)),
              (std::vector<uint8_t>{3, 0, 0x00, 1, 0x11, 2, 0x11, 0, 63, 0}));
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file.back(), 0xD9);

    // Without a comment there is no COM segment.
    std::vector<uint8_t> bare = Encode(picture, std::nullopt);
    EXPECT_EQ(jpeg_test::HeaderSegments(bare)[2].marker, 0xDB);
    EXPECT_EQ(file.size() - bare.size(), 22u);
}

TEST(JpegEncoder, QuantisationSegmentsHoldTheTablesInZigzagOrder) {
    RgbPicture picture = Uniform(8, 8, 10, 20, 30);
    auto dqt = [](const std::vector<uint8_t>& file, int which) {
        for (const auto& s : jpeg_test::HeaderSegments(file)) {
            if (s.marker == 0xDB && s.Body(file)[0] == which) return Vec(s.Body(file).subspan(1));
        }
        return std::vector<uint8_t>{};
    };
    std::vector<uint8_t> q100 = Encode(picture, std::nullopt, 100);
    EXPECT_EQ(dqt(q100, 0), std::vector<uint8_t>(64, 1));
    EXPECT_EQ(dqt(q100, 1), std::vector<uint8_t>(64, 1));
    std::vector<uint8_t> zigzagBase, zigzagDoubled;
    for (int k = 0; k < 64; ++k) {
        zigzagBase.push_back(
            static_cast<uint8_t>(jpeg_tables::kChrominanceQuant[jpeg_tables::kZigzag[k]]));
        zigzagDoubled.push_back(static_cast<uint8_t>(2 * zigzagBase.back()));
    }
    EXPECT_EQ(dqt(Encode(picture, std::nullopt, 50), 0), zigzagBase);
    EXPECT_EQ(dqt(Encode(picture, std::nullopt, 0), 1), zigzagDoubled);
    EXPECT_EQ(zigzagDoubled[63], 198);
    // The encoder's own tables until replaced: luminance and chrominance examples.
    std::vector<uint8_t> own = Encode(picture, std::nullopt, 0, true);
    EXPECT_EQ(dqt(own, 0)[0], 16);
    EXPECT_EQ(dqt(own, 0)[1], 11);
    EXPECT_EQ(dqt(own, 1), zigzagBase);
}

TEST(JpegEncoder, MatchesTheReferenceEncoderByteForByte) {
    struct Case {
        RgbPicture picture;
        int quality;
        bool comment;
    };
    const Case cases[] = {
        {PhotoPicture(64, 48, 5), 90, true},         {PhotoPicture(53, 37, 6), 100, false},
        {NoisePicture(40, 24, 2), 90, true},         {NoisePicture(19, 33, 3), 100, true},
        {SyntheticPicture(48, 32), 0, true},         {SyntheticPicture(37, 29), 50, false},
        {Uniform(1, 1, 200, 30, 90), 90, true},      {PhotoPicture(17, 9, 8), 75, true},
        {Uniform(33, 17, 128, 128, 128), 100, true},
    };
    for (const Case& c : cases) {
        jpeg_test::ReferenceOptions options;
        options.table0 = options.table1 = QuantTableForQuality(c.quality);
        if (c.comment) options.comment = "this is test data";
        std::vector<uint8_t> expected = jpeg_test::ReferenceEncode(c.picture, options);
        std::vector<uint8_t> actual = Encode(c.picture, options.comment, c.quality);
        ASSERT_EQ(actual.size(), expected.size()) << c.picture.width << "x" << c.picture.height;
        EXPECT_TRUE(actual == expected)
            << c.picture.width << "x" << c.picture.height << " at " << c.quality
            << ": first difference at byte "
            << std::mismatch(actual.begin(), actual.end(), expected.begin()).first - actual.begin();
    }
}

TEST(JpegEncoder, OnePixelCodesOneWholeMcuOfItsReplicatedValue) {
    // Grey 128 makes every sample 0: four luminance blocks of DC 00 + EOB 1010, two chrominance
    // blocks of DC 00 + EOB 00: 32 bits, no fill.
    std::vector<uint8_t> file = Encode(Uniform(1, 1, 128, 128, 128), std::nullopt);
    EXPECT_EQ(Vec(jpeg_test::EntropyData(file)), (std::vector<uint8_t>{0x28, 0xA2, 0x8A, 0x00}));

    std::vector<uint8_t> red = Encode(Uniform(1, 1, 250, 10, 10), std::nullopt, 100);
    auto decoded =
        jpeg_test::DecodeWithDjpeg(red, testing_support::TestEnvironment::Current().Dir());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->width, 1);
    ASSERT_EQ(decoded->height, 1);
    EXPECT_NEAR(decoded->rgb[0], 250, 4);
    EXPECT_NEAR(decoded->rgb[1], 10, 4);
    EXPECT_NEAR(decoded->rgb[2], 10, 4);
}

TEST(JpegEncoder, EdgesRepeatTheLastColumnAndRow) {
    // 17 x 9 codes two MCUs; their data equals that of the 32 x 16 picture whose extra columns
    // and rows repeat the last ones.
    RgbPicture small = PhotoPicture(17, 9, 4);
    RgbPicture padded{32, 16, {}};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint8_t* px = small.At(std::min(x, 16), std::min(y, 8));
            padded.rgb.insert(padded.rgb.end(), px, px + 3);
        }
    }
    std::vector<uint8_t> a = Encode(small, std::nullopt), b = Encode(padded, std::nullopt);
    EXPECT_EQ(Vec(jpeg_test::EntropyData(a)), Vec(jpeg_test::EntropyData(b)));
    auto decoded = jpeg_test::DecodeWithDjpeg(a, testing_support::TestEnvironment::Current().Dir());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 17);
    EXPECT_EQ(decoded->height, 9);
}

TEST(JpegEncoder, EntropyDataStuffsEveryFFAndEndsInOneBits) {
    RgbPicture noise = NoisePicture(48, 32, 11);
    std::vector<uint8_t> file = Encode(noise, std::nullopt, 100);
    std::span<const uint8_t> data = jpeg_test::EntropyData(file);
    int ffBytes = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != 0xFF) continue;
        ++ffBytes;
        ASSERT_LT(i + 1, data.size());
        EXPECT_EQ(data[i + 1], 0x00) << "at " << i;
        ++i;
    }
    EXPECT_GT(ffBytes, 10);
    // Every block decodes in order, and what is left of the last byte is 1-bits.
    jpeg_test::ScanReader reader(data);
    std::map<int, std::pair<uint32_t, int>> codes[4];
    for (int i = 0; i < 4; ++i) codes[i] = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(i));
    int predictor[3] = {0, 0, 0};
    for (int mcu = 0; mcu < 3 * 2; ++mcu) {
        for (int block = 0; block < 6; ++block) {
            int component = block < 4 ? 0 : block - 3;
            int table = component == 0 ? 0 : 1;
            reader.Block(codes[table], codes[2 + table], predictor[component]);
        }
    }
    int pending = reader.PendingBits();
    EXPECT_EQ(reader.Bits(pending), (1u << pending) - 1);
    EXPECT_TRUE(reader.AtEnd());
}

TEST(JpegEncoder, BlockWithANonZeroLastCoefficientEndsWithoutEob) {
    // A checkerboard at quality 100 keeps the (7, 7) term in every luminance block.
    RgbPicture checker{16, 16, {}};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint8_t v = (x + y) % 2 ? 255 : 0;
            checker.rgb.insert(checker.rgb.end(), {v, v, v});
        }
    }
    std::vector<uint8_t> file = Encode(checker, std::nullopt, 100);
    jpeg_test::ScanReader reader(jpeg_test::EntropyData(file));
    auto dc = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(0));
    auto ac = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(2));
    int predictor = 0;
    for (int k = 0; k < 4; ++k) {
        bool eob = true;
        std::array<int, 64> zz = reader.Block(dc, ac, predictor, &eob);
        EXPECT_NE(zz[63], 0);
        EXPECT_FALSE(eob);
    }
}

TEST(JpegEncoder, FailuresGiveMinusOneAndNoOutput) {
    // One column of noise at quality 100: the buffer holds 3 bytes a pixel, but the coded MCUs
    // are 16 pixels wide and need more. The buffer does not grow; the encode fails.
    RgbPicture noise = NoisePicture(1, 4000, 5);
    Planes planes = PlanesOf(noise);
    JpegEncoder encoder(planes.r.data(), planes.g.data(), planes.b.data());
    EXPECT_TRUE(encoder.Output().empty());  // not run yet
    std::array<int, 64> ones;
    ones.fill(1);
    encoder.SetQuantTables(ones, ones);
    encoder.SetParameters(1, 4000, std::nullopt, 1, 72, 72);
    EXPECT_EQ(encoder.Encode(), -1);
    EXPECT_TRUE(encoder.Output().empty());
    encoder.SetParameters(1, 3000, std::nullopt, 1, 72, 72);  // the same rows coarser fit
    encoder.SetQuantTables(QuantTableForQuality(50), QuantTableForQuality(50));
    EXPECT_EQ(encoder.Encode(), 0);
    EXPECT_FALSE(encoder.Output().empty());
    // Sides a frame header cannot hold, and a comment its segment cannot.
    for (auto [w, h] : {std::pair{0, 8}, {8, 0}, {-3, 8}, {65536, 1}}) {
        encoder.SetParameters(w, h, std::nullopt, 1, 72, 72);
        EXPECT_EQ(encoder.Encode(), -1) << w << "x" << h;
    }
    Planes flat = PlanesOf(Uniform(150, 150, 1, 2, 3));  // a buffer of 67500 bytes
    JpegEncoder commented(flat.r.data(), flat.g.data(), flat.b.data());
    commented.SetParameters(150, 150, std::string(65533, 'c'), 1, 72, 72);
    EXPECT_EQ(commented.Encode(), -1);
    commented.SetParameters(150, 150, std::string(65532, 'c'), 1, 72, 72);
    ASSERT_EQ(commented.Encode(), 0);
    EXPECT_EQ(jpeg_test::HeaderSegments(Vec(commented.Output()))[2].length, 65535u);
}

TEST(JpegEncoder, EveryEncodeStartsFromZeroPredictors) {
    RgbPicture photo = PhotoPicture(32, 32, 9);
    Planes planes = PlanesOf(photo);
    JpegEncoder encoder(planes.r.data(), planes.g.data(), planes.b.data());
    encoder.SetParameters(32, 32, std::nullopt, 1, 72, 72);
    ASSERT_EQ(encoder.Encode(), 0);
    std::vector<uint8_t> first = Vec(encoder.Output());
    ASSERT_EQ(encoder.Encode(), 0);
    EXPECT_EQ(Vec(encoder.Output()), first);
}
