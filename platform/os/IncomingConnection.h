#pragma once
// One connection from another process (or another thread) to a window of this process: reads
// frames, checks them, hands sent messages to the window procedure and writes the reply. A frame
// that fails its checks ends the connection; so does a peer that stays silent in the middle of a
// frame. Owned by the WindowHost; UI thread only.
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "platform/os/HostedObject.h"
#include "platform/os/MessageFrame.h"
#include "platform/os/UnixSocket.h"

class IncomingConnection : public HostedObject {
public:
    // Idle connections are closed after this long.
    static constexpr int kIdleLimitMs = 10000;

    IncomingConnection(UnixSocket socket, HWND window);
    ~IncomingConnection() override;

    int Fd() const { return socket_.Fd(); }
    HWND Window() const { return window_; }

    // Reads what has arrived and serves every complete frame; false when the connection is
    // finished (end of stream, malformed frame, window gone, reply not writable).
    bool Serve();
    // Stops reading: used when the window goes away while a frame is being served.
    void StopAfterCurrentFrame() { stopping_ = true; }
    void Shutdown();

private:
    enum class ReadResult { Complete, Pending, Finished };
    ReadResult ReadInto(uint8_t* data, size_t size, size_t& have);
    bool Deliver(const MessageFrame& frame);

    UnixSocket socket_;
    HWND window_;
    MessageFrame::Header header_{};
    size_t headerBytes_ = 0;
    std::optional<MessageFrame> frame_;
    std::vector<uint8_t> payload_;
    size_t payloadBytes_ = 0;
    bool stopping_ = false;
    bool serving_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> idle_;
};
