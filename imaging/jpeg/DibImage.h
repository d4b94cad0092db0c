#pragma once
// A copy of one device-independent bitmap: its header, its pixel bits and its colour table.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/jpeg/Dib.h"

class DibImage {
public:
    // colours: the colour table that follows the header, as many entries as the caller holds;
    // bits: the pixel data the caller holds. At most ImageSize() bytes are copied.
    // Throws CDibException(1, kPaletteErrorText) for a bit count other than 1, 4, 8, 16, 24 or 32,
    // or when the colour table holds fewer entries than the palette needs.
    DibImage(const DibHeader& header, std::span<const RgbQuad> colours,
             std::span<const uint8_t> bits);

    const DibHeader& Header() const { return header_; }
    int Width() const { return header_.biWidth; }
    int Height() const { return header_.biHeight; }
    int BitCount() const { return header_.biBitCount; }
    // 2, 16 or 256 by bit count (0 above 8 bits), unless the header's colour-used count says.
    size_t PaletteSize() const { return colours_.size(); }
    std::span<const RgbQuad> Colours() const { return colours_; }
    // The header's image size, or rows of whole 32-bit words times height when it gives none.
    size_t ImageSize() const { return imageSize_; }
    // The copied pixel bits: ImageSize() bytes, or fewer when the caller held fewer.
    std::span<const uint8_t> Bits() const { return bits_; }

private:
    DibHeader header_;
    size_t imageSize_ = 0;
    std::vector<RgbQuad> colours_;
    std::vector<uint8_t> bits_;
};
