#pragma once
// A pre-rendered overlay (text, date or image) ready to be blended onto frames: built once when
// its settings change and then only composited, which is what keeps the per-frame cost low.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

// How the frame buffer is laid out: RGB24 rows of `stride` bytes, bottom row first unless topDown.
struct FrameLayout {
    int width = 0;
    int height = 0;
    int stride = 0;
    bool bottomUp = true;

    QSize Size() const { return QSize(width, height); }
    // Bytes from the first row to the end of the last one.
    size_t ImageBytes() const { return static_cast<size_t>(stride) * static_cast<size_t>(height); }
};

struct OverlayLayer {
    // Format_ARGB32_Premultiplied, rows already in the frame buffer's order.
    QImage image;
    // Position of image's first row and column in buffer coordinates.
    QPoint bufferTopLeft;

    bool Empty() const { return image.isNull(); }
    void Clear() { image = QImage(); }
};

// Puts an image drawn top-down at `displayRect` (frame coordinates as shown) into the frame's row
// order.
inline OverlayLayer MakeLayer(QImage topDown, const QRect& displayRect, const FrameLayout& frame) {
    OverlayLayer layer;
    if (frame.bottomUp) {
        layer.image = topDown.mirrored(false, true);
        layer.bufferTopLeft = QPoint(displayRect.x(), frame.height - displayRect.y() - displayRect.height());
    } else {
        layer.image = std::move(topDown);
        layer.bufferTopLeft = displayRect.topLeft();
    }
    return layer;
}
