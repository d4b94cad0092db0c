#include "components/mmsh/PacketRing.h"

void PacketRing::Push(std::shared_ptr<const LivePacket> packet) {
    if (!packet) return;
    if (!packets_.empty() && packet->index != EndIndex()) {
        packets_.clear();
        keyFrames_.clear();
        bytes_ = 0;
    }
    if (packets_.empty()) begin_ = packet->index;
    if (packet->startsKeyFrame) keyFrames_.push_back(packet->index);
    bytes_ += packet->bytes.size();
    packets_.push_back(std::move(packet));
    // Always keep the newest packet, even one larger than the cap.
    while (bytes_ > maxBytes_ && packets_.size() > 1) DropOldest();
}

void PacketRing::DropOldest() {
    bytes_ -= packets_.front()->bytes.size();
    packets_.pop_front();
    ++begin_;
    while (!keyFrames_.empty() && keyFrames_.front() < begin_) keyFrames_.pop_front();
}

std::shared_ptr<const LivePacket> PacketRing::At(uint64_t index) const {
    if (index < begin_ || index >= EndIndex()) return nullptr;
    return packets_[index - begin_];
}

uint64_t PacketRing::JoinIndex() const {
    if (!keyFrames_.empty()) return keyFrames_.back();
    return packets_.empty() ? EndIndex() : EndIndex() - 1;
}
