#pragma once
// One client connection of the streaming server: reads its request, sends its answer and, for a
// player, the data packets from its position in the shared ring. Every socket call is
// nonblocking; the connection holds at most its answer head and one packet in flight, so a slow
// or vanished client costs no memory. Server thread only.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/mmsh/MmshFraming.h"
#include "components/mmsh/MmshRequest.h"
#include "components/mmsh/PacketRing.h"

class MmshConnection {
public:
    using Clock = std::chrono::steady_clock;
    enum class Phase {
        Request,    // reading the request
        Answering,  // sending a finite answer, then lingering
        Streaming,  // sending packets as the ring grows
        Lingering,  // our side is done; draining the client's bytes so the close is clean
        Done,       // to be removed
    };

    MmshConnection(int fd, std::string address, uint32_t clientId, Clock::time_point now);
    ~MmshConnection();
    MmshConnection(const MmshConnection&) = delete;
    MmshConnection& operator=(const MmshConnection&) = delete;

    int Fd() const { return fd_; }
    Phase CurrentPhase() const { return phase_; }
    const std::string& Address() const { return address_; }
    uint32_t ClientId() const { return clientId_; }
    const MmshRequestParser& Parser() const { return parser_; }
    // Packets this client missed because it could not keep up.
    uint64_t SkippedPackets() const { return skipped_; }
    uint64_t NextIndex() const { return nextIndex_; }
    // The socket buffer was full at the last send: pump again on POLLOUT only.
    bool Blocked() const { return blocked_; }

    // A player that has handed every packet of the ring to its socket.
    bool CaughtUp(const PacketRing& ring) const;

    // poll(2) events this connection waits for.
    short PollEvents() const;
    // Reads what the client sent: the request while in Request phase, else discarded.
    void OnReadable();
    // A finite answer (head + body), after which the connection lingers and closes.
    void Answer(std::string head, std::span<const uint8_t> body);
    // Head + body, then packets from `fromIndex` on; `framed` wraps each packet in $D.
    void Stream(std::string head, std::span<const uint8_t> body, uint64_t fromIndex, bool framed);
    // Sends what it can; `sourceEnded` lets a player that caught up get its $E.
    void Pump(const PacketRing& ring, bool sourceEnded, Clock::time_point now);
    // Ends the connection now, with a final $E when a packet boundary allows it.
    void Shutdown();
    // Request, linger and stall time-outs.
    void CheckTimeouts(Clock::time_point now, Clock::duration requestTimeout, Clock::duration stallTimeout,
                       Clock::duration lingerTimeout);

private:
    bool SendPending(Clock::time_point now);
    bool SendPacket(Clock::time_point now);
    void BeginLinger(Clock::time_point now);
    void Close();

    int fd_;
    std::string address_;
    uint32_t clientId_;
    Phase phase_ = Phase::Request;
    MmshRequestParser parser_;
    Clock::time_point since_;         // start of the current phase
    Clock::time_point lastProgress_;  // last time the client took bytes
    bool peerClosed_ = false;
    bool blocked_ = false;  // the socket buffer is full; wait for POLLOUT

    std::vector<uint8_t> pending_;
    size_t pendingSent_ = 0;

    bool framed_ = true;
    uint64_t nextIndex_ = 0;
    uint64_t skipped_ = 0;
    std::shared_ptr<const LivePacket> current_;
    std::array<uint8_t, mmsh_framing::kDataPrefixSize> prefix_{};
    size_t prefixSize_ = 0;
    size_t currentSent_ = 0;  // of prefix + packet
};
