#include "app/options/ColorPopup.h"

#include <QApplication>
#include <QColorDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

#include "platform/os/ModalDialog.h"

namespace {

struct NamedColour {
    COLORREF value;
    const char* name;
};

// Values as the settings files hold them (0x00BBGGRR).
constexpr NamedColour kColours[ColorPopup::kColourCount] = {
    {0x000000, "Black"},          {0x002AA5, "Brown"},         {0x404000, "Dark Olive Green"},
    {0x005500, "Dark Green"},     {0x5E0000, "Dark Teal"},     {0x8B0000, "Dark blue"},
    {0x82004B, "Indigo"},         {0x282828, "Dark grey"},     {0x00008B, "Dark red"},
    {0x2068FF, "Orange"},         {0x008B8B, "Dark yellow"},   {0x009300, "Green"},
    {0x8E8E38, "Teal"},           {0xFF0000, "Blue"},          {0xC07B7B, "Blue-grey"},
    {0x666666, "Grey - 40"},      {0x0000FF, "Red"},           {0x5BADFF, "Light orange"},
    {0x32CD32, "Lime"},           {0x71B33C, "Sea green"},     {0xD4FF7F, "Aqua"},
    {0xC09E7D, "Light blue"},     {0x800080, "Violet"},        {0x7F7F7F, "Grey - 50"},
    {0xCBC0FF, "Pink"},           {0x00D7FF, "Gold"},          {0x00FFFF, "Yellow"},
    {0x00FF00, "Bright green"},   {0xD0E040, "Turquoise"},     {0xFFFFC0, "Skyblue"},
    {0x480048, "Plum"},           {0xC0C0C0, "Light grey"},    {0xE1E4FF, "Rose"},
    {0x8CB4D2, "Tan"},            {0xE0FFFF, "Light yellow"},  {0x98FB98, "Pale green "},
    {0xEEEEAF, "Pale turquoise"}, {0x8B8368, "Pale blue"},     {0xFAE6E6, "Lavender"},
    {0xFFFFFF, "White"},
};

constexpr int kRows = ColorPopup::kColourCount / ColorPopup::kColumns;
constexpr int kMargin = 4;
constexpr int kGap = 2;

std::optional<COLORREF> AskQtColourDialog(COLORREF initial, QWidget* parent) {
    QColorDialog dialog(ToQColor(initial), parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (RunModalDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return FromQColor(dialog.selectedColor());
}

}  // namespace

COLORREF ColorPopup::ColourValue(int index) { return kColours[index].value; }

const char* ColorPopup::ColourName(int index) { return kColours[index].name; }

ColorPopup::ColorPopup(QPoint topLeft, COLORREF initial, QWidget* parent, const QString& automaticText,
                       const QString& moreColorsText)
    : QWidget(parent, Qt::Popup),
      initial_(initial),
      current_(initial),
      automaticText_(automaticText),
      moreColorsText_(moreColorsText),
      chooser_(AskQtColourDialog) {
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QApplication::font("QMenu"));
    int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    boxSize_ = std::max(18, 2 * edge + 7);
    textHeight_ = fontMetrics().height() + 2 * kGap + 2;
    if (initial == kAutomatic) {
        highlighted_ = automaticText_.isEmpty() ? kNoBox : kAutomaticBox;
    } else {
        for (int i = 0; i < kColourCount; ++i) {
            if (kColours[i].value == initial) highlighted_ = i;
        }
    }
    QRect last = BoxRect(moreColorsText_.isEmpty() ? kColourCount - 1 : kMoreColorsBox);
    setFixedSize(kMargin + kColumns * boxSize_ + kMargin, last.bottom() + 1 + kMargin);
    move(topLeft);
}

QRect ColorPopup::BoxRect(int box) const {
    int gridTop = kMargin + (automaticText_.isEmpty() ? 0 : textHeight_ + kGap);
    int width = kColumns * boxSize_;
    if (box == kAutomaticBox) return automaticText_.isEmpty() ? QRect() : QRect(kMargin, kMargin, width, textHeight_);
    if (box == kMoreColorsBox) {
        return moreColorsText_.isEmpty() ? QRect()
                                         : QRect(kMargin, gridTop + kRows * boxSize_ + kGap, width, textHeight_);
    }
    if (box < 0 || box >= kColourCount) return {};
    return QRect(kMargin + box % kColumns * boxSize_, gridTop + box / kColumns * boxSize_, boxSize_, boxSize_);
}

int ColorPopup::BoxAt(QPoint point) const {
    for (int box = kAutomaticBox; box < kColourCount; ++box) {
        if (BoxRect(box).contains(point)) return box;
    }
    return kNoBox;
}

void ColorPopup::Highlight(int box) {
    if (box == highlighted_) return;
    highlighted_ = box;
    update();
    if (box == kAutomaticBox || (box >= 0 && box < kColourCount)) {
        current_ = box == kAutomaticBox ? kAutomatic : kColours[box].value;
        emit SelectionChanged(current_);
    }
}

void ColorPopup::Pick(int box) {
    if (box == kMoreColorsBox) {
        if (choosing_) return;
        // The grid goes away while the dialog is up; hiding it for the dialog is no cancel.
        choosing_ = true;
        hide();
        std::optional<COLORREF> chosen = chooser_(current_, parentWidget());
        if (chosen) {
            Finish(true, *chosen);
        } else {
            Finish(false, initial_);
        }
        return;
    }
    if (box == kAutomaticBox) {
        Finish(true, kAutomatic);
    } else if (box >= 0 && box < kColourCount) {
        Finish(true, kColours[box].value);
    } else {
        Finish(true, current_);
    }
}

void ColorPopup::Finish(bool picked, COLORREF colour) {
    if (finished_) return;
    finished_ = true;
    emit Finished(picked, colour);
    close();
}

// The boxes in keyboard order are "Automatic", the colours row by row, "More Colors..."; Left
// and Right walk that order, Up and Down move a row, leaving the grid for the text boxes.
int ColorPopup::Step(int box, int key) const {
    std::vector<int> order;
    if (!automaticText_.isEmpty()) order.push_back(kAutomaticBox);
    for (int i = 0; i < kColourCount; ++i) order.push_back(i);
    if (!moreColorsText_.isEmpty()) order.push_back(kMoreColorsBox);
    auto at = std::find(order.begin(), order.end(), box);
    if (at == order.end()) return 0;
    bool hasAutomatic = !automaticText_.isEmpty(), hasMore = !moreColorsText_.isEmpty();
    constexpr int kLastRow = kColourCount - kColumns;
    switch (key) {
    case Qt::Key_Left: return at == order.begin() ? order.back() : *(at - 1);
    case Qt::Key_Right: return at + 1 == order.end() ? order.front() : *(at + 1);
    case Qt::Key_Down:
        if (box == kAutomaticBox) return 0;
        if (box == kMoreColorsBox) return order.front();
        if (box < kLastRow) return box + kColumns;
        return hasMore ? kMoreColorsBox : hasAutomatic ? kAutomaticBox : box - kLastRow;
    case Qt::Key_Up:
        if (box == kMoreColorsBox) return kLastRow;
        if (box == kAutomaticBox) return order.back() == kMoreColorsBox ? kMoreColorsBox : kLastRow;
        if (box >= kColumns) return box - kColumns;
        return hasAutomatic ? kAutomaticBox : hasMore ? kMoreColorsBox : box + kLastRow;
    default: return box;
    }
}

void ColorPopup::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape: Finish(false, initial_); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Pick(highlighted_); return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: Highlight(Step(highlighted_, event->key())); return;
    default: QWidget::keyPressEvent(event);
    }
}

