#pragma once
// The Cut icon's region selector: a full-screen top-most window over a frozen copy of the
// screen, veiled grey except for the rectangle being chosen, which carries move and resize
// handles and a size label with OK and Cancel buttons. Every position is kept in the screen's
// physical pixels, whatever scale factor Qt applies, so the result is what the recorder records.
#include <QDialog>
#include <QPixmap>
#include <QRect>
#include <functional>
#include <optional>

class RegionSelector : public QDialog {
    Q_OBJECT
public:
    // Where the pointer is on the screen, in physical pixels, asked of the display server.
    using PointerFn = std::function<std::optional<QPoint>()>;

    // Takes the copy of the screen now. `pointer`, when given, places the mouse to the exact
    // pixel under a fractional or whole scale factor, which Qt's events round to logical pixels.
    explicit RegionSelector(QWidget* parent = nullptr, PointerFn pointer = {});

    // The chosen rectangle, normalised, in physical pixels.
    QRect Result() const { return tracker_.normalized(); }
    bool HasRect() const { return hasRect_; }
    bool Drawing() const { return drawing_; }
    // The size label's panel and its two buttons (empty while there is no label).
    QRect LabelRect() const;
    QRect OkButtonRect() const;
    QRect CancelButtonRect() const;
    int OkState() const { return okState_; }
    int CancelState() const { return cancelState_; }

    // Where each handle of the tracker is hit: 0..7 the handles, 8 the middle, -1 outside.
    int HitTest(QPoint physical) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPoint Physical(const QPointF& logical) const;
    QRect Handle(int index) const;
    void RemoveRect();
    void UpdateHot(QPoint at);
    // Repaints the union of what the tracker, the label and the rectangle covered and cover now.
    void RepaintAround(const QRect& before, const QRect& beforeLabel);

    PointerFn pointer_;
    QPixmap screenShot_;
    double ratio_ = 1.0;
    QSize screenSize_;  // physical
    QRect tracker_{QPoint(-20, -20), QPoint(-20, -20)};
    QPoint anchor_;
    bool drawing_ = false;
    bool hasRect_ = false;
    bool buttonsActive_ = false;
    int okState_ = 0, cancelState_ = 0;  // 0 normal, 1 pressed, 2 hot
    // The handle (or middle) being dragged, and where the drag began.
    int dragHit_ = -1;
    QPoint dragFrom_;
    QRect dragStart_;
};
