#pragma once
// Scales a rectangle of an uncompressed RGB frame (DIB layout: BGR24 or BGRX32 rows, bottom-up
// when `bottomUp`) to a size, upright and bilinear, into a 32-bit image the window blits as it
// is. Drawing the frame through QPainter instead converts every BGR888 span to 32 bits, runs
// the flip as a general transform and fans the fill out to Qt's thread pool: for a 640x480
// preview in a small window that cost more than the overlay and the colour conversion together.
#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>

struct FrameView {
    const uint8_t* data = nullptr;
    int width = 0, height = 0;
    int stride = 0;      // bytes from one buffer row to the next
    int bytesPerPixel = 3;  // 3 (B, G, R) or 4 (B, G, R, unused)
    bool bottomUp = false;  // the first buffer row is the bottom of the picture
};

// Scales `from` (picture coordinates, top-down; cut to the frame) to `size` and keeps the part
// `visible` of the result (coordinates in the scaled picture) in `out`, which is reused when it
// already has that size. Returns false, leaving `out` alone, when nothing is left to show.
bool ScaleFrame(const FrameView& frame, QRect from, const QSize& size, const QRect& visible, QImage& out);
