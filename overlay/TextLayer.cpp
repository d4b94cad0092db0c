#include "overlay/TextLayer.h"

#include <cstring>

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include "overlay/HatchPatterns.h"

namespace {
QColor Opaque(Rgb c) { return QColor(c.r, c.g, c.b); }

QString DrawnText(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (text.size() > kDrawnTextCharacters) {
        qsizetype keep = kDrawnTextCharacters;
        if (text[keep - 1].isHighSurrogate()) --keep;
        text.truncate(keep);
    }
    return text;
}

// Lays the text out in lines of at most `width` pixels. Lines break at word boundaries, and inside
// a word that is longer than a whole line.
void LayOut(QTextLayout& layout, qreal width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

// The outline of every laid-out line, in frame coordinates, filled alternately.
QPainterPath TextPath(const QTextLayout& layout, const QFont& font, const QPointF& origin) {
    QPainterPath path;
    const QString& text = layout.text();
    for (int i = 0; i < layout.lineCount(); ++i) {
        QTextLine line = layout.lineAt(i);
        QString part = text.mid(line.textStart(), line.textLength());
        part.remove(QChar::LineSeparator);
        if (part.isEmpty()) continue;
        path.addText(origin.x() + line.x(), origin.y() + line.y() + line.ascent(), font, part);
    }
    path.setFillRule(Qt::OddEvenFill);
    return path;
}
}  // namespace

TextLayer::Key TextLayer::MakeKey(const OverlayParams& p, const OverlayTextBytes& text, const FrameLayout& frame,
                                  uint64_t texture) const {
    Key k;
    k.text.assign(text.data(), ::strnlen(text.data(), text.size()));
    k.style = p.textStyle;
    k.face = std::string(p.textFontName.View());
    k.size = p.textFontSize;
    k.fontStyle = p.textFontStyle;
    k.textColor = p.textColor;
    k.backColor = p.outlineBackColor;
    k.borderColor = p.outlineBorderColor;
    k.hatchFore = p.hatchForeColor;
    k.hatchBack = p.hatchBackColor;
    k.hatchStyle = p.hatchStyle;
    k.texture = texture;
    k.x = p.textX;
    k.y = p.textY;
    k.width = frame.width;
    k.height = frame.height;
    k.bottomUp = frame.bottomUp;
    return k;
}

const OverlayLayer& TextLayer::Update(const OverlayParams& params, const OverlayTextBytes& text,
                                      const FrameLayout& frame, FontCache& fonts, ImageCache& images) {
    std::shared_ptr<const CachedImage> texture;
    if (params.textStyle == kTextTexture) texture = images.Get(params.textureImagePath.View());
    Key key = MakeKey(params, text, frame, texture ? texture->generation : 0);
    if (!valid_ || !(key == key_)) {
        key_ = std::move(key);
        valid_ = true;
        Build(params, frame, fonts, texture ? &texture->image : nullptr);
    }
    return layer_;
}

void TextLayer::Build(const OverlayParams& p, const FrameLayout& frame, FontCache& fonts, const QImage* texture) {
    layer_.Clear();
    const QString text = DrawnText(key_.text);
    if (text.isEmpty() || frame.width <= 0 || frame.height <= 0) return;
    const QRectF box(p.textX, p.textY, frame.width, frame.height);
    const QRect frameRect(0, 0, frame.width, frame.height);

    const bool outline = p.textStyle == kTextOutline || p.textStyle == kTextOutlineFilled;
    if (!outline && p.textStyle != kTextSolid && p.textStyle != kTextHatch && p.textStyle != kTextTexture) return;
    // The outline styles use the face itself: an unknown face draws nothing there.
    std::optional<QFont> font = fonts.Resolve(p.textFontName.View(), p.textFontSize, p.textFontStyle,
                                              outline ? FontFallback::None : FontFallback::SansSerif);
    if (!font) return;

    QString flowing = text;
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, *font);
    LayOut(layout, box.width());

    QRect area;
    QPainterPath path;
    QBrush brush;
    if (outline) {
        path = TextPath(layout, *font, box.topLeft());
        area = path.boundingRect().adjusted(-2, -2, 2, 2).toAlignedRect();
    } else {
        if (p.textStyle == kTextSolid) {
            brush = QBrush(Opaque(p.textColor));
        } else if (p.textStyle == kTextHatch) {
            QImage tile = HatchTile(p.hatchStyle, p.hatchForeColor, p.hatchBackColor);
            if (tile.isNull()) return;
            brush = QBrush(tile);
        } else {
            if (!texture || texture->isNull()) return;
            brush = QBrush(*texture);
        }
        // Glyphs may reach past their advance box (italics, accents): leave room around it.
        const int pad = p.textFontSize / 4 + 2;
        area = layout.boundingRect().translated(box.topLeft()).toAlignedRect().adjusted(-pad, -pad, pad, pad);
    }
    area &= box.toAlignedRect();
    area &= frameRect;
    if (area.isEmpty()) return;

    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        // Logical coordinates are frame coordinates, so hatch and texture tiles start at the
        // frame's top-left corner whatever part of the frame the layer covers.
        painter.translate(-area.topLeft());
        painter.setClipRect(box);
        if (outline) {
            if (p.textStyle == kTextOutlineFilled) painter.fillPath(path, Opaque(p.outlineBackColor));
            painter.strokePath(path, QPen(Opaque(p.outlineBorderColor), 1.0));
        } else {
            painter.setPen(QPen(brush, 1.0));
            layout.draw(&painter, box.topLeft());
        }
    }
    layer_ = MakeLayer(std::move(image), area, frame);
}
