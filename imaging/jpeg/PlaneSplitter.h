#pragma once
// A bitmap to the encoder's three planes (R, G, B, each width x height bytes, row 0 at the top),
// read from the last stored row upward.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/jpeg/DibImage.h"

struct ColourPlanes {
    int width = 0;
    int height = 0;
    std::unique_ptr<uint8_t[]> red, green, blue;  // width x height bytes each
};

// Reads 24-bit pixels (B, G, R) and 4- and 8-bit palette indices (a nibble high first, or a byte;
// an index past the colour table reads as black). Throws EJpegRequestError(kUnsupportedBitmapText)
// for every other layout: 1-, 16- and 32-bit pixels, compressed or top-down rows, sides outside
// 1..65535 and bits that do not hold every row.
ColourPlanes SplitPlanes(const DibImage& image);
