#include "platform/os/MessageClient.h"

#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>

#include "platform/os/MessageFrame.h"
#include "platform/os/UnixSocket.h"
#include "platform/os/Win32Error.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowHost.h"

namespace {

using Clock = WindowHost::Clock;

const HRESULT kWindowGone = HResultFromWin32(ERROR_INVALID_WINDOW_HANDLE);
const HRESULT kTimedOut = HResultFromWin32(ERROR_TIMEOUT);

uint32_t NextSequence() {
    static std::atomic<uint32_t> sequence{0};
    return ++sequence;
}

HRESULT Connect(const WindowDirectory& directory, HWND target, Clock::time_point deadline,
                UnixSocket& socket) {
    for (;;) {
        int error = UnixSocket::Connect(directory.SocketPath(target), socket);
        if (error == 0) return S_OK;
        if (error == ECONNREFUSED || error == ENOENT) {
            directory.Remove(target);  // what a process that died left behind
            return kWindowGone;
        }
        if (error != EAGAIN) return HResultFromErrno(error);
        // The listener's queue is full: it is alive but busy.
        if (Clock::now() >= deadline) return kTimedOut;
        WindowHost::WaitServing(-1, 0,
                                std::min(deadline, Clock::now() + std::chrono::milliseconds(5)));
    }
}

HRESULT WriteAll(const UnixSocket& socket, std::span<const uint8_t> bytes,
                 Clock::time_point deadline) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        long n = socket.Send(bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return kWindowGone;
        short revents = WindowHost::WaitServing(socket.Fd(), POLLOUT, deadline);
        if (revents == 0) return kTimedOut;
        if ((revents & POLLOUT) == 0) return kWindowGone;
    }
    return S_OK;
}

HRESULT ReadReply(const UnixSocket& socket, Clock::time_point deadline,
                  MessageFrame::Header& bytes) {
    size_t have = 0;
    while (have < bytes.size()) {
        long n = socket.Receive(bytes.data() + have, bytes.size() - have);
        if (n > 0) {
            have += static_cast<size_t>(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return kWindowGone;
        short revents = WindowHost::WaitServing(socket.Fd(), POLLIN, deadline);
        if (revents == 0) return kTimedOut;
    }
    return S_OK;
}

HRESULT Transfer(const MessageFrame& frame, std::span<const uint8_t> payload, UINT timeoutMs,
                 LRESULT* result) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto directory = WindowDirectory::Open();
    if (!directory) return kWindowGone;
    UnixSocket socket;
    HRESULT hr = Connect(*directory, frame.target, deadline, socket);
    if (FAILED(hr)) return hr;
    MessageFrame::Header header = frame.Encode();
    hr = WriteAll(socket, header, deadline);
    if (SUCCEEDED(hr) && !payload.empty()) hr = WriteAll(socket, payload, deadline);
    if (FAILED(hr) || frame.kind == FrameKind::Post) return hr;
    MessageFrame::Header replyBytes{};
    hr = ReadReply(socket, deadline, replyBytes);
    if (FAILED(hr)) return hr;
    std::optional<MessageFrame> reply = MessageFrame::Decode(replyBytes);
    if (!reply || reply->kind != FrameKind::Reply || reply->sequence != frame.sequence ||
        reply->target != frame.target || reply->message != frame.message) {
        return E_FAIL;
    }
    if (result) *result = reply->lParam;
    return S_OK;
}

}  // namespace

HRESULT MessageClient::Send(HWND target, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                            LRESULT* result) {
    if (target == 0) return kWindowGone;
    MessageFrame frame;
    frame.kind = FrameKind::Send;
    frame.sequence = NextSequence();
    frame.target = target;
    frame.message = message;
    frame.wParam = wParam;
    frame.lParam = lParam;
    std::span<const uint8_t> payload;
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->cbData > MessageFrame::kMaxPayload ||
            (data->cbData != 0 && !data->lpData)) {
            return E_INVALIDARG;
        }
        frame.lParam = static_cast<LPARAM>(data->dwData);
        frame.payloadSize = data->cbData;
        payload = {static_cast<const uint8_t*>(data->lpData), data->cbData};
    }
    return Transfer(frame, payload, timeoutMs, result);
}

HRESULT MessageClient::Post(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                            UINT timeoutMs) {
    if (message == WM_COPYDATA) return HResultFromWin32(ERROR_MESSAGE_SYNC_ONLY);
    if (target == 0) return kWindowGone;
    MessageFrame frame;
    frame.kind = FrameKind::Post;
    frame.sequence = NextSequence();
    frame.target = target;
    frame.message = message;
    frame.wParam = wParam;
    frame.lParam = lParam;
    return Transfer(frame, {}, timeoutMs, nullptr);
}
