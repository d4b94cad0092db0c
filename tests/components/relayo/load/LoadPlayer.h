#pragma once
// A load-test player: reads the framed stream of one connection and remembers the send time of
// its newest data packet, so that a test can tell how far behind the live edge it is.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/AsfPacketInfo.h"

namespace relayo_load {

// A player reading the framed stream and remembering the send time of its newest packet.
struct Player {
    int fd = -1;
    std::vector<uint8_t> buffer;
    bool headDone = false;
    std::vector<uint8_t> videoStreams;
    uint64_t packets = 0;
    int64_t lastSendMs = -1;
    bool failed = false;

    void Consume() {
        if (!headDone) {
            static const std::string end = "\r\n\r\n";
            auto at = std::search(buffer.begin(), buffer.end(), end.begin(), end.end());
            if (at == buffer.end()) return;
            buffer.erase(buffer.begin(), at + 4);
            headDone = true;
        }
        size_t used = 0;
        while (buffer.size() - used >= 4) {
            const uint8_t* c = buffer.data() + used;
            size_t length = c[2] | c[3] << 8;
            if (buffer.size() - used < 4 + length) break;
            if (c[0] != '$' || length < 8) {
                failed = true;
                return;
            }
            std::span<const uint8_t> payload(c + 12, length - 8);
            if (c[1] == 'H') {
                AsfHeaderResult header = ParseAsfHeader(payload);
                if (header.ok) videoStreams = header.header.videoStreams;
            } else if (c[1] == 'D') {
                AsfPacketInfo info = ParseAsfPacket(payload, videoStreams);
                if (info.valid) lastSendMs = info.sendTimeMs;
                ++packets;
            }
            used += 4 + length;
        }
        buffer.erase(buffer.begin(), buffer.begin() + used);
    }
};

// Reads every player for `run`, on the calling thread; once a second `everySecond` gets the time
// since the start. The result is the worst lag of a player behind the newest send time any
// player has seen, from 5 s on (past the join burst).
inline int64_t ReadPlayers(std::vector<Player>& players, std::chrono::steady_clock::duration run,
                           const std::function<void(std::chrono::steady_clock::duration)>& everySecond = {}) {
    int64_t worstLagMs = 0;
    auto start = std::chrono::steady_clock::now();
    auto nextSample = start + std::chrono::seconds(1);
    std::vector<uint8_t> chunk(65536);
    while (std::chrono::steady_clock::now() - start < run) {
        std::vector<pollfd> fds;
        for (Player& p : players) fds.push_back({p.fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), 50);
        for (size_t i = 0; i < players.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            ssize_t n = ::recv(players[i].fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
            if (n <= 0) {
                players[i].failed = true;
                continue;
            }
            players[i].buffer.insert(players[i].buffer.end(), chunk.begin(), chunk.begin() + n);
            players[i].Consume();
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= nextSample) {
            nextSample += std::chrono::seconds(1);
            int64_t edge = -1;
            for (const Player& p : players) edge = std::max(edge, p.lastSendMs);
            if (now - start > std::chrono::seconds(5))
                for (const Player& p : players) worstLagMs = std::max(worstLagMs, edge - p.lastSendMs);
            if (everySecond) everySecond(now - start);
        }
    }
    return worstLagMs;
}

}  // namespace relayo_load
