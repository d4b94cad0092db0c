#pragma once
// What the encoder's tests check output against: the header segments of a JFIF stream, a decoder
// of its entropy-coded data, libjpeg-turbo's djpeg, and a reference encoder written straight from
// the definitions (direct double-sum DCT, bit-by-bit writer) that the real one must match.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tests/imaging/jpeg/TestPictures.h"

namespace jpeg_test {

struct Segment {
    uint8_t marker = 0;  // the byte after 0xFF
    size_t offset = 0;   // of the 0xFF
    size_t length = 0;   // the length field (0 for SOI)
    std::span<const uint8_t> Body(std::span<const uint8_t> file) const {
        return file.subspan(offset + 4, length - 2);
    }
};
// The segments from SOI up to and including SOS.
std::vector<Segment> HeaderSegments(std::span<const uint8_t> file);
// The entropy-coded bytes between the SOS segment and the final EOI.
std::span<const uint8_t> EntropyData(std::span<const uint8_t> file);

// Canonical Huffman codes of one DHT segment (marker included): symbol -> (code, length).
std::map<int, std::pair<uint32_t, int>> CodesOfSegment(std::span<const uint8_t> segment);

// Reads entropy-coded data: removes stuffed zeros, decodes symbols and blocks.
class ScanReader {
public:
    explicit ScanReader(std::span<const uint8_t> data);
    int Bit();
    uint32_t Bits(int n);
    int Symbol(const std::map<int, std::pair<uint32_t, int>>& codes);
    // One block in zigzag order; updates the predictor. sawEob: whether the block ended with EOB.
    std::array<int, 64> Block(const std::map<int, std::pair<uint32_t, int>>& dc,
                              const std::map<int, std::pair<uint32_t, int>>& ac, int& predictor,
                              bool* sawEob = nullptr);
    bool AtEnd() const { return pos_ >= data_.size(); }
    // Bits left in the current byte (all must be 1-bits of the final fill).
    int PendingBits() const { return bit_ == 0 ? 0 : 8 - bit_; }
    uint8_t CurrentByte() const { return current_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    uint8_t current_ = 0;
    int bit_ = 0;  // bits of current_ already read; 0: next byte needed
};

// djpeg's decoding of the bytes (written to a file in dir), or nothing when djpeg failed.
std::optional<RgbPicture> DecodeWithDjpeg(std::span<const uint8_t> jpeg,
                                          const std::filesystem::path& dir);
double Psnr(const RgbPicture& a, const RgbPicture& b);

// The definition of the transform: the untruncated direct double sum, and its truncation.
double ReferenceDctValue(const int* f, int u, int v);
int ReferenceDct(const int* f, int u, int v);

struct ReferenceOptions {
    std::array<int, 64> table0{};
    std::array<int, 64> table1{};
    std::optional<std::string> comment;
    int densityUnit = 1;
    int xDensity = 72;
    int yDensity = 72;
};
std::vector<uint8_t> ReferenceEncode(const RgbPicture& picture, const ReferenceOptions& options);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);

}  // namespace jpeg_test
