#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "imaging/jpeg/JpegSnapshot.h"
#include "tests/imaging/jpeg/JpegTestSupport.h"
#include "tests/imaging/jpeg/TestPictures.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

// A folder of this test's own (the environment's folder also holds its registry and runtime).
fs::path Dir() {
    fs::path dir = testing_support::TestEnvironment::Current().Dir() / "snapshots";
    fs::create_directories(dir);
    return dir;
}

int Save(const Dib24& dib, const fs::path& path, int quality = 90, std::string* error = nullptr) {
    return SaveJpegFile(dib.header, {}, dib.bits, path, quality, error);
}

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A palette bitmap of the picture's colours (at most 16 or 256 of them) and its indices.
struct PaletteDib {
    DibHeader header;
    std::vector<RgbQuad> colours;
    std::vector<uint8_t> bits;
    size_t coloursUsed = 0;
};

PaletteDib ToPalette(const RgbPicture& p, int bitCount) {
    PaletteDib dib;
    std::map<uint32_t, int> index;
    const size_t stride = (static_cast<size_t>(bitCount) * p.width + 31) / 32 * 4;
    dib.bits.assign(stride * p.height, 0);
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = &dib.bits[(p.height - 1 - y) * stride];
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = p.At(x, y);
            uint32_t key = px[0] << 16 | px[1] << 8 | px[2];
            auto [it, added] = index.emplace(key, static_cast<int>(dib.colours.size()));
            if (added) dib.colours.push_back({px[2], px[1], px[0], 0});
            int i = it->second;
            if (bitCount == 8) {
                row[x] = static_cast<uint8_t>(i);
            } else {
                row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? i << 4 : i);
            }
        }
    }
    dib.header.biWidth = p.width;
    dib.header.biHeight = p.height;
    dib.header.biBitCount = static_cast<uint16_t>(bitCount);
    dib.coloursUsed = dib.colours.size();
    dib.colours.resize(bitCount == 8 ? 256 : 16);
    return dib;
}

}  // namespace

TEST(JpegSnapshot, FilesDecodeToTheSourceAboveThirtyDecibelsAtQuality90) {
    // Preview sizes and an odd one; below about 100 pixels a side, 4:2:0 with decimated chroma
    // keeps too little colour detail of these pictures for 30 dB.
    const RgbPicture pictures[] = {PhotoPicture(640, 480, 1),  PhotoPicture(333, 201, 2),
                                   PhotoPicture(160, 120, 3),  SyntheticPicture(640, 480),
                                   SyntheticPicture(320, 240), SyntheticPicture(333, 201)};
    for (const RgbPicture& picture : pictures) {
        fs::path file = Dir() / "snapshot.jpg";
        ASSERT_EQ(Save(ToDib24(picture), file), 1);
        auto decoded = jpeg_test::DecodeWithDjpeg(jpeg_test::ReadBytes(file), Dir());
        ASSERT_TRUE(decoded) << picture.width << "x" << picture.height;
        EXPECT_EQ(decoded->width, picture.width);
        EXPECT_EQ(decoded->height, picture.height);
        double psnr = jpeg_test::Psnr(picture, *decoded);
        EXPECT_GT(psnr, 30.0) << picture.width << "x" << picture.height;
        RecordProperty(
            "psnr_" + std::to_string(picture.width) + "x" + std::to_string(picture.height),
            std::to_string(psnr));
    }
}

TEST(JpegSnapshot, FileHoldsExactlyTheEncodedBytesAndNothingElseIsLeft) {
    Dib24 dib = ToDib24(PhotoPicture(64, 48));
    std::vector<uint8_t> expected = EncodeJpeg(DibImage(dib.header, {}, dib.bits), 90);
    ASSERT_FALSE(expected.empty());
    fs::path file = Dir() / "shot.jpg";
    {
        std::ofstream old(file);
        old << "an older, longer file that the snapshot replaces as a "
               "whole............................";
    }
    ASSERT_EQ(Save(dib, file), 1);
    EXPECT_EQ(jpeg_test::ReadBytes(file), expected);
    EXPECT_EQ(FilesIn(Dir()), (std::vector<std::string>{"shot.jpg"}));
    EXPECT_EQ(jpeg_test::HeaderSegments(expected)[2].Body(expected).size(),
              18u);  // "this is test data"
}

