#pragma once
// The mouse cursor as the XFixes extension gives it (premultiplied ARGB), drawn over a 32-bit
// BGRX picture of a screen rectangle at the pointer position less the hot spot.
#include <cstdint>
#include <vector>

struct CursorPicture {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    unsigned long serial = 0;
    std::vector<uint32_t> pixels;  // premultiplied ARGB, row by row
};

// `picture` is `width` x `height` 32-bit pixels with `stride` bytes a row, showing the screen from
// (`originX`, `originY`); the cursor's hot spot is at screen point (`pointerX`, `pointerY`).
void CompositeCursor(const CursorPicture& cursor, int pointerX, int pointerY, uint8_t* picture, int width,
                     int height, int stride, int originX, int originY);
