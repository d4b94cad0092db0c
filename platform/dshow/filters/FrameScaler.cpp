#include "platform/dshow/filters/FrameScaler.h"

#include <algorithm>
#include <vector>

namespace {
// Sample positions of one axis: target i reads source `first[i]` and the one after it, weighted
// by `weight[i]` / 256 towards the second. Pixel centres map onto pixel centres, so a 1:1 scale
// reads each pixel once with weight 0.
struct Axis {
    std::vector<int> first;
    std::vector<int> weight;
};

// Positions `begin` to `end` (exclusive) of `count` targets over `length` sources from `start`.
Axis MakeAxis(int start, int length, int count, int begin, int end) {
    Axis a;
    a.first.resize(static_cast<size_t>(end - begin));
    a.weight.resize(static_cast<size_t>(end - begin));
    const int64_t last = start + length - 1;
    for (int i = begin; i < end; ++i) {
        // Source position in 1/256 pixel: (i + 0.5) * length / count - 0.5, from `start`.
        int64_t pos = ((2 * static_cast<int64_t>(i) + 1) * length * 256) / (2 * static_cast<int64_t>(count)) - 128;
        pos = std::max<int64_t>(pos, 0) + static_cast<int64_t>(start) * 256;
        int64_t whole = std::min<int64_t>(pos >> 8, last);
        a.first[static_cast<size_t>(i - begin)] = static_cast<int>(whole);
        a.weight[static_cast<size_t>(i - begin)] = whole >= last ? 0 : static_cast<int>(pos & 0xFF);
    }
    return a;
}
}  // namespace

bool ScaleFrame(const FrameView& frame, QRect from, const QSize& size, const QRect& visible, QImage& out) {
    if (!frame.data || size.isEmpty() || frame.width <= 0 || frame.height <= 0) return false;
    from &= QRect(0, 0, frame.width, frame.height);
    const QRect part = visible & QRect(QPoint(0, 0), size);
    if (from.isEmpty() || part.isEmpty()) return false;
    if (out.size() != part.size() || out.format() != QImage::Format_RGB32) out = QImage(part.size(), QImage::Format_RGB32);
    if (out.isNull()) return false;
    const Axis xs = MakeAxis(from.left(), from.width(), size.width(), part.left(), part.right() + 1);
    const Axis ys = MakeAxis(from.top(), from.height(), size.height(), part.top(), part.bottom() + 1);
    const int bpp = frame.bytesPerPixel;
    const int lastRow = from.bottom();
    auto row = [&](int pictureRow) {
        int bufferRow = frame.bottomUp ? frame.height - 1 - pictureRow : pictureRow;
        return frame.data + static_cast<ptrdiff_t>(bufferRow) * frame.stride;
    };
    for (int y = 0; y < part.height(); ++y) {
        const int sy = ys.first[static_cast<size_t>(y)];
        const uint32_t wy = static_cast<uint32_t>(ys.weight[static_cast<size_t>(y)]);
        const uint8_t* top = row(sy);
        const uint8_t* bottom = row(std::min(sy + 1, lastRow));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < part.width(); ++x) {
            const int sx = xs.first[static_cast<size_t>(x)];
            const uint32_t wx = static_cast<uint32_t>(xs.weight[static_cast<size_t>(x)]);
            const int next = wx ? bpp : 0;
            const uint8_t* a = top + sx * bpp;
            const uint8_t* b = bottom + sx * bpp;
            uint32_t c[3];
            for (int k = 0; k < 3; ++k) {
                uint32_t upper = a[k] * (256 - wx) + a[k + next] * wx;
                uint32_t lower = b[k] * (256 - wx) + b[k + next] * wx;
                c[k] = (upper * (256 - wy) + lower * wy + 32768) >> 16;
            }
            dst[x] = qRgb(static_cast<int>(c[2]), static_cast<int>(c[1]), static_cast<int>(c[0]));
        }
    }
    return true;
}
