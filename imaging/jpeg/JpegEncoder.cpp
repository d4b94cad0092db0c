#include "imaging/jpeg/JpegEncoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/jpeg/ColourConversion.h"
#include "imaging/jpeg/HuffmanCoder.h"
#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/JpegTables.h"
#include "imaging/jpeg/PixelRows.h"

namespace {
constexpr int kMaxSide = 65535;        // SOF0 holds each side in 16 bits
constexpr size_t kMaxComment = 65532;  // COM length = text + zero byte + 2
constexpr long long kMinStream = 10240;
}  // namespace

JpegEncoder::JpegEncoder(const uint8_t* red, const uint8_t* green, const uint8_t* blue)
    : planes_{red, green, blue},
      quant_{Quantiser(jpeg_tables::kLuminanceQuant), Quantiser(jpeg_tables::kChrominanceQuant)} {}

void JpegEncoder::SetQuantTables(std::span<const int, 64> table0, std::span<const int, 64> table1) {
    quant_[0] = Quantiser(table0);
    quant_[1] = Quantiser(table1);
}

void JpegEncoder::SetParameters(int width, int height, std::optional<std::string> comment,
                                int densityUnit, int xDensity, int yDensity) {
    params_ = Parameters{width, height, 3, 8, std::move(comment), densityUnit, xDensity, yDensity};
}

int JpegEncoder::Encode() {
    encoded_ = false;
    stream_.reset();
    const int width = params_.width, height = params_.height;
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) return -1;
    if (params_.comment && params_.comment->size() > kMaxComment) return -1;
    try {
        long long size = std::max(3LL * width * height, kMinStream);
        stream_ = std::make_unique<COutBitStream>(size);
        WriteHeaders();

        const int mcuColumns = (width + 15) / 16;
        const int mcuRows = (height + 15) / 16;
        stripWidth_ = 16 * mcuColumns;
        lumaStrip_.assign(static_cast<size_t>(16) * stripWidth_, 0);
        cbStrip_.assign(static_cast<size_t>(8) * stripWidth_ / 2, 0);
        crStrip_.assign(static_cast<size_t>(8) * stripWidth_ / 2, 0);
        predictor_[0] = predictor_[1] = predictor_[2] = 0;

        for (int row = 0; row < mcuRows; ++row) {
            LoadStrip(row);
            for (int column = 0; column < mcuColumns; ++column) {
                LoadMcu(column);
                for (const auto& block : luma_)
                    CodeComponentBlock(block, quant_[0], predictor_[0], 0);
                CodeComponentBlock(cb_, quant_[1], predictor_[1], 1);
                CodeComponentBlock(cr_, quant_[1], predictor_[2], 1);
            }
        }
        stream_->SetByte(0xFF);  // EOI, after the last partial byte is filled with 1-bits
        stream_->SetByte(0xD9);
    } catch (const EMemoryError&) {
        stream_.reset();
        return -1;
    } catch (const EBufferError&) {
        stream_.reset();
        return -1;
    } catch (const EIndexError&) {
        stream_.reset();
        return -1;
    } catch (const std::bad_alloc&) {
        stream_.reset();
        return -1;
    }
    encoded_ = true;
    return 0;
}

std::span<const uint8_t> JpegEncoder::Output() const {
    if (!encoded_ || !stream_) return {};
    return stream_->Bytes();
}

