#pragma once
// Same-size conversions between the pixel layouts a capture most often passes through (the
// camera's YUV to the overlay's RGB24, RGB24 or RGB32 to the encoder's 4:2:0), done with libyuv's
// SIMD rows: five to eight times faster than swscale for these pairs, which at 640x480 is most of
// a recording's cost outside the encoder. Planes and strides are given as swscale takes them, so a
// bottom-up DIB is its last row with a negative stride.
extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>

// Converts a width x height picture from one layout to the other. False, with nothing written,
// when the pair has no direct route here: the caller then converts with swscale.
bool ConvertPixelsDirect(AVPixelFormat from, const uint8_t* const fromPlanes[], const int fromStrides[], AVPixelFormat to,
                         uint8_t* const toPlanes[], const int toStrides[], int width, int height);
