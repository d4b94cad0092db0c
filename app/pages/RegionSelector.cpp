#include "app/pages/RegionSelector.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>
#include <cstdlib>

namespace {

const QColor kTrackerColour(255, 153, 0);
constexpr int kHandle = 7;
constexpr int kLabelWidth = 235, kLabelHeight = 26;
constexpr int kButtonWidth = 44, kButtonHeight = 22;

// The two buttons' cells touch; each face keeps a pixel clear on either side, and the caption is
// sized in pixels so that "Cancel" fits the face whatever the desktop's font settings.
void DrawButton(QPainter& p, const QRect& r, const QString& text, int state) {
    const QColor fill = state == 1 ? QColor(200, 120, 0) : (state == 2 ? QColor(255, 190, 90) : QColor(250, 250, 250));
    const QRect face = r.adjusted(1, 0, -2, -1);
    p.setPen(QColor(120, 120, 120));
    p.setBrush(fill);
    p.drawRoundedRect(face, 3, 3);
    QFont caption = p.font();
    caption.setPixelSize(11);
    p.setFont(caption);
    p.setPen(Qt::black);
    p.drawText(face, Qt::AlignCenter, text);
}

}  // namespace

RegionSelector::RegionSelector(QWidget* parent, PointerFn pointer)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool), pointer_(std::move(pointer)) {
    setObjectName(QStringLiteral("RegionSelector"));
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        ratio_ = screen->devicePixelRatio();
        screenShot_ = screen->grabWindow(0);
        screenShot_.setDevicePixelRatio(1.0);
        setGeometry(screen->geometry());
        // The copy has the screen's exact pixel size; the logical geometry times a fractional
        // ratio may be a pixel off.
        screenSize_ = screenShot_.isNull() ? (QSizeF(screen->geometry().size()) * ratio_).toSize() : screenShot_.size();
    }
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QPoint RegionSelector::Physical(const QPointF& logical) const {
    const QPoint estimate = (logical * ratio_).toPoint();
    if (ratio_ == 1.0 || !pointer_) return estimate;
    // Qt gives widgets whole logical pixels, so a scaled event cannot tell neighbouring screen
    // pixels apart. The server's pointer can, as long as it is still where the event happened;
    // one that has moved on since is not taken.
    const std::optional<QPoint> screen = pointer_();
    if (!screen) return estimate;
    const QPoint at = *screen - (QPointF(geometry().topLeft()) * ratio_).toPoint();
    const int slack = static_cast<int>(std::ceil(ratio_));
    return std::abs(at.x() - estimate.x()) <= slack && std::abs(at.y() - estimate.y()) <= slack ? at : estimate;
}

QRect RegionSelector::LabelRect() const {
    const QRect r = tracker_.normalized();
    if (!buttonsActive_ || r.isEmpty()) return {};
    int x = r.left() + 8, y = r.top() - 34;
    if (y < 0) y = r.top() + 8;
    if (screenSize_.width() > 0 && x + kLabelWidth > screenSize_.width()) x = r.right() + 1 - 8 - kLabelWidth;
    return QRect(x, y, kLabelWidth, kLabelHeight);
}

QRect RegionSelector::OkButtonRect() const {
    const QRect l = LabelRect();
    return l.isEmpty() ? QRect() : QRect(l.left() + 7, l.top() + 2, kButtonWidth, kButtonHeight);
}

QRect RegionSelector::CancelButtonRect() const {
    const QRect l = LabelRect();
    return l.isEmpty() ? QRect() : QRect(l.left() + 51, l.top() + 2, kButtonWidth, kButtonHeight);
}

QRect RegionSelector::Handle(int index) const {
    const QRect r = tracker_.normalized();
    const int xs[3] = {r.left(), r.center().x(), r.right()};
    const int ys[3] = {r.top(), r.center().y(), r.bottom()};
    // Corners 0..3 (clockwise from the top left), then the sides 4..7 (top, right, bottom, left).
    static constexpr int at[8][2] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {1, 0}, {2, 1}, {1, 2}, {0, 1}};
    return QRect(xs[at[index][0]] - kHandle / 2, ys[at[index][1]] - kHandle / 2, kHandle, kHandle);
}

int RegionSelector::HitTest(QPoint p) const {
    if (!hasRect_) return -1;
    for (int i = 0; i < 8; ++i)
        if (Handle(i).contains(p)) return i;
    return tracker_.normalized().contains(p) ? 8 : -1;
}

void RegionSelector::RemoveRect() {
    const QRect before = tracker_.normalized(), beforeLabel = LabelRect();
    tracker_ = QRect(QPoint(-20, -20), QPoint(-20, -20));
    hasRect_ = drawing_ = buttonsActive_ = false;
    okState_ = cancelState_ = 0;
    RepaintAround(before, beforeLabel);
}

void RegionSelector::RepaintAround(const QRect& before, const QRect& beforeLabel) {
    const int m = kHandle + 2;
    QRect dirty = before.adjusted(-m, -m, m, m) | beforeLabel | tracker_.normalized().adjusted(-m, -m, m, m) | LabelRect();
    // The veil around the rectangle changes with it: the whole window when the rectangle moved.
    if (before != tracker_.normalized()) dirty = rect();
    else dirty = QRectF(QRectF(dirty).topLeft() / ratio_, QRectF(dirty).size() / ratio_).toAlignedRect();
    update(dirty);
}

