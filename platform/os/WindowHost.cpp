#include "platform/os/WindowHost.h"

#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <exception>

#include "platform/os/Win32Error.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowMessages.h"

WindowHost& WindowHost::Instance() {
    static WindowHost host;
    return host;
}

bool WindowHost::OnUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

WindowHost::~WindowHost() {
    for (auto& [handle, core] : windows_) core->Directory().Remove(handle);
    connections_.clear();
    windows_.clear();
    retired_.clear();
}

HRESULT WindowHost::CreateWindow(std::string className, std::string title, WindowProc proc,
                                 HWND* handle) {
    *handle = 0;
    if (!OnUiThread()) return RPC_E_WRONG_THREAD;
    if (className.empty() || className.size() > WindowDirectory::kMaxClassName ||
        title.size() > WindowDirectory::kMaxTitle) {
        return E_INVALIDARG;
    }
    auto directory = WindowDirectory::Open();
    if (!directory) return E_ACCESSDENIED;
    CollectRetired();
    // The socket file is the allocation: bind fails when another window of any process holds
    // the number, so handles stay unique per user.
    std::uniform_int_distribution<HWND> pick(0x00010000, 0x7FFFFFFF);
    for (int attempt = 0; attempt < 64; ++attempt) {
        HWND candidate = pick(random_);
        if (windows_.count(candidate)) continue;
        UnixSocket listener;
        int error = UnixSocket::Listen(directory->SocketPath(candidate), listener);
        if (error == EADDRINUSE) continue;
        if (error != 0) return HResultFromErrno(error);
        HRESULT hr = directory->Publish(WindowRecord{candidate, className, title, ::getpid()});
        if (FAILED(hr)) {
            ::unlink(directory->SocketPath(candidate).c_str());
            return hr;
        }
        windows_[candidate] =
            std::make_unique<WindowCore>(candidate, std::move(className), std::move(title),
                                         std::move(proc), std::move(listener), *directory);
        *handle = candidate;
        return S_OK;
    }
    return E_FAIL;
}

WindowCore* WindowHost::Find(HWND handle) const {
    auto found = windows_.find(handle);
    return found == windows_.end() ? nullptr : found->second.get();
}

bool WindowHost::DestroyWindow(HWND handle) {
    WindowCore* core = Find(handle);
    if (!core) return false;
    if (core->Destroying()) return true;
    // Nobody can find or reach the window from here on; its procedure still sees WM_DESTROY.
    core->BeginDestroy();
    core->Directory().Remove(handle);
    for (auto it = connections_.begin(); it != connections_.end();) {
        IncomingConnection* connection = (it++)->second.get();
        if (connection->Window() != handle) continue;
        if (connection->InUse()) {
            connection->StopAfterCurrentFrame();  // it still answers the frame it is serving
        } else {
            CloseConnection(connection);
        }
    }
    Dispatch(handle, WM_DESTROY, 0, 0, nullptr);
    auto found = windows_.find(handle);
    if (found != windows_.end()) {
        std::unique_ptr<WindowCore> owned = std::move(found->second);
        windows_.erase(found);
        Retire(std::move(owned));
    }
    return true;
}

HRESULT WindowHost::SetTitle(HWND handle, std::string title) {
    WindowCore* core = Find(handle);
    if (!core || core->Destroying()) return HResultFromWin32(ERROR_INVALID_WINDOW_HANDLE);
    if (title.size() > WindowDirectory::kMaxTitle) return E_INVALIDARG;
    HRESULT hr =
        core->Directory().Publish(WindowRecord{handle, core->ClassName(), title, ::getpid()});
    if (SUCCEEDED(hr)) core->SetTitle(std::move(title));
    return hr;
}

bool WindowHost::Dispatch(HWND handle, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT* result) {
    WindowCore* core = Find(handle);
    if (!core) return false;
    std::shared_ptr<const WindowProc> proc = core->Procedure();
    LRESULT value = 0;
    // Exceptions stop here: the procedure runs under the Qt event loop or a peer's request.
    try {
        value = *proc ? (*proc)(handle, message, wParam, lParam)
                      : DefWindowProc(handle, message, wParam, lParam);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvanta: window %08x: message 0x%04x failed: %s\n", handle, message,
                     error.what());
    } catch (...) {
        std::fprintf(stderr, "orvanta: window %08x: message 0x%04x failed\n", handle, message);
    }
    if (result) *result = value;
    return true;
}

