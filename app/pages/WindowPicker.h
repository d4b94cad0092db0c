#pragma once
// The Plus icon's window picking: while the left button is held after pressing the icon, the
// window under the pointer (our own windows passed over) is outlined and its rectangle becomes
// the capture area; releasing takes the outline away and keeps the last area. Coordinates are
// the screen's physical pixels.
#include <QObject>
#include <QPointF>
#include <functional>
#include <memory>

#include "app/pages/CaptureGeometry.h"

class QWidget;
class X11WindowPicker;

class WindowPicker : public QObject {
    Q_OBJECT
public:
    using AreaChanged = std::function<void(const CaptureArea& area)>;

    WindowPicker(QWidget* page, AreaChanged changed);
    ~WindowPicker() override;

    // Left button down on `icon`: the picking cursor, the mouse captured.
    void Begin(QWidget* icon);
    // A mouse move while picking.
    void Move();
    // The button released.
    void End();
    bool Picking() const { return icon_ != nullptr; }
    // The window outlined now (0: none).
    unsigned long Outlined() const { return outlined_; }
    bool OutlineShown() const;
    // Where the pointer is on the recorded screen, in physical pixels: asked of the X server when
    // there is one, else Qt's cursor position scaled by the screen's pixel ratio.
    QPointF Pointer();

private:
    // The X server's connection, opened at first use.
    X11WindowPicker* Desktop();

    QWidget* page_;
    AreaChanged changed_;
    std::unique_ptr<X11WindowPicker> desktop_;
    bool desktopTried_ = false;
    QWidget* icon_ = nullptr;
    unsigned long outlined_ = 0;
    bool anyFound_ = false;
};
