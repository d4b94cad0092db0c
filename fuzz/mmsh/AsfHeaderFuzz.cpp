// A file's first bytes as the server reads them: the header, then data packets of the size the
// header gives.
#include <cstddef>
#include <cstdint>
#include <span>

#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/AsfPacketInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    ReadAsfHeaderObjectSize(bytes);
    AsfHeaderResult result = ParseAsfHeader(bytes);
    if (result.ok) {
        const AsfHeader& h = result.header;
        if (h.broadcastCopy.size() != h.headerObjectSize + 50 || h.packetSize == 0) __builtin_trap();
        for (uint64_t at = h.FirstPacketOffset(); at < size; at += h.packetSize) {
            size_t length = size - at < h.packetSize ? size - at : h.packetSize;
            ParseAsfPacket(bytes.subspan(at, length), h.videoStreams);
        }
    } else {
        const uint8_t video[] = {1, 2};
        ParseAsfPacket(bytes, video);
    }
    return 0;
}
