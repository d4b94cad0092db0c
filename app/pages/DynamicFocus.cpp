#include "app/pages/DynamicFocus.h"


namespace {
constexpr int kTickMs = 33;
constexpr double kSteps = 6;
}  // namespace

DynamicFocus::DynamicFocus(Apply apply, MousePosition mouse, QObject* parent)
    : QObject(parent), apply_(std::move(apply)), mouse_(std::move(mouse)) {
    for (QTimer* timer : {&zoomIn_, &follow_, &zoomOut_}) timer->setInterval(kTickMs);
    connect(&zoomIn_, &QTimer::timeout, this, &DynamicFocus::ZoomInTick);
    connect(&follow_, &QTimer::timeout, this, &DynamicFocus::FollowTick);
    connect(&zoomOut_, &QTimer::timeout, this, &DynamicFocus::ZoomOutTick);
}

void DynamicFocus::Reset(const FocusRect& full) {
    Stop();
    full_ = current_ = target_ = full;
}

void DynamicFocus::Stop() {
    zoomIn_.stop();
    follow_.stop();
    zoomOut_.stop();
    zoomed_ = false;
}

void DynamicFocus::StartSteps() {
    stepLeft_ = (target_.left - current_.left) / kSteps;
    stepTop_ = (target_.top - current_.top) / kSteps;
    stepRight_ = (target_.right - current_.right) / kSteps;
    stepBottom_ = (target_.bottom - current_.bottom) / kSteps;
}

void DynamicFocus::Send() {
    if (apply_) {
        apply_(static_cast<int>(current_.left), static_cast<int>(current_.top), static_cast<int>(current_.right),
               static_cast<int>(current_.bottom));
    }
}

void DynamicFocus::ZoomIn(bool recording) {
    if (!recording || zoomed_ || zoomIn_.isActive()) return;
    zoomOut_.stop();
    const QPointF mouse = mouse_ ? mouse_() : QPointF();
    target_ = ZoomTarget(full_, mouse.x(), mouse.y());
    StartSteps();
    follow_.stop();
    zoomIn_.start();
}

void DynamicFocus::ZoomInTick() {
    current_.left += stepLeft_;
    current_.top += stepTop_;
    current_.right += stepRight_;
    current_.bottom += stepBottom_;
    // A small tolerance: six float steps may fall a hair short of the target.
    if (current_.Width() <= target_.Width() + 1e-6) {
        current_ = target_;
        zoomed_ = true;
        zoomIn_.stop();
        follow_.start();
    }
    Send();
}

void DynamicFocus::FollowTick() {
    if (!zoomed_) return;
    const QPointF mouse = mouse_ ? mouse_() : QPointF();
    current_ = CentredInside(mouse.x(), mouse.y(), target_.Width(), target_.Height(), full_);
    Send();
}

void DynamicFocus::ZoomOut(bool recording) {
    if (!recording || !zoomed_ || zoomOut_.isActive()) return;
    target_ = full_;
    StartSteps();
    follow_.stop();
    zoomOut_.start();
}

void DynamicFocus::ZoomOutTick() {
    current_.left += stepLeft_;
    current_.top += stepTop_;
    current_.right += stepRight_;
    current_.bottom += stepBottom_;
    if (current_.Width() >= full_.Width() - 1e-6) {
        current_ = full_;
        zoomed_ = false;
        zoomOut_.stop();
    }
    Send();
}
