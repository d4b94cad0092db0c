#pragma once
// The ASF header of a file being written, read once and turned into the copy that a live
// broadcast sends: the Header Object plus the Data Object's 50-byte fixed part, with the broadcast
// flag set and the sizes, counts and durations that a growing file cannot know cleared.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct AsfHeader {
    // The Header Object's size: the Data Object starts here.
    uint64_t headerObjectSize = 0;
    // Every data packet is exactly this long (minimum and maximum agree).
    uint32_t packetSize = 0;
    uint64_t prerollMs = 0;
    std::vector<uint8_t> audioStreams;
    std::vector<uint8_t> videoStreams;
    // Header Object + 50 bytes of Data Object, patched for broadcast (what $H carries).
    std::vector<uint8_t> broadcastCopy;

    // Where data packets start in the file.
    uint64_t FirstPacketOffset() const { return headerObjectSize + kDataObjectFixedSize; }
    bool IsVideoStream(uint8_t number) const;

    static constexpr uint64_t kHeaderObjectFixedSize = 30;
    static constexpr uint64_t kDataObjectFixedSize = 50;
    // One $H must hold the whole header: its u16 length counts 8 more bytes.
    static constexpr uint64_t kMaxHeaderCopySize = 65535 - 8;
    static constexpr uint32_t kMaxPacketSize = 65535 - 8;
};

struct AsfHeaderResult {
    bool ok = false;
    std::string error;  // lowercase, says which check failed
    AsfHeader header;
};

// Size of the Header Object from the first 30 bytes of the file, 0 when they are not an ASF
// Header Object or the size is impossible for a broadcast header.
uint64_t ReadAsfHeaderObjectSize(std::span<const uint8_t> first30);

// Parses the Header Object followed by at least the Data Object's fixed part (bytes beyond those
// are ignored). Every object length is checked against the bytes that exist.
AsfHeaderResult ParseAsfHeader(std::span<const uint8_t> bytes);
