#include "components/pavisse/CursorOverlay.h"

#include <algorithm>
#include <cstddef>

void CompositeCursor(const CursorPicture& cursor, int pointerX, int pointerY, uint8_t* picture, int width,
                     int height, int stride, int originX, int originY) {
    if (cursor.pixels.empty() || !picture) return;
    const int left = pointerX - cursor.hotX - originX;
    const int top = pointerY - cursor.hotY - originY;
    const int x0 = std::max(0, -left), x1 = std::min(cursor.width, width - left);
    const int y0 = std::max(0, -top), y1 = std::min(cursor.height, height - top);
    for (int y = y0; y < y1; ++y) {
        const uint32_t* src = cursor.pixels.data() + static_cast<size_t>(y) * cursor.width;
        uint8_t* dst = picture + static_cast<ptrdiff_t>(top + y) * stride + static_cast<ptrdiff_t>(left) * 4;
        for (int x = x0; x < x1; ++x) {
            const uint32_t p = src[x];
            const uint32_t a = p >> 24;
            if (a == 0) continue;
            uint8_t* d = dst + x * 4;
            // Premultiplied: out = cursor + screen * (1 - alpha).
            const uint32_t keep = 255 - a;
            d[0] = static_cast<uint8_t>(std::min<uint32_t>(255, (p & 0xFF) + (d[0] * keep + 127) / 255));
            d[1] = static_cast<uint8_t>(std::min<uint32_t>(255, ((p >> 8) & 0xFF) + (d[1] * keep + 127) / 255));
            d[2] = static_cast<uint8_t>(std::min<uint32_t>(255, ((p >> 16) & 0xFF) + (d[2] * keep + 127) / 255));
        }
    }
}
