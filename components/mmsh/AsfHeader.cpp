#include "components/mmsh/AsfHeader.h"

#include <algorithm>

#include "components/mmsh/AsfBytes.h"

namespace {

constexpr uint64_t kObjectHeaderSize = 24;
constexpr uint64_t kFilePropertiesSize = 104;
constexpr uint64_t kStreamPropertiesMinSize = 78;

AsfHeaderResult Fail(std::string error) {
    AsfHeaderResult result;
    result.error = std::move(error);
    return result;
}

// Broadcast copy: sizes, counts and durations of a growing file are unknown; seekable is wrong.
void PatchFileProperties(uint8_t* fp) {
    WriteLe64(fp + 40, 0);  // file size
    WriteLe64(fp + 56, 0);  // data packets count
    WriteLe64(fp + 64, 0);  // play duration
    WriteLe64(fp + 72, 0);  // send duration
    uint32_t flags = ReadLe32(fp + 88);
    WriteLe32(fp + 88, (flags | 0x01u) & ~0x02u);
}

}  // namespace

bool AsfHeader::IsVideoStream(uint8_t number) const {
    return std::find(videoStreams.begin(), videoStreams.end(), number) != videoStreams.end();
}

uint64_t ReadAsfHeaderObjectSize(std::span<const uint8_t> first30) {
    if (first30.size() < AsfHeader::kHeaderObjectFixedSize || !AsfGuidAt(first30, 0, asf_guid::kHeader))
        return 0;
    uint64_t size = ReadLe64(first30.data() + 16);
    if (size < AsfHeader::kHeaderObjectFixedSize ||
        size > AsfHeader::kMaxHeaderCopySize - AsfHeader::kDataObjectFixedSize)
        return 0;
    return size;
}

AsfHeaderResult ParseAsfHeader(std::span<const uint8_t> bytes) {
    uint64_t headerSize = ReadAsfHeaderObjectSize(bytes);
    if (headerSize == 0) return Fail("not an asf header object of a servable size");
    if (bytes.size() < headerSize + AsfHeader::kDataObjectFixedSize)
        return Fail("header and data object fixed part are incomplete");
    if (!AsfGuidAt(bytes, headerSize, asf_guid::kData)) return Fail("no data object after the header");

    AsfHeaderResult result;
    AsfHeader& header = result.header;
    header.headerObjectSize = headerSize;
    header.broadcastCopy.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(headerSize + 50));
    uint8_t* copy = header.broadcastCopy.data();

    bool haveFileProperties = false;
    uint64_t offset = AsfHeader::kHeaderObjectFixedSize;
    while (offset < headerSize) {
        if (headerSize - offset < kObjectHeaderSize) return Fail("truncated object inside the header");
        uint64_t objectSize = ReadLe64(copy + offset + 16);
        if (objectSize < kObjectHeaderSize || objectSize > headerSize - offset)
            return Fail("object size runs outside the header");
        std::span<const uint8_t> object(copy + offset, objectSize);
        if (AsfGuidAt(object, 0, asf_guid::kFileProperties)) {
            if (objectSize < kFilePropertiesSize) return Fail("file properties object too short");
            uint32_t minSize = ReadLe32(object.data() + 92);
            uint32_t maxSize = ReadLe32(object.data() + 96);
            if (minSize != maxSize) return Fail("variable packet sizes cannot be served");
            if (maxSize == 0 || maxSize > AsfHeader::kMaxPacketSize) return Fail("packet size out of range");
            header.packetSize = maxSize;
            header.prerollMs = ReadLe64(object.data() + 80);
            PatchFileProperties(copy + offset);
            haveFileProperties = true;
        } else if (AsfGuidAt(object, 0, asf_guid::kStreamProperties)) {
            if (objectSize < kStreamPropertiesMinSize) return Fail("stream properties object too short");
            uint8_t number = object[72] & 0x7F;
            if (number == 0) return Fail("stream number 0");
            if (AsfGuidAt(object, 24, asf_guid::kVideoMedia))
                header.videoStreams.push_back(number);
            else if (AsfGuidAt(object, 24, asf_guid::kAudioMedia))
                header.audioStreams.push_back(number);
        }
        offset += objectSize;
    }
    if (!haveFileProperties) return Fail("no file properties object");
    if (header.audioStreams.empty() && header.videoStreams.empty()) return Fail("no audio or video stream");

    uint8_t* data = copy + headerSize;
    WriteLe64(data + 16, AsfHeader::kDataObjectFixedSize);  // players walk past it by this size
    WriteLe64(data + 40, 0);                                // total data packets
    result.ok = true;
    return result;
}
