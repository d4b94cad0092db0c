#include "app/options/ColorButton.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionButton>

namespace {

constexpr int kArrowWidth = 12;

}  // namespace

ColorButton::ColorButton(QWidget* parent)
    : QPushButton(parent), defaultColour_(FromQColor(QApplication::palette().color(QPalette::Dark))) {
    connect(this, &QPushButton::clicked, this, &ColorButton::Open);
}

void ColorButton::SetColour(COLORREF colour) {
    colour_ = colour;
    update();
}

void ColorButton::SetDefaultColour(COLORREF colour) {
    defaultColour_ = colour;
    update();
}

void ColorButton::Open() {
    if (popup_) return;
    colourBeforeOpening_ = colour_;
    popup_ = new ColorPopup(mapToGlobal(QPoint(0, height())), colour_, this, defaultText_, customText_);
    if (chooser_) popup_->SetColourChooser(chooser_);
    connect(popup_, &ColorPopup::SelectionChanged, this, &ColorButton::OnSelectionChanged);
    connect(popup_, &ColorPopup::Finished, this, &ColorButton::OnFinished);
    popup_->show();
    popup_->setFocus();
    update();
    emit Notify(CPN_DROPDOWN, colour_, controlId_);
}

void ColorButton::OnSelectionChanged(COLORREF colour) {
    if (trackSelection_) SetColour(colour);
    emit Notify(CPN_SELCHANGE, colour, controlId_);
}

void ColorButton::OnFinished(bool picked, COLORREF colour) {
    popup_ = nullptr;
    update();
    emit Notify(CPN_CLOSEUP, colour, controlId_);
    if (!picked) {
        SetColour(colourBeforeOpening_);
        emit Notify(CPN_SELENDCANCEL, colourBeforeOpening_, controlId_);
        return;
    }
    SetColour(colour);
    emit Notify(CPN_SELENDOK, colour, controlId_);
    if (colour != colourBeforeOpening_) emit Notify(CPN_SELCHANGE, colour, controlId_);
}

void ColorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    if (popup_) option.state |= QStyle::State_Sunken;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);

    QRect inner = rect().adjusted(4, 4, -4, -4);
    if (popup_) inner.translate(1, 1);
    const QPalette& look = palette();
    // The arrow: a small triangle at the right.
    QRect arrow(inner.right() - kArrowWidth + 1, inner.top(), kArrowWidth, inner.height());
    QPointF centre = QRectF(arrow).center();
    QPolygonF triangle({centre + QPointF(-3.5, -2), centre + QPointF(3.5, -2), centre + QPointF(0, 2)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? QColor(Qt::black) : look.color(QPalette::Disabled, QPalette::WindowText));
    painter.drawPolygon(triangle);
    // The etched separator between swatch and arrow.
    int x = arrow.left() - 2;
    painter.setPen(look.color(QPalette::Dark));
    painter.drawLine(x, inner.top(), x, inner.bottom());
    painter.setPen(look.color(QPalette::Light));
    painter.drawLine(x + 1, inner.top(), x + 1, inner.bottom());
    if (!isEnabled()) return;
    QRect swatch(inner.left(), inner.top(), x - 2 - inner.left(), inner.height());
    painter.fillRect(swatch, ToQColor(colour_ == kAutomatic ? defaultColour_ : colour_));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}
