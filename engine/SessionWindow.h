#pragma once
// The capture session's child window: a Qt widget that hosts the video window and takes its
// mouse input, paired with a message window (platform/os) that carries the session's timers.
// Mouse input from the widget, and from the video window that drains into it, becomes the
// WM_ mouse messages of the session's window procedure; timer ticks arrive as WM_TIMER.
// UI thread only.
#include <QWidget>
#include <memory>

#include "platform/dshow/DShowTypes.h"
#include "platform/os/MessageWindow.h"

class SessionWindow final : public QWidget {
public:
    // Child `id` 1 of `parent`, at (0,0)-(200,200), visible.
    SessionWindow(QWidget* parent, WindowProc proc);
    ~SessionWindow() override;

    // The message window's handle (0 when it could not be created: then there are no timers).
    HWND Handle() const { return messages_ ? messages_->Handle() : HWND_NONE; }
    // The handle the video window takes as its owner and message drain.
    OAHWND VideoOwnerHandle();

    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);

    // The key-state word of a mouse message for these buttons and modifiers.
    static WPARAM KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Deliver(UINT message, QMouseEvent* event);

    std::shared_ptr<const WindowProc> proc_;
    std::unique_ptr<MessageWindow> messages_;
};
