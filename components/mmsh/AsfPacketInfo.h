#pragma once
// What the server needs to know of one fixed-size ASF data packet: when to send it and whether a
// video key frame starts in it (a good place for a new client to join).
#include <cstdint>
#include <span>

struct AsfPacketInfo {
    bool valid = false;  // the packet's header fields fit inside it
    uint32_t sendTimeMs = 0;
    uint16_t durationMs = 0;
    bool startsKeyFrame = false;
};

// Reads the error correction data, the length and property flags, the send time and the payload
// headers; never looks outside `packet`. `videoStreams` lists the stream numbers that carry video.
AsfPacketInfo ParseAsfPacket(std::span<const uint8_t> packet, std::span<const uint8_t> videoStreams);