void RegionSelector::UpdateHot(QPoint at) {
    auto state = [&](int current, const QRect& button) {
        if (current == 1) return 1;
        return !button.isEmpty() && button.contains(at) ? 2 : 0;
    };
    const int ok = state(okState_, OkButtonRect()), cancel = state(cancelState_, CancelButtonRect());
    if (ok != okState_ || cancel != cancelState_) {
        okState_ = ok;
        cancelState_ = cancel;
        update();
    }
}

void RegionSelector::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.scale(1 / ratio_, 1 / ratio_);
    const QRect all(QPoint(0, 0), screenSize_.isEmpty() ? (QSizeF(size()) * ratio_).toSize() : screenSize_);
    if (screenShot_.isNull()) p.fillRect(all, QColor(64, 64, 64));
    else p.drawPixmap(0, 0, screenShot_);
    const QRect r = tracker_.normalized();
    const QColor veil(0, 0, 0, 128);
    p.fillRect(QRect(all.left(), all.top(), all.width(), r.top() - all.top()), veil);
    p.fillRect(QRect(all.left(), r.bottom() + 1, all.width(), all.bottom() - r.bottom()), veil);
    p.fillRect(QRect(all.left(), r.top(), r.left() - all.left(), r.height()), veil);
    p.fillRect(QRect(r.right() + 1, r.top(), all.right() - r.right(), r.height()), veil);
    if (!hasRect_) return;
    p.setPen(QPen(kTrackerColour, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    for (int i = 0; i < 8; ++i) p.fillRect(Handle(i), kTrackerColour);
    const QRect label = LabelRect();
    if (label.isEmpty()) return;
    p.setPen(QColor(90, 90, 90));
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(label.adjusted(0, 0, -1, -1));
    DrawButton(p, OkButtonRect(), QStringLiteral("OK"), okState_);
    DrawButton(p, CancelButtonRect(), QStringLiteral("Cancel"), cancelState_);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(9);
    p.setFont(tahoma);
    p.setPen(Qt::black);
    p.drawText(QRect(label.left() + 119, label.top(), label.width() - 119 - 8, label.height()),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
               QStringLiteral("W x H: %1x%2").arg(r.width()).arg(r.height()));
}

void RegionSelector::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = Physical(event->position());
    if (OkButtonRect().contains(at)) {
        okState_ = 1;
        update();
        return;
    }
    if (CancelButtonRect().contains(at)) {
        cancelState_ = 1;
        update();
        return;
    }
    const int hit = HitTest(at);
    if (hit >= 0) {
        dragHit_ = hit;
        dragFrom_ = at;
        dragStart_ = tracker_.normalized();
        return;
    }
    if (!hasRect_) {
        const QRect before = tracker_.normalized(), beforeLabel = LabelRect();
        anchor_ = at;
        tracker_ = QRect(at, QSize(4, 4));
        drawing_ = hasRect_ = buttonsActive_ = true;
        RepaintAround(before, beforeLabel);
    }
}

void RegionSelector::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = Physical(event->position());
    UpdateHot(at);
    const QRect before = tracker_.normalized(), beforeLabel = LabelRect();
    if (drawing_) {
        const QPoint from = anchor_ + QPoint(4, 4);
        tracker_ = QRect(from, QSize(at.x() - from.x(), at.y() - from.y()));
    } else if (dragHit_ >= 0) {
        const QPoint d = at - dragFrom_;
        QRect r = dragStart_;
        switch (dragHit_) {
            case 0: r.setTopLeft(r.topLeft() + d); break;
            case 1: r.setTopRight(r.topRight() + d); break;
            case 2: r.setBottomRight(r.bottomRight() + d); break;
            case 3: r.setBottomLeft(r.bottomLeft() + d); break;
            case 4: r.setTop(r.top() + d.y()); break;
            case 5: r.setRight(r.right() + d.x()); break;
            case 6: r.setBottom(r.bottom() + d.y()); break;
            case 7: r.setLeft(r.left() + d.x()); break;
            default: r.translate(d); break;
        }
        tracker_ = r;
    } else {
        const int hit = HitTest(at);
        static const Qt::CursorShape shapes[9] = {Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor,
                                                  Qt::SizeBDiagCursor, Qt::SizeVerCursor,   Qt::SizeHorCursor,
                                                  Qt::SizeVerCursor,   Qt::SizeHorCursor,   Qt::SizeAllCursor};
        setCursor(hit >= 0 ? shapes[hit] : Qt::CrossCursor);
        return;
    }
    RepaintAround(before, beforeLabel);
}

void RegionSelector::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = Physical(event->position());
    if (event->button() == Qt::RightButton) {
        if (hasRect_) RemoveRect();
        else reject();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (okState_ == 1 && OkButtonRect().contains(at)) {
        accept();
        return;
    }
    if (cancelState_ == 1 && CancelButtonRect().contains(at)) {
        reject();
        return;
    }
    okState_ = cancelState_ = 0;
    drawing_ = false;
    dragHit_ = -1;
    tracker_ = tracker_.normalized();
    UpdateHot(at);
    update();
}

void RegionSelector::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && HitTest(Physical(event->position())) == 8) accept();
}

void RegionSelector::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            if (hasRect_) RemoveRect();
            else reject();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (hasRect_) accept();
            else reject();
            break;
        default: QDialog::keyPressEvent(event);
    }
}