TEST(JpegSnapshot, PaletteBitmapsEncodeLikeTheirTwentyFourBitEquals) {
    RgbPicture bars = SyntheticPicture(40, 24);  // 8 bar colours, a grey ramp and two greys
    RgbPicture few = bars;                       // 4 levels a channel: at most 16 colours here
    for (uint8_t& v : few.rgb) v = static_cast<uint8_t>(v / 64 * 85);
    for (int bitCount : {4, 8}) {
        const RgbPicture& picture = bitCount == 4 ? few : bars;
        PaletteDib palette = ToPalette(picture, bitCount);
        ASSERT_LE(palette.coloursUsed, bitCount == 4 ? 16u : 256u);
        ASSERT_GT(palette.coloursUsed, 8u);
        Dib24 dib = ToDib24(picture);
        std::vector<uint8_t> expected = EncodeJpeg(DibImage(dib.header, {}, dib.bits), 80);
        EXPECT_EQ(EncodeJpeg(DibImage(palette.header, palette.colours, palette.bits), 80), expected)
            << bitCount;
        ASSERT_EQ(SaveJpegFile(palette.header, palette.colours, palette.bits, Dir() / "p.jpg", 80),
                  1);
        EXPECT_EQ(jpeg_test::ReadBytes(Dir() / "p.jpg"), expected);
    }
}

TEST(JpegSnapshot, RefusedRequestsGiveZeroWithTheirTexts) {
    Dib24 dib = ToDib24(PhotoPicture(16, 16));
    fs::path file = Dir() / "refused.jpg";
    for (int quality : {-1, 101}) {
        std::string error;
        EXPECT_EQ(Save(dib, file, quality, &error), 0);
        EXPECT_EQ(error, "量子化行列を作成できませんでした。");
    }
    for (int bitCount : {1, 16, 32}) {
        Dib24 other = dib;
        other.header.biBitCount = static_cast<uint16_t>(bitCount);
        std::vector<RgbQuad> colours(2);
        std::string error;
        EXPECT_EQ(SaveJpegFile(other.header, colours, other.bits, file, 90, &error), 0) << bitCount;
        EXPECT_EQ(error, "この形式のビットマップには対応していません");
    }
    Dib24 odd = dib;
    odd.header.biBitCount = 7;
    std::string error;
    EXPECT_EQ(Save(odd, file, 90, &error), 0);
    EXPECT_EQ(error, "パレットデータが異常です");
    // Bits that end before the rows do: refused, never read past.
    Dib24 truncated = dib;
    truncated.bits.resize(truncated.bits.size() - 1);
    EXPECT_EQ(Save(truncated, file), 0);
    EXPECT_EQ(SaveJpegFile(dib.header, {}, dib.bits, file, 90), 1);  // nothing wrong with the rest
    fs::remove(file);
    EXPECT_TRUE(FilesIn(Dir()).empty());
}

TEST(JpegSnapshot, AFileThatCannotBeWrittenGivesZeroAndLeavesNothing) {
    Dib24 dib = ToDib24(PhotoPicture(32, 32));
    EXPECT_EQ(Save(dib, Dir() / "missing" / "shot.jpg"), 0);
    EXPECT_EQ(Save(dib, ""), 0);
    // A folder in the way stays as it was.
    fs::create_directory(Dir() / "folder.jpg");
    std::ofstream(Dir() / "folder.jpg" / "inside") << "kept";
    EXPECT_EQ(Save(dib, Dir() / "folder.jpg"), 0);
    EXPECT_EQ(FilesIn(Dir() / "folder.jpg"), (std::vector<std::string>{"inside"}));
    // A folder that cannot be written to (unless running as root, who may write anywhere).
    fs::create_directory(Dir() / "locked");
    fs::permissions(Dir() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    int result = Save(dib, Dir() / "locked" / "shot.jpg");
    if (::geteuid() != 0) {
        EXPECT_EQ(result, 0);
    }
    fs::permissions(Dir() / "locked", fs::perms::owner_all);
    fs::remove_all(Dir() / "locked");
    EXPECT_EQ(FilesIn(Dir()), (std::vector<std::string>{"folder.jpg"}));
}
