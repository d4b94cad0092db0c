#pragma once
// The recent past of the broadcast: the last packets released to clients, shared by every
// connection (each keeps only its position), capped in bytes so memory stays flat however many
// clients lag. Server thread only.
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

struct LivePacket {
    uint64_t index = 0;
    bool startsKeyFrame = false;
    std::vector<uint8_t> bytes;
};

class PacketRing {
public:
    explicit PacketRing(size_t maxBytes) : maxBytes_(maxBytes) {}

    // Packets must come with consecutive indices; a gap starts the ring afresh.
    void Push(std::shared_ptr<const LivePacket> packet);
    // The ring holds [BeginIndex, EndIndex).
    uint64_t BeginIndex() const { return begin_; }
    uint64_t EndIndex() const { return begin_ + packets_.size(); }
    bool Empty() const { return packets_.empty(); }
    size_t Bytes() const { return bytes_; }
    // The packet with this index, or null when it has left the ring or is still to come.
    std::shared_ptr<const LivePacket> At(uint64_t index) const;
    // Where a client joining now starts: the newest packet that starts a video key frame, else the
    // newest packet, else EndIndex().
    uint64_t JoinIndex() const;

private:
    void DropOldest();

    size_t maxBytes_;
    size_t bytes_ = 0;
    uint64_t begin_ = 0;
    std::deque<std::shared_ptr<const LivePacket>> packets_;
    std::deque<uint64_t> keyFrames_;
};
