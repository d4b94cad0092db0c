#include "platform/os/IncomingConnection.h"

#include <cerrno>

#include "platform/os/WindowHost.h"

IncomingConnection::IncomingConnection(UnixSocket socket, HWND window)
    : socket_(std::move(socket)),
      window_(window),
      notifier_(std::make_unique<QSocketNotifier>(socket_.Fd(), QSocketNotifier::Read)),
      idle_(std::make_unique<QTimer>()) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        Use use(*this);
        WindowHost::Instance().ServeConnection(this);
    });
    idle_->setSingleShot(true);
    idle_->setInterval(kIdleLimitMs);
    QObject::connect(idle_.get(), &QTimer::timeout, [this] {
        Use use(*this);
        WindowHost::Instance().CloseConnection(this);
    });
    idle_->start();
}

IncomingConnection::~IncomingConnection() {
    Shutdown();
}

void IncomingConnection::Shutdown() {
    if (notifier_) notifier_->setEnabled(false);
    if (idle_) idle_->stop();
    socket_.Close();
}

IncomingConnection::ReadResult IncomingConnection::ReadInto(uint8_t* data, size_t size,
                                                            size_t& have) {
    while (have < size) {
        long got = socket_.Receive(data + have, size - have);
        if (got == 0) return ReadResult::Finished;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? ReadResult::Pending
                                                           : ReadResult::Finished;
        have += static_cast<size_t>(got);
        idle_->start();
    }
    return ReadResult::Complete;
}

bool IncomingConnection::Serve() {
    if (serving_) return true;  // already reading further up the stack
    Use use(*this);
    serving_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{serving_};
    while (!stopping_ && socket_) {
        if (!frame_) {
            ReadResult read = ReadInto(header_.data(), header_.size(), headerBytes_);
            if (read != ReadResult::Complete) return read == ReadResult::Pending;
            frame_ = MessageFrame::Decode(header_);
            // A reply is never addressed to a window, and a frame for another window is not ours.
            if (!frame_ || frame_->kind == FrameKind::Reply || frame_->target != window_)
                return false;
            payload_.assign(frame_->payloadSize, 0);
            payloadBytes_ = 0;
        }
        ReadResult read = ReadInto(payload_.data(), payload_.size(), payloadBytes_);
        if (read != ReadResult::Complete) return read == ReadResult::Pending;
        MessageFrame frame = *frame_;
        frame_.reset();
        headerBytes_ = 0;
        if (!Deliver(frame)) return false;
    }
    return false;
}

bool IncomingConnection::Deliver(const MessageFrame& frame) {
    WindowHost& host = WindowHost::Instance();
    if (frame.kind == FrameKind::Post) {
        host.PostLocal(window_, frame.message, frame.wParam, frame.lParam);
        return true;
    }
    COPYDATASTRUCT data;
    LPARAM lParam = frame.lParam;
    if (frame.message == WM_COPYDATA) {
        data.dwData = static_cast<ULONG_PTR>(frame.lParam);
        data.cbData = static_cast<DWORD>(payload_.size());
        data.lpData = payload_.empty() ? nullptr : payload_.data();
        lParam = reinterpret_cast<LPARAM>(&data);
    }
    // A procedure may run a nested event loop (a dialog): this connection must not be read
    // again meanwhile.
    notifier_->setEnabled(false);
    idle_->stop();
    LRESULT result = 0;
    bool delivered = host.Dispatch(window_, frame.message, frame.wParam, lParam, &result);
    if (!delivered || !socket_) return false;
    MessageFrame reply;
    reply.kind = FrameKind::Reply;
    reply.sequence = frame.sequence;
    reply.target = frame.target;
    reply.message = frame.message;
    reply.lParam = result;
    MessageFrame::Header bytes = reply.Encode();
    // The sender is waiting with an empty socket buffer: the reply fits, or the peer misbehaves.
    if (socket_.Send(bytes.data(), bytes.size()) != static_cast<long>(bytes.size())) return false;
    if (stopping_) return false;
    notifier_->setEnabled(true);
    idle_->start();
    return true;
}
