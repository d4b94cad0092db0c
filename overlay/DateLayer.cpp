#include "overlay/DateLayer.h"

#include <QFontMetricsF>
#include <QPainter>

const OverlayLayer& DateLayer::Update(const OverlayParams& p, const LocalDateTime& now, const FrameLayout& frame,
                                      FontCache& fonts) {
    Key key{FormatOverlayDate(p.dateFormat, now),
            std::string(p.dateFontName.View()),
            p.dateFontSize,
            p.dateFontStyle,
            p.dateColor,
            p.dateX,
            p.dateY,
            frame.width,
            frame.height,
            frame.bottomUp};
    if (!valid_ || !(key == key_)) {
        key_ = std::move(key);
        valid_ = true;
        Build(frame, fonts);
    }
    return layer_;
}

void DateLayer::Build(const FrameLayout& frame, FontCache& fonts) {
    layer_.Clear();
    std::optional<QFont> font = fonts.Resolve(key_.face, key_.size, key_.fontStyle, FontFallback::SansSerif);
    if (!font || frame.width <= 0 || frame.height <= 0) return;
    const QString text = QString::fromUtf8(key_.text.data(), static_cast<qsizetype>(key_.text.size()));
    // A point, not a box: the text runs on to the right and down as far as it goes.
    const QRectF at(key_.x, key_.y, 0, 0);
    const int flags = Qt::TextDontClip | Qt::AlignLeft | Qt::AlignTop;
    const int pad = key_.size / 4 + 2;
    QRect area = QFontMetricsF(*font).boundingRect(at, flags, text).toAlignedRect().adjusted(-pad, -pad, pad, pad);
    area &= QRect(0, 0, frame.width, frame.height);
    if (area.isEmpty()) return;

    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(-area.topLeft());
        painter.setFont(*font);
        painter.setPen(QColor(key_.color.r, key_.color.g, key_.color.b));
        painter.drawText(at, flags, text);
    }
    layer_ = MakeLayer(std::move(image), area, frame);
}
