#pragma once
// What stands behind one message window of this process: its class name, title and procedure,
// the listening socket other processes connect to, and its timers. Owned by the WindowHost.
// Created, used and destroyed on the UI thread.
#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/os/HostedObject.h"
#include "platform/os/UnixSocket.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowTypes.h"

using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

class WindowCore : public QObject, public HostedObject {
public:
    WindowCore(HWND handle, std::string className, std::string title, WindowProc proc,
               UnixSocket listener, WindowDirectory directory);
    ~WindowCore() override;

    HWND Handle() const { return handle_; }
    // Unique for the life of the process, unlike handles (a later window may get the same one).
    uint64_t Serial() const { return serial_; }
    const std::string& ClassName() const { return className_; }
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    // A shared copy, so that a procedure that destroys its own window keeps running safely.
    std::shared_ptr<const WindowProc> Procedure() const { return proc_; }

    const UnixSocket& Listener() const { return listener_; }
    // Where the window was published (the runtime folder of its creation).
    const WindowDirectory& Directory() const { return directory_; }
    bool Destroying() const { return destroying_; }
    // Stops listening and kills every timer: the first step of destruction.
    void BeginDestroy();

    // WM_TIMER with wParam `id` every `elapseMs` (at least 10 ms); a running timer of that id is
    // restarted. Returns the id, or 0 when the window is being destroyed or id is 0.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    HWND handle_;
    uint64_t serial_;
    std::string className_;
    std::string title_;
    std::shared_ptr<const WindowProc> proc_;
    UnixSocket listener_;
    WindowDirectory directory_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::map<UINT_PTR, int> qtTimerById_;
    std::map<int, UINT_PTR> idByQtTimer_;
    bool destroying_ = false;
};
