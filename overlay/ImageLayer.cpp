#include "overlay/ImageLayer.h"

#include <algorithm>

const OverlayLayer& ImageLayer::Update(const OverlayParams& p, const FrameLayout& frame, ImageCache& images) {
    std::shared_ptr<const CachedImage> picture = images.Get(p.imagePath.View());
    if (!picture) {
        valid_ = false;
        layer_.Clear();
        return layer_;
    }
    Key key{picture->generation, p.imageAlpha, p.KeyEnabled(), p.keyColor, p.imageX, p.imageY,
            frame.width,         frame.height, frame.bottomUp};
    if (!valid_ || !(key == key_)) {
        key_ = key;
        valid_ = true;
        Build(picture->image, frame);
    }
    return layer_;
}

void ImageLayer::Build(const QImage& picture, const FrameLayout& frame) {
    layer_.Clear();
    const QRect placed(key_.x, key_.y, picture.width(), picture.height());
    const QRect area = placed & QRect(0, 0, frame.width, frame.height);
    if (area.isEmpty()) return;

    // Opacity above 100 percent cannot make a pixel more than opaque.
    const int percent = std::min<int>(key_.alpha, 100);
    const QRgb key = qRgb(key_.keyColor.r, key_.keyColor.g, key_.keyColor.b) & 0x00FFFFFF;
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < area.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(picture.constScanLine(y + area.y() - placed.y())) +
                          (area.x() - placed.x());
        auto* dst = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const QRgb px = src[x];
            const int alpha = qAlpha(px);
            const int faded = (alpha * percent + 50) / 100;
            int combined = faded;
            if (key_.keyed && (px & 0x00FFFFFF) != key) combined = alpha + (faded * (255 - alpha) + 127) / 255;
            dst[x] = qPremultiply(qRgba(qRed(px), qGreen(px), qBlue(px), combined));
        }
    }
    layer_ = MakeLayer(std::move(layer), area, frame);
}
