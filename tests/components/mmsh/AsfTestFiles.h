#pragma once
// Hand-built ASF pieces shaped like the ffmpeg asf muxer's output, for parser and follower tests.
#include <cstdint>
#include <vector>

namespace asf_test {

struct HeaderShape {
    uint32_t minPacketSize = 3200;
    uint32_t maxPacketSize = 3200;
    uint32_t flags = 0x02;  // seekable, as a file being written says
    bool audio = true;      // stream 1
    bool video = true;      // stream 2
    bool fileProperties = true;
};

// Header Object (file properties, stream properties) + the 50-byte Data Object start.
std::vector<uint8_t> Header(const HeaderShape& shape = {});
// One packet with a single payload, padded to `size`.
std::vector<uint8_t> Packet(uint32_t size, uint32_t sendTimeMs, uint8_t stream, bool key, uint32_t offsetIntoObject);
// A Simple Index Object of `size` bytes.
std::vector<uint8_t> SimpleIndex(uint32_t size);

}  // namespace asf_test