void WindowHost::PostLocal(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    QMetaObject::invokeMethod(
        &context_,
        [this, handle, message, wParam, lParam] {
            Dispatch(handle, message, wParam, lParam, nullptr);
        },
        Qt::QueuedConnection);
}

void WindowHost::AcceptOn(HWND handle) {
    CollectRetired();
    WindowCore* core = Find(handle);
    if (!core || core->Destroying()) return;
    const long uid = static_cast<long>(::geteuid());
    for (int i = 0; i < 16; ++i) {  // the rest waits for the next round of the event loop
        UnixSocket peer = core->Listener().Accept();
        if (!peer) return;
        // The folder is closed to others; this also refuses a peer that got in some other way.
        if (peer.PeerUid() != uid || connections_.size() >= kMaxConnections) continue;
        int fd = peer.Fd();
        connections_[fd] = std::make_unique<IncomingConnection>(std::move(peer), handle);
    }
}

void WindowHost::ServeConnection(IncomingConnection* connection) {
    CollectRetired();
    if (connection->Retired()) return;
    if (!connection->Serve()) CloseConnection(connection);
}

void WindowHost::CloseConnection(IncomingConnection* connection) {
    auto found = connections_.find(connection->Fd());
    if (found == connections_.end() || found->second.get() != connection) {
        found = std::find_if(
            connections_.begin(), connections_.end(),
            [connection](const auto& entry) { return entry.second.get() == connection; });
        if (found == connections_.end()) return;
    }
    std::unique_ptr<IncomingConnection> owned = std::move(found->second);
    connections_.erase(found);
    owned->Shutdown();
    Retire(std::move(owned));
}

void WindowHost::Retire(std::unique_ptr<HostedObject> object) {
    object->Retire([this] { QueueCollect(); });
    retired_.push_back(std::move(object));
    QueueCollect();
}

void WindowHost::QueueCollect() {
    if (collectQueued_) return;
    collectQueued_ = true;
    QMetaObject::invokeMethod(
        &context_,
        [this] {
            collectQueued_ = false;
            CollectRetired();
        },
        Qt::QueuedConnection);
}

void WindowHost::CollectRetired() {
    std::vector<std::unique_ptr<HostedObject>> idle;
    for (auto& object : retired_) {
        if (!object->InUse()) idle.push_back(std::move(object));
    }
    std::erase(retired_, nullptr);
    idle.clear();
}

void WindowHost::ServeReady(const std::vector<pollfd>& fds, const std::vector<HWND>& listeners,
                            size_t firstConnection) {
    for (size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        if (i < firstConnection) {
            AcceptOn(listeners[i - 1]);
            continue;
        }
        auto found = connections_.find(fds[i].fd);
        if (found != connections_.end() && !found->second->InUse())
            ServeConnection(found->second.get());
    }
}

short WindowHost::WaitServing(int fd, short events, Clock::time_point deadline) {
    WindowHost* host = OnUiThread() ? &Instance() : nullptr;
    for (;;) {
        std::vector<pollfd> fds{{fd, events, 0}};
        std::vector<HWND> listeners;
        size_t firstConnection = 1;
        if (host) {
            host->CollectRetired();
            for (const auto& [handle, core] : host->windows_) {
                if (core->Destroying() || !core->Listener()) continue;
                fds.push_back({core->Listener().Fd(), POLLIN, 0});
                listeners.push_back(handle);
            }
            firstConnection = fds.size();
            for (const auto& [connectionFd, connection] : host->connections_) {
                if (!connection->InUse()) fds.push_back({connectionFd, POLLIN, 0});
            }
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        int timeout = left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
        int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return POLLERR;
        }
        if (fds[0].revents != 0) return fds[0].revents;
        if (host && ready > 0) host->ServeReady(fds, listeners, firstConnection);
        if (timeout == 0) return 0;
    }
}
