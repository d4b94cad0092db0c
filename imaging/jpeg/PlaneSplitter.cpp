#include "imaging/jpeg/PlaneSplitter.h"

#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/PixelRows.h"

namespace {
constexpr int kMaxSide = 65535;

[[noreturn]] void Unsupported() {
    throw EJpegRequestError(kUnsupportedBitmapText);
}
}  // namespace

ColourPlanes SplitPlanes(const DibImage& image) {
    const DibHeader& header = image.Header();
    const int width = header.biWidth, height = header.biHeight, bitCount = header.biBitCount;
    if (bitCount != 24 && bitCount != 8 && bitCount != 4) Unsupported();
    if (header.biCompression != kDibRgb) Unsupported();
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) Unsupported();
    const size_t stride = (static_cast<size_t>(bitCount) * width + 31) / 32 * 4;
    std::span<const uint8_t> bits = image.Bits();
    if (bits.size() / stride < static_cast<size_t>(height)) Unsupported();

    ColourPlanes planes;
    planes.width = width;
    planes.height = height;
    const size_t pixels = static_cast<size_t>(width) * height;
    // Every byte is written below: no need to clear them first.
    planes.red = std::make_unique_for_overwrite<uint8_t[]>(pixels);
    planes.green = std::make_unique_for_overwrite<uint8_t[]>(pixels);
    planes.blue = std::make_unique_for_overwrite<uint8_t[]>(pixels);

    std::span<const RgbQuad> colours = image.Colours();
    static constexpr RgbQuad kBlack{};
    auto colourOf = [&](unsigned index) -> const RgbQuad& {
        return index < colours.size() ? colours[index] : kBlack;
    };

    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * stride;
        uint8_t* r = planes.red.get() + static_cast<size_t>(y) * width;
        uint8_t* g = planes.green.get() + static_cast<size_t>(y) * width;
        uint8_t* b = planes.blue.get() + static_cast<size_t>(y) * width;
        if (bitCount == 24) {
            SplitBgrRow(row, width, r, g, b);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            unsigned index =
                bitCount == 8 ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15);
            const RgbQuad& c = colourOf(index);
            r[x] = c.rgbRed;
            g[x] = c.rgbGreen;
            b[x] = c.rgbBlue;
        }
    }
    return planes;
}
