#include "imaging/jpeg/DibImage.h"

#include <algorithm>
#include <cstdint>

#include "imaging/jpeg/JpegExceptions.h"

namespace {
size_t PaletteSizeOf(const DibHeader& header) {
    size_t size = 0;
    switch (header.biBitCount) {
        case 1:
            size = 2;
            break;
        case 4:
            size = 16;
            break;
        case 8:
            size = 256;
            break;
        case 16:
        case 24:
        case 32:
            size = 0;
            break;
        default:
            throw CDibException(1, kPaletteErrorText);
    }
    return header.biClrUsed != 0 ? header.biClrUsed : size;
}

size_t ImageSizeOf(const DibHeader& header) {
    if (header.biSizeImage != 0) return header.biSizeImage;
    if (header.biWidth <= 0 || header.biHeight == 0) return 0;
    // Rows of whole 32-bit words. Unsigned 64-bit: stride < 2^33 and rows <= 2^31, so even the
    // sizes a header can claim but no computer holds do not overflow.
    uint64_t stride =
        (uint64_t{header.biBitCount} * static_cast<uint32_t>(header.biWidth) + 31) / 32 * 4;
    uint64_t rows = header.biHeight < 0 ? 0 - static_cast<uint64_t>(header.biHeight)
                                        : static_cast<uint64_t>(header.biHeight);
    uint64_t size = stride * rows;
    return size > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(size);
}
}  // namespace

DibImage::DibImage(const DibHeader& header, std::span<const RgbQuad> colours,
                   std::span<const uint8_t> bits)
    : header_(header), imageSize_(ImageSizeOf(header)) {
    size_t paletteSize = PaletteSizeOf(header);
    if (colours.size() < paletteSize) throw CDibException(1, kPaletteErrorText);
    colours_.assign(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(paletteSize));
    size_t copied = std::min(imageSize_, bits.size());
    bits_.assign(bits.begin(), bits.begin() + static_cast<std::ptrdiff_t>(copied));
}
