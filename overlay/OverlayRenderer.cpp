#include "overlay/OverlayRenderer.h"

#include <algorithm>
#include <cstring>


namespace {
// Far beyond any capture size, and small enough that stride x height stays well inside size_t.
constexpr int32_t kMaxDimension = 1 << 15;

inline uint32_t Div255(uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

// Source-over of a premultiplied layer onto the frame's B, G, R bytes. The layers are drawn with
// QPainter; blending them in here instead of through a QPainter on a BGR888 view of the frame
// costs a third as much (0.07 against 0.21 ms a frame at 640x480 with text, date and logo), as
// Qt converts every span of a BGR888 target to and from 32 bits. Overlay pixels are mostly fully
// transparent or opaque, so those two cases cost a test and a store.
void BlendLayer(uint8_t* frame, const FrameLayout& layout, const OverlayLayer& layer) {
    const QRect target = QRect(layer.bufferTopLeft, layer.image.size()) & QRect(0, 0, layout.width, layout.height);
    if (target.isEmpty()) return;
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(layer.image.constScanLine(y - layer.bufferTopLeft.y())) +
                          (target.left() - layer.bufferTopLeft.x());
        uint8_t* dst = frame + static_cast<size_t>(y) * static_cast<size_t>(layout.stride) +
                       static_cast<size_t>(target.left()) * 3;
        for (int x = 0; x < target.width(); ++x, dst += 3) {
            const QRgb s = src[x];
            const uint32_t a = s >> 24;
            if (a == 0) continue;
            if (a == 255) {
                dst[0] = static_cast<uint8_t>(s);
                dst[1] = static_cast<uint8_t>(s >> 8);
                dst[2] = static_cast<uint8_t>(s >> 16);
                continue;
            }
            const uint32_t keep = 255 - a;
            dst[0] = static_cast<uint8_t>((s & 0xFF) + Div255(dst[0] * keep));
            dst[1] = static_cast<uint8_t>(((s >> 8) & 0xFF) + Div255(dst[1] * keep));
            dst[2] = static_cast<uint8_t>(((s >> 16) & 0xFF) + Div255(dst[2] * keep));
        }
    }
}
}  // namespace

std::optional<FrameLayout> Rgb24Layout(int32_t biWidth, int32_t biHeight) {
    if (biWidth <= 0 || biWidth > kMaxDimension || biHeight == 0 || biHeight < -kMaxDimension ||
        biHeight > kMaxDimension)
        return std::nullopt;
    FrameLayout layout;
    layout.width = biWidth;
    layout.height = biHeight < 0 ? -biHeight : biHeight;
    layout.bottomUp = biHeight > 0;
    // Bitmap rows are padded to a multiple of four bytes.
    layout.stride = (biWidth * 3 + 3) & ~3;
    return layout;
}

void CopyFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, size_t length, size_t imageBytes) {
    const size_t picture = std::min({imageBytes, inSize, outSize});
    std::memcpy(out, in, picture);
    const size_t end = std::min(length, outSize);
    if (end > picture) std::memset(out + picture, 0, end - picture);
}

void OverlayRenderer::Draw(uint8_t* frame, const FrameLayout& layout, const OverlayParams& params,
                           const OverlayTextBytes& text, const LocalDateTime& now) {
    const OverlayLayer* layers[3] = {};
    int count = 0;
    if (params.showImage) {
        const OverlayLayer& l = image_.Update(params, layout, images_);
        if (!l.Empty()) layers[count++] = &l;
    }
    if (params.showText) {
        const OverlayLayer& l = text_.Update(params, text, layout, fonts_, images_);
        if (!l.Empty()) layers[count++] = &l;
    }
    if (params.showDate) {
        const OverlayLayer& l = date_.Update(params, now, layout, fonts_);
        if (!l.Empty()) layers[count++] = &l;
    }

    for (int i = 0; i < count; ++i) BlendLayer(frame, layout, *layers[i]);
}
