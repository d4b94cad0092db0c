#pragma once
// The message windows of this process and the connections other processes opened to them.
// Everything here runs on the UI thread (the thread of the Qt application object); other threads
// reach windows only through their sockets, which the UI thread serves from its event loop.
//
// Incoming sent messages are served as they arrive, also while the UI thread itself waits in a
// SendMessage to another process (WaitServing), so that two windows calling each other back do
// not deadlock; posted messages wait for the event loop.
#include <QObject>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/os/IncomingConnection.h"
#include "platform/os/WindowCore.h"
#include "platform/os/WindowTypes.h"

class WindowHost {
public:
    using Clock = std::chrono::steady_clock;

    // UI thread only: check OnUiThread() first where a caller may be another thread.
    static WindowHost& Instance();
    static bool OnUiThread();

    // Creates a window listening in the runtime folder; on failure the HRESULT says why.
    HRESULT CreateWindow(std::string className, std::string title, WindowProc proc, HWND* handle);
    // WM_DESTROY to the procedure, then the window is gone for every process.
    bool DestroyWindow(HWND handle);
    // A window of this process that still exists (also during its WM_DESTROY), or null.
    WindowCore* Find(HWND handle) const;
    HRESULT SetTitle(HWND handle, std::string title);

    // Calls the window procedure synchronously; false when there is no such window.
    bool Dispatch(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Delivers the message from the event loop, if the window still exists then.
    void PostLocal(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

    // Callbacks of the cores and connections.
    void AcceptOn(HWND handle);
    void ServeConnection(IncomingConnection* connection);
    void CloseConnection(IncomingConnection* connection);

    // Waits until `fd` reports one of `events` (its revents are returned) or the deadline
    // passes (0). On the UI thread, sent messages for this process's windows are served
    // meanwhile. fd -1 just waits while serving.
    static short WaitServing(int fd, short events, Clock::time_point deadline);

    ~WindowHost();

private:
    WindowHost() = default;
    void Retire(std::unique_ptr<HostedObject> object);
    void CollectRetired();
    void QueueCollect();
    void ServeReady(const std::vector<struct pollfd>& fds, const std::vector<HWND>& listeners,
                    size_t firstConnection);

    static constexpr size_t kMaxConnections = 128;

    QObject context_;  // queued calls run on the UI thread
    std::map<HWND, std::unique_ptr<WindowCore>> windows_;
    std::map<int, std::unique_ptr<IncomingConnection>> connections_;
    std::vector<std::unique_ptr<HostedObject>> retired_;
    bool collectQueued_ = false;
    std::mt19937 random_{std::random_device{}()};
};
