#include "components/mmsh/AsfPacketInfo.h"

#include "components/mmsh/AsfBytes.h"

namespace {

// The 2-bit length types of ASF: absent, byte, word, dword.
constexpr size_t kFieldSize[4] = {0, 1, 2, 4};

class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Read(size_t size, uint32_t& value) {
        if (bytes_.size() - pos_ < size) return false;
        const uint8_t* p = bytes_.data() + pos_;
        value = size == 0 ? 0 : size == 1 ? p[0] : size == 2 ? ReadLe16(p) : ReadLe32(p);
        pos_ += size;
        return true;
    }
    bool Skip(size_t size) {
        if (bytes_.size() - pos_ < size) return false;
        pos_ += size;
        return true;
    }
    size_t Left() const { return bytes_.size() - pos_; }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

bool IsListed(std::span<const uint8_t> streams, uint32_t stream) {
    for (uint8_t s : streams)
        if (s == stream) return true;
    return false;
}

}  // namespace

AsfPacketInfo ParseAsfPacket(std::span<const uint8_t> packet, std::span<const uint8_t> videoStreams) {
    AsfPacketInfo info;
    Cursor in(packet);
    uint32_t first = 0;
    if (!in.Read(1, first)) return info;
    uint32_t lengthFlags = first;
    if (first & 0x80) {
        if (first & 0x60) return info;  // error correction length type must be 0
        if (!in.Skip(first & 0x0F) || !in.Read(1, lengthFlags)) return info;
    }
    uint32_t propertyFlags = 0;
    if (!in.Read(1, propertyFlags)) return info;
    uint32_t packetLength = 0, sequence = 0, padding = 0, sendTime = 0, duration = 0;
    if (!in.Read(kFieldSize[(lengthFlags >> 5) & 3], packetLength) ||
        !in.Read(kFieldSize[(lengthFlags >> 1) & 3], sequence) ||
        !in.Read(kFieldSize[(lengthFlags >> 3) & 3], padding) || !in.Read(4, sendTime) || !in.Read(2, duration))
        return info;
    if (packetLength > packet.size() || padding > packet.size()) return info;
    info.valid = true;
    info.sendTimeMs = sendTime;
    info.durationMs = static_cast<uint16_t>(duration);

    const size_t replicatedSize = kFieldSize[propertyFlags & 3];
    const size_t offsetSize = kFieldSize[(propertyFlags >> 2) & 3];
    const size_t objectNumberSize = kFieldSize[(propertyFlags >> 4) & 3];
    const size_t streamSize = kFieldSize[(propertyFlags >> 6) & 3];
    bool multiple = lengthFlags & 1;
    uint32_t count = 1, payloadLengthType = 0;
    if (multiple) {
        uint32_t payloadFlags = 0;
        if (!in.Read(1, payloadFlags)) return info;
        count = payloadFlags & 0x3F;
        payloadLengthType = payloadFlags >> 6;
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t stream = 0, objectNumber = 0, offset = 0, replicated = 0;
        if (!in.Read(streamSize, stream) || !in.Read(objectNumberSize, objectNumber) ||
            !in.Read(offsetSize, offset) || !in.Read(replicatedSize, replicated) || !in.Skip(replicated))
            return info;
        // A compressed payload (replicated length 1) holds whole objects; its offset field is a time.
        bool objectStart = replicated == 1 || offset == 0;
        if ((stream & 0x80) && objectStart && IsListed(videoStreams, stream & 0x7F)) {
            info.startsKeyFrame = true;
            return info;
        }
        if (!multiple) break;
        uint32_t length = 0;
        if (!in.Read(kFieldSize[payloadLengthType], length) || !in.Skip(length)) return info;
    }
    return info;
}
