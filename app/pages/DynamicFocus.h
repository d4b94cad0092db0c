#pragma once
// Dynamic Focus of the screen recorder: while recording, ZoomIn narrows the recorded rectangle in
// six 33 ms steps to half the width and height around the mouse and then follows the mouse;
// ZoomOut widens it back to the full rectangle in six steps. Every rectangle goes to `apply`
// (the control's SetCaptureRect) in whole pixels; the animation itself runs in floating point.
#include <QObject>
#include <QPointF>
#include <QTimer>
#include <functional>

#include "app/pages/CaptureGeometry.h"

class DynamicFocus : public QObject {
    Q_OBJECT
public:
    using Apply = std::function<void(int left, int top, int right, int bottom)>;
    using MousePosition = std::function<QPointF()>;  // in physical screen pixels

    DynamicFocus(Apply apply, MousePosition mouse, QObject* parent = nullptr);

    // A new recording of `full`: every state cleared.
    void Reset(const FocusRect& full);
    // Stops every animation and clears the states (the recording ended).
    void Stop();
    // Only while `recording`.
    void ZoomIn(bool recording);
    void ZoomOut(bool recording);

    bool Zoomed() const { return zoomed_; }
    bool ZoomingIn() const { return zoomIn_.isActive(); }
    bool ZoomingOut() const { return zoomOut_.isActive(); }
    const FocusRect& Current() const { return current_; }
    const FocusRect& Target() const { return target_; }
    const FocusRect& Full() const { return full_; }

    // One tick of each timer (the timers call these).
    void ZoomInTick();
    void FollowTick();
    void ZoomOutTick();

private:
    void StartSteps();
    void Send();

    Apply apply_;
    MousePosition mouse_;
    FocusRect full_, current_, target_;
    double stepLeft_ = 0, stepTop_ = 0, stepRight_ = 0, stepBottom_ = 0;
    bool zoomed_ = false;
    QTimer zoomIn_, follow_, zoomOut_;
};