void JpegEncoder::WriteHeaders() {
    COutBitStream& s = *stream_;
    s.SetWord(0xFFD8);  // SOI

    static const uint8_t kJfif[5] = {'J', 'F', 'I', 'F', 0};
    s.SetWord(0xFFE0);
    s.SetWord(16);
    s.CopyByte(kJfif, sizeof kJfif);
    s.SetWord(0x0102);
    s.SetByte(static_cast<uint8_t>(params_.densityUnit));
    s.SetWord(static_cast<uint16_t>(params_.xDensity));
    s.SetWord(static_cast<uint16_t>(params_.yDensity));
    s.SetByte(0);  // no thumbnail
    s.SetByte(0);

    if (params_.comment) {
        const std::string& text = *params_.comment;
        s.SetWord(0xFFFE);
        s.SetWord(static_cast<uint16_t>(text.size() + 3));
        s.CopyByte(reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
    }

    WriteQuantTable(0, quant_[0]);
    WriteQuantTable(1, quant_[1]);
    for (int i = 0; i < 4; ++i) {
        std::span<const uint8_t> segment = jpeg_tables::DhtSegment(i);
        s.CopyByte(segment.data(), segment.size());
    }

    s.SetWord(0xFFC0);  // SOF0
    s.SetWord(static_cast<uint16_t>(3 * params_.components + 8));
    s.SetByte(static_cast<uint8_t>(params_.precision));
    s.SetWord(static_cast<uint16_t>(params_.height));
    s.SetWord(static_cast<uint16_t>(params_.width));
    s.SetByte(static_cast<uint8_t>(params_.components));
    static const uint8_t kFrameComponents[9] = {0, 0x22, 0, 1, 0x11, 1, 2, 0x11, 1};
    s.CopyByte(kFrameComponents, sizeof kFrameComponents);

    s.SetWord(0xFFDA);  // SOS
    s.SetWord(static_cast<uint16_t>(2 * params_.components + 6));
    s.SetByte(static_cast<uint8_t>(params_.components));
    static const uint8_t kScan[9] = {0, 0x00, 1, 0x11, 2, 0x11, 0, 63, 0};
    s.CopyByte(kScan, sizeof kScan);
}

void JpegEncoder::WriteQuantTable(int id, const Quantiser& table) {
    uint8_t entries[64];
    for (int k = 0; k < 64; ++k)
        entries[k] = static_cast<uint8_t>(table.Table()[jpeg_tables::kZigzag[k]]);
    stream_->SetWord(0xFFDB);
    stream_->SetWord(67);
    stream_->SetByte(static_cast<uint8_t>(id));
    stream_->CopyByte(entries, sizeof entries);
}

void JpegEncoder::LoadStrip(int mcuRow) {
    const int width = params_.width, height = params_.height;
    const uint8_t* red = planes_[0];
    const uint8_t* green = planes_[1];
    const uint8_t* blue = planes_[2];
    for (int i = 0; i < 16; ++i) {
        int y = 16 * mcuRow + i;
        int16_t* luma = lumaStrip_.data() + static_cast<size_t>(i) * stripWidth_;
        if (y >= height && i > 0) {  // below the picture: the last row again
            std::memcpy(luma, luma - stripWidth_, sizeof(int16_t) * stripWidth_);
        } else {
            size_t offset = static_cast<size_t>(std::min(y, height - 1)) * width;
            const uint8_t *r = red + offset, *g = green + offset, *b = blue + offset;
            ConvertLumaRow(r, g, b, width, luma);
            std::fill(luma + width, luma + stripWidth_, luma[width - 1]);
        }
        if (i % 2 != 0) continue;
        // Chroma takes the top-left pixel of every 2x2 group.
        int16_t* cb = cbStrip_.data() + static_cast<size_t>(i / 2) * (stripWidth_ / 2);
        int16_t* cr = crStrip_.data() + static_cast<size_t>(i / 2) * (stripWidth_ / 2);
        size_t offset = static_cast<size_t>(std::min(y, height - 1)) * width;
        const uint8_t *r = red + offset, *g = green + offset, *b = blue + offset;
        const int inside = (width + 1) / 2;  // groups whose top-left pixel is in the picture
        ConvertChromaRow(r, g, b, inside, cb, cr);
        const int last = width - 1;
        std::fill(cb + inside, cb + stripWidth_ / 2,
                  static_cast<int16_t>(ycc::BlueDifference(r[last], g[last], b[last])));
        std::fill(cr + inside, cr + stripWidth_ / 2,
                  static_cast<int16_t>(ycc::RedDifference(r[last], g[last], b[last])));
    }
}

void JpegEncoder::LoadMcu(int mcuColumn) {
    for (int k = 0; k < 4; ++k) {
        const int16_t* source = lumaStrip_.data() + static_cast<size_t>(8 * (k / 2)) * stripWidth_ +
                                16 * mcuColumn + 8 * (k % 2);
        for (int row = 0; row < 8; ++row) {
            for (int col = 0; col < 8; ++col)
                luma_[k][8 * row + col] = source[row * stripWidth_ + col];
        }
    }
    const int chromaWidth = stripWidth_ / 2;
    for (int row = 0; row < 8; ++row) {
        const int16_t* cb =
            cbStrip_.data() + static_cast<size_t>(row) * chromaWidth + 8 * mcuColumn;
        const int16_t* cr =
            crStrip_.data() + static_cast<size_t>(row) * chromaWidth + 8 * mcuColumn;
        for (int col = 0; col < 8; ++col) {
            cb_[8 * row + col] = cb[col];
            cr_[8 * row + col] = cr[col];
        }
    }
}

void JpegEncoder::CodeComponentBlock(const int* samples, const Quantiser& quantiser, int& predictor,
                                     int table) {
    dct_.Transform(samples, coefficients_);
    uint64_t nonZero = quantiser.Apply(coefficients_, quantised_);
    CodeNaturalBlock(quantised_, nonZero, predictor, jpeg_tables::Huffman(table), *stream_);
}
