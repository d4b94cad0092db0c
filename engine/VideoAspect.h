#pragma once
// The arithmetic that keeps the source aspect inside the video window's destination rectangle.
#include <cstdint>

struct VideoRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const VideoRect&, const VideoRect&) = default;
};

// a * b / c rounded half away from zero, as the Windows MulDiv; -1 when c is 0 or the result
// does not fit 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// The destination narrowed (pillar box) or flattened (letter box) to the source's aspect and
// centred in it. A source without a size leaves the destination as it is.
VideoRect FitToAspect(int32_t sourceWidth, int32_t sourceHeight, const VideoRect& destination);
