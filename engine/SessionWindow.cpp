#include "engine/SessionWindow.h"

#include <QMouseEvent>

#include "engine/SessionMessages.h"
#include "platform/dshow/filters/VideoOwner.h"
#include "platform/os/WindowMessages.h"

SessionWindow::SessionWindow(QWidget* parent, WindowProc proc)
    : QWidget(parent), proc_(std::make_shared<const WindowProc>(std::move(proc))) {
    setGeometry(0, 0, 200, 200);
    setMouseTracking(true);
    // The procedure is shared, so a message that destroys the session cannot pull it away
    // while it runs.
    std::weak_ptr<const WindowProc> procedure = proc_;
    messages_ = MessageWindow::Create("OrvantaCaptureSession", "", [procedure](HWND window, UINT message, WPARAM wParam,
                                                                              LPARAM lParam) -> LRESULT {
        if (auto p = procedure.lock()) return (*p)(window, message, wParam, lParam);
        return DefWindowProc(window, message, wParam, lParam);
    });
    show();
}

SessionWindow::~SessionWindow() { messages_.reset(); }

OAHWND SessionWindow::VideoOwnerHandle() { return RegisterVideoOwner(this); }

UINT_PTR SessionWindow::SetTimer(UINT_PTR id, UINT elapseMs) {
    return messages_ ? ::SetTimer(messages_->Handle(), id, elapseMs) : 0;
}

bool SessionWindow::KillTimer(UINT_PTR id) { return messages_ && ::KillTimer(messages_->Handle(), id); }

WPARAM SessionWindow::KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM state = 0;
    if (buttons & Qt::LeftButton) state |= MK_LBUTTON;
    if (buttons & Qt::RightButton) state |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) state |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) state |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) state |= MK_CONTROL;
    return state;
}

void SessionWindow::Deliver(UINT message, QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    // Keep the procedure alive for the call even if it destroys this window.
    std::shared_ptr<const WindowProc> proc = proc_;
    (*proc)(Handle(), message, KeyState(event->buttons(), event->modifiers()), MakePointParam(at.x(), at.y()));
}

void SessionWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Deliver(WM_LBUTTONDOWN, event);
    else if (event->button() == Qt::RightButton) Deliver(WM_RBUTTONDOWN, event);
    QWidget::mousePressEvent(event);
}

void SessionWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Deliver(WM_LBUTTONUP, event);
    else if (event->button() == Qt::RightButton) Deliver(WM_RBUTTONUP, event);
    QWidget::mouseReleaseEvent(event);
}

void SessionWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not the base handler: it would report the second press as a press too.
    if (event->button() == Qt::LeftButton) Deliver(WM_LBUTTONDBLCLK, event);
    else if (event->button() == Qt::RightButton) Deliver(WM_RBUTTONDOWN, event);
    event->accept();
}

void SessionWindow::mouseMoveEvent(QMouseEvent* event) {
    Deliver(WM_MOUSEMOVE, event);
    QWidget::mouseMoveEvent(event);
}
