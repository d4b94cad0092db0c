#include "platform/dshow/filters/FrameScaler.h"

#include <algorithm>
#include <cstring>
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

// Per target column: where its left source pixel starts in a blended row (in bytes of the
// frame), how far its right neighbour lies (0 when the weight is 0) and that neighbour's weight.
struct Column {
    int offset;
    int next;
    uint32_t weight;
};

// mix[i] = top[i] * (256 - wy) + bottom[i] * wy, which fits 16 bits. Written with vector types
// because the compiler vectorises the plain loop at -O3 only, and the program is built at -O2.
void MixRows(const uint8_t* top, const uint8_t* bottom, uint32_t wy, size_t count, uint16_t* mix) {
    using Bytes = uint8_t __attribute__((vector_size(16)));
    using Words = uint16_t __attribute__((vector_size(32)));
    const auto keep = static_cast<uint16_t>(256 - wy), take = static_cast<uint16_t>(wy);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        Bytes t, b;
        std::memcpy(&t, top + i, sizeof t);
        std::memcpy(&b, bottom + i, sizeof b);
        const Words blended = __builtin_convertvector(t, Words) * keep + __builtin_convertvector(b, Words) * take;
        std::memcpy(mix + i, &blended, sizeof blended);
    }
    for (; i < count; ++i) mix[i] = static_cast<uint16_t>(top[i] * keep + bottom[i] * take);
}

// Bilinear is separable: each target row first blends its two source rows into `mix` (16 bits a
// channel, contiguous), then each target pixel blends two neighbours of `mix`. The products and
// the one rounding are those of blending both at once.
template <int Bpp>
void ScaleRows(const FrameView& frame, const QRect& from, const Axis& xs, const Axis& ys, QImage& out) {
    const int lastRow = from.bottom();
    auto row = [&](int pictureRow) {
        int bufferRow = frame.bottomUp ? frame.height - 1 - pictureRow : pictureRow;
        return frame.data + static_cast<ptrdiff_t>(bufferRow) * frame.stride;
    };
    // The source columns the target reads: the left ones, and the neighbour of the last.
    const int firstColumn = xs.first.front();
    const int lastColumn = std::min(xs.first.back() + 1, from.right());
    const size_t span = static_cast<size_t>(lastColumn - firstColumn + 1) * Bpp;
    std::vector<uint16_t> mix(span);
    std::vector<Column> columns(xs.first.size());
    for (size_t x = 0; x < columns.size(); ++x) {
        const uint32_t weight = static_cast<uint32_t>(xs.weight[x]);
        columns[x] = {(xs.first[x] - firstColumn) * Bpp, weight ? Bpp : 0, weight};
    }
    for (int y = 0; y < out.height(); ++y) {
        const int sy = ys.first[static_cast<size_t>(y)];
        const uint32_t wy = static_cast<uint32_t>(ys.weight[static_cast<size_t>(y)]);
        const uint8_t* top = row(sy) + static_cast<ptrdiff_t>(firstColumn) * Bpp;
        const uint8_t* bottom = row(std::min(sy + 1, lastRow)) + static_cast<ptrdiff_t>(firstColumn) * Bpp;
        MixRows(top, bottom, wy, span, mix.data());
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (size_t x = 0; x < columns.size(); ++x) {
            const Column& c = columns[x];
            const uint16_t* a = mix.data() + c.offset;
            const uint16_t* b = a + c.next;
            // The channels spelled out: at -O2 the compiler keeps a loop over them.
            const uint32_t keep = 256 - c.weight;
            const uint32_t blue = (a[0] * keep + b[0] * c.weight + 32768) >> 16;
            const uint32_t green = (a[1] * keep + b[1] * c.weight + 32768) >> 16;
            const uint32_t red = (a[2] * keep + b[2] * c.weight + 32768) >> 16;
            dst[x] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
}
}  // namespace

bool ScaleFrame(const FrameView& frame, QRect from, const QSize& size, const QRect& visible, QImage& out) {
    if (!frame.data || size.isEmpty() || frame.width <= 0 || frame.height <= 0) return false;
    if (frame.bytesPerPixel != 3 && frame.bytesPerPixel != 4) return false;
    from &= QRect(0, 0, frame.width, frame.height);
    const QRect part = visible & QRect(QPoint(0, 0), size);
    if (from.isEmpty() || part.isEmpty()) return false;
    if (out.size() != part.size() || out.format() != QImage::Format_RGB32) out = QImage(part.size(), QImage::Format_RGB32);
    if (out.isNull()) return false;
    const Axis xs = MakeAxis(from.left(), from.width(), size.width(), part.left(), part.right() + 1);
    const Axis ys = MakeAxis(from.top(), from.height(), size.height(), part.top(), part.bottom() + 1);
    if (frame.bytesPerPixel == 4) {
        ScaleRows<4>(frame, from, xs, ys, out);
    } else {
        ScaleRows<3>(frame, from, xs, ys, out);
    }
    return true;
}
