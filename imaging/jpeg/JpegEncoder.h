#pragma once
// A baseline (sequential, Huffman) JFIF writer for three 8-bit planes: 4:2:0 with decimated
// chroma, the direct floating-point DCT, the fixed Huffman tables and two quantisation tables.
// The encoder lives for one picture; it does not own the planes.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/jpeg/COutBitStream.h"
#include "imaging/jpeg/ForwardDct.h"
#include "imaging/jpeg/Quantiser.h"

class JpegEncoder {
public:
    // Planes of width x height bytes each, row 0 at the top.
    JpegEncoder(const uint8_t* red, const uint8_t* green, const uint8_t* blue);

    // Table 0 codes luminance, table 1 both chrominance components; natural order.
    void SetQuantTables(std::span<const int, 64> table0, std::span<const int, 64> table1);
    // Also fixes 3 components of precision 8. No comment: no COM segment.
    void SetParameters(int width, int height, std::optional<std::string> comment, int densityUnit,
                       int xDensity, int yDensity);

    // 0 on success; -1 when the stream failed (EMemoryError, EBufferError, EIndexError) or the
    // parameters cannot be written (a side outside 1..65535, a comment over 65532 bytes).
    int Encode();
    // The encoded bytes; empty unless the last Encode succeeded.
    std::span<const uint8_t> Output() const;

private:
    struct Parameters {
        int width = 0;
        int height = 0;
        int components = 3;
        int precision = 8;
        std::optional<std::string> comment;
        int densityUnit = 0;
        int xDensity = 1;
        int yDensity = 1;
    };

    void WriteHeaders();
    void WriteQuantTable(int id, const Quantiser& table);
    void LoadStrip(int mcuRow);
    void LoadMcu(int mcuColumn);
    void CodeComponentBlock(const int* samples, const Quantiser& quantiser, int& predictor,
                            int table);

    const uint8_t* planes_[3];
    ForwardDct dct_;
    Quantiser quant_[2];
    Parameters params_;
    int predictor_[3] = {0, 0, 0};

    int luma_[4][64] = {};
    int cb_[64] = {};
    int cr_[64] = {};
    int coefficients_[64] = {};
    int quantised_[64] = {};

    // One MCU row converted: 16 luminance rows and 8 decimated chroma rows, padded to whole MCUs
    // by repeating the last column and row.
    int stripWidth_ = 0;
    std::vector<int16_t> lumaStrip_;
    std::vector<int16_t> cbStrip_;
    std::vector<int16_t> crStrip_;

    std::unique_ptr<COutBitStream> stream_;
    bool encoded_ = false;
};
