#pragma once
// Pictures for the encoder's tests and benchmark, generated so that every run sees the same
// pixels: a photograph-like scene (smooth sky, lit hills, fractal texture, sensor noise, hard
// edges), pure noise, and flat synthetic graphics (bars, text-like strokes, gradients).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/jpeg/Dib.h"

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // R, G, B per pixel, row 0 at the top

    const uint8_t* At(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
};

RgbPicture PhotoPicture(int width, int height, unsigned seed = 1);
RgbPicture NoisePicture(int width, int height, unsigned seed = 1);
RgbPicture SyntheticPicture(int width, int height);

// The picture as a 24-bit bottom-up bitmap, rows padded to 4 bytes.
struct Dib24 {
    DibHeader header;
    std::vector<uint8_t> bits;
};
Dib24 ToDib24(const RgbPicture& picture);
