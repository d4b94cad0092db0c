#include "app/pages/HoverTip.h"

#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <algorithm>

namespace {
constexpr int kMargin = 5;
constexpr int kPointerHeight = 15;
constexpr int kPointerHalfWidth = 8;
const QColor kBack(255, 247, 187);
const QColor kFrame(102, 102, 102);
// How near the mouse must stay to the anchor for the tip to stay.
constexpr int kAnchorSlack = 24;
}  // namespace

HoverTip::HoverTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("HoverTip"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(13);
    setFont(tahoma);
    show_.setSingleShot(true);
    show_.setInterval(20);
    connect(&show_, &QTimer::timeout, this, [this] {
        Place();
        show();
        raise();
        check_.start();
    });
    check_.setInterval(1500);
    connect(&check_, &QTimer::timeout, this, &HoverTip::CheckMouse);
}

void HoverTip::ShowTip(const QString& text, QPoint anchor, int pointerFromRight) {
    if (text == text_ && anchor == anchor_ && (isVisible() || show_.isActive())) return;
    if (text != text_) hide();
    text_ = text;
    anchor_ = anchor;
    pointerFromRight_ = pointerFromRight;
    show_.start();
}

void HoverTip::HideTip() {
    show_.stop();
    check_.stop();
    hide();
    text_.clear();
    anchor_ = QPoint();
}

void HoverTip::Place() {
    const QSize text = QFontMetrics(font()).size(0, text_);
    const int width = text.width() + 2 * kMargin + 2;
    const int height = text.height() + 2 * kMargin + 2;
    pointerX_ = std::max(10, width - pointerFromRight_);
    const int fullWidth = std::max(width, pointerX_ + kPointerHalfWidth + 1);
    resize(fullWidth, height + kPointerHeight);
    move(anchor_.x() - pointerX_, anchor_.y() - height - kPointerHeight);
    // The window takes the shape of the body and its pointer (no compositor needed).
    QPolygon pointer;
    pointer << QPoint(pointerX_ - kPointerHalfWidth - 1, height - 1) << QPoint(pointerX_, height + kPointerHeight)
            << QPoint(pointerX_ + kPointerHalfWidth + 1, height - 1);
    setMask(QRegion(0, 0, width, height) | QRegion(pointer));
}

void HoverTip::CheckMouse() {
    if ((QCursor::pos() - anchor_).manhattanLength() > kAnchorSlack) HideTip();
}

void HoverTip::paintEvent(QPaintEvent*) {
    const QSize text = QFontMetrics(font()).size(0, text_);
    const int bodyHeight = text.height() + 2 * kMargin + 2;
    const QRectF body(0.5, 0.5, text.width() + 2 * kMargin + 1, bodyHeight - 1);
    QPainterPath outline;
    outline.addRect(body);
    QPainterPath pointer;
    pointer.moveTo(pointerX_ - kPointerHalfWidth, body.bottom());
    pointer.lineTo(pointerX_, body.bottom() + kPointerHeight);
    pointer.lineTo(pointerX_ + kPointerHalfWidth, body.bottom());
    pointer.closeSubpath();
    outline = outline.united(pointer);
    QPainter p(this);
    p.setPen(kFrame);
    p.setBrush(kBack);
    p.drawPath(outline);
    p.setPen(Qt::black);
    p.drawText(QRect(kMargin + 1, kMargin + 1, text.width(), text.height()), Qt::AlignLeft | Qt::AlignTop, text_);
}
