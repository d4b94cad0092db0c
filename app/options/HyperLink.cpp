#include "app/options/HyperLink.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/options/ColorRef.h"
#include "app/options/LinkOpener.h"

namespace {

// The link colours, given as the system writes them (0x00BBGGRR).
constexpr COLORREF kHoverColour = 0x0000FF;
constexpr COLORREF kPressedColour = 0x808000;
constexpr COLORREF kVisitedColour = 0x800080;
constexpr COLORREF kLinkColour = 0xFF0000;

}  // namespace

HyperLink::HyperLink(QWidget* parent) : QLabel(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    UpdateLook();
}

void HyperLink::SetURL(const std::string& target) {
    bool wasVisible = isVisible();
    if (wasVisible) hide();
    target_ = target;
    setToolTip(QString::fromStdString(target_));
    if (wasVisible) show();
}

void HyperLink::SetLink(bool on) {
    link_ = on;
    if (on) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    UpdateLook();
}

void HyperLink::SetVisited(bool visited) {
    visited_ = visited;
    UpdateLook();
}

bool HyperLink::Follow() {
    if (!OpenLinkOrTell(target_)) return false;
    SetVisited(true);
    return true;
}

void HyperLink::UpdateLook() {
    COLORREF colour = kLinkColour;
    if (hover_) {
        colour = kHoverColour;
    } else if (pressed_ || hasFocus()) {
        colour = kPressedColour;
    } else if (visited_) {
        colour = kVisitedColour;
    }
    QPalette look = palette();
    if (link_) {
        look.setColor(QPalette::WindowText, ToQColor(colour));
    } else {
        look.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    }
    setPalette(look);
    update();
}

void HyperLink::enterEvent(QEnterEvent* event) {
    hover_ = link_;
    UpdateLook();
    QLabel::enterEvent(event);
}

void HyperLink::leaveEvent(QEvent* event) {
    hover_ = false;
    UpdateLook();
    QLabel::leaveEvent(event);
}

void HyperLink::mousePressEvent(QMouseEvent* event) {
    if (link_ && event->button() == Qt::LeftButton) {
        pressed_ = true;
        UpdateLook();
        return;
    }
    QLabel::mousePressEvent(event);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    UpdateLook();
    // Released away from the label: the user changed their mind.
    if (rect().contains(event->position().toPoint())) Follow();
}

void HyperLink::keyPressEvent(QKeyEvent* event) {
    if (link_ && event->key() == Qt::Key_Space) {
        Follow();
        return;
    }
    QLabel::keyPressEvent(event);
}

void HyperLink::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    UpdateLook();
}

void HyperLink::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    UpdateLook();
}