void ColorPopup::mouseMoveEvent(QMouseEvent* event) {
    int box = BoxAt(event->position().toPoint());
    if (box != kNoBox) Highlight(box);
}

void ColorPopup::mouseReleaseEvent(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    if (!rect().contains(at)) {
        Finish(false, initial_);
        return;
    }
    int box = BoxAt(at);
    if (box != kNoBox) Pick(box);
}

void ColorPopup::hideEvent(QHideEvent* event) {
    // Qt hides a popup on a click outside it: that is a cancel.
    if (!choosing_) Finish(false, initial_);
    QWidget::hideEvent(event);
}

bool ColorPopup::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        int box = BoxAt(help->pos());
        if (box >= 0) {
            QToolTip::showText(help->globalPos(), QString::fromUtf8(kColours[box].name), this, BoxRect(box));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

void ColorPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& look = palette();
    painter.fillRect(rect(), look.color(QPalette::Window));
    painter.setPen(look.color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    auto frame = [&](const QRect& box, bool highlighted, bool current) {
        if (highlighted) {
            painter.fillRect(box, look.color(QPalette::Highlight).lighter(160));
            painter.setPen(look.color(QPalette::Highlight));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        } else if (current) {
            painter.setPen(look.color(QPalette::Shadow));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
    };
    for (int box : {kAutomaticBox, kMoreColorsBox}) {
        QRect area = BoxRect(box);
        if (area.isEmpty()) continue;
        frame(area, highlighted_ == box, box == kAutomaticBox && initial_ == kAutomatic);
        painter.setPen(look.color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignCenter, box == kAutomaticBox ? automaticText_ : moreColorsText_);
    }
    for (int i = 0; i < kColourCount; ++i) {
        QRect area = BoxRect(i);
        frame(area, highlighted_ == i, initial_ == kColours[i].value);
        QRect swatch = area.adjusted(3, 3, -3, -3);
        painter.fillRect(swatch, ToQColor(kColours[i].value));
        painter.setPen(look.color(QPalette::Dark));
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    }
}
