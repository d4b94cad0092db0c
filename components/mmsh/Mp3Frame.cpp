#include "components/mmsh/Mp3Frame.h"

#include <cstring>
#include <string_view>

namespace {

constexpr int kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},  // MPEG-1 layer 1
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},     // MPEG-1 layer 2
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},      // MPEG-1 layer 3
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},     // MPEG-2 layer 1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},          // MPEG-2 layers 2, 3
};
constexpr int kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

constexpr size_t kId3v2HeaderSize = 10;
constexpr size_t kId3v1Size = 128;
constexpr size_t kApeFixedSize = 32;

bool StartsWith(std::span<const uint8_t> bytes, std::string_view text) {
    return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

bool MaybeTagStart(std::span<const uint8_t> bytes) {
    // Only as many bytes as there are: a tag cut by the span's end may still be one.
    for (std::string_view magic : {std::string_view("ID3"), std::string_view("TAG"), std::string_view("APETAGEX")}) {
        size_t n = std::min(bytes.size(), magic.size());
        if (n > 0 && std::memcmp(bytes.data(), magic.data(), n) == 0) return true;
    }
    return false;
}

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// A tag at the front; nothing when none starts here.
std::optional<Mp3Item> ReadTag(std::span<const uint8_t> bytes, bool endOfFile) {
    Mp3Item item;
    item.kind = Mp3ItemKind::Tag;
    if (StartsWith(bytes, "ID3")) {
        if (bytes.size() < kId3v2HeaderSize) return endOfFile ? std::nullopt : std::optional(Mp3Item{});
        // Version byte 0xFF is never valid; the size is four 7-bit digits.
        if (bytes[3] == 0xFF || bytes[4] == 0xFF) return std::nullopt;
        uint32_t size = 0;
        for (int i = 6; i < 10; ++i) {
            if (bytes[i] & 0x80) return std::nullopt;
            size = size << 7 | bytes[i];
        }
        item.length = kId3v2HeaderSize + size + ((bytes[5] & 0x10) ? kId3v2HeaderSize : 0);
        return item;
    }
    if (StartsWith(bytes, "APETAGEX")) {
        if (bytes.size() < kApeFixedSize) return endOfFile ? std::nullopt : std::optional(Mp3Item{});
        uint32_t size = ReadLe32(bytes.data() + 12);  // items and footer, not the header
        uint32_t flags = ReadLe32(bytes.data() + 20);
        bool isHeader = (flags & (1u << 29)) != 0;
        // A footer seen first ends a tag whose items were already passed over.
        item.length = isHeader ? kApeFixedSize + static_cast<size_t>(size) : kApeFixedSize;
        if (isHeader && size < kApeFixedSize) return std::nullopt;
        return item;
    }
    if (StartsWith(bytes, "TAG")) {
        if (bytes.size() < kId3v1Size) return endOfFile ? std::nullopt : std::optional(Mp3Item{});
        item.length = kId3v1Size;
        return item;
    }
    if (!endOfFile && MaybeTagStart(bytes) && bytes.size() < 8) return Mp3Item{};  // NeedMore
    return std::nullopt;
}

bool SameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

bool IsInfoFrame(std::span<const uint8_t> frame, const Mp3FrameHeader& header) {
    if (header.layer != 3) return false;
    bool mono = header.channels == 1;
    size_t sideInfo = header.version == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    auto tagAt = [&](size_t offset, std::string_view text) {
        return offset + text.size() <= frame.size() && std::memcmp(frame.data() + offset, text.data(), text.size()) == 0;
    };
    return tagAt(4 + sideInfo, "Xing") || tagAt(4 + sideInfo, "Info") || tagAt(4 + 32, "VBRI");
}

// A frame at the front, confirmed by what follows it; nothing when none starts here.
std::optional<Mp3Item> ReadFrame(std::span<const uint8_t> bytes, bool endOfFile) {
    if (bytes.size() < 4) {
        if (!endOfFile && (bytes.empty() || bytes[0] == 0xFF)) return Mp3Item{};
        return std::nullopt;
    }
    std::optional<Mp3FrameHeader> header = ParseMp3FrameHeader(bytes);
    if (!header) return std::nullopt;
    Mp3Item item;
    item.frame = *header;
    item.length = header->length;
    if (bytes.size() < header->length) {
        if (!endOfFile) return Mp3Item{};
        return std::nullopt;  // cut short by the end of the file
    }
    std::span<const uint8_t> after = bytes.subspan(header->length);
    bool confirmed = false;
    if (after.empty() || (after.size() < 4 && endOfFile)) {
        confirmed = endOfFile;
    } else if (after.size() < 4) {
        return Mp3Item{};
    } else if (std::optional<Mp3FrameHeader> next = ParseMp3FrameHeader(after)) {
        confirmed = SameStream(*header, *next);
    } else {
        confirmed = MaybeTagStart(after);
    }
    if (!confirmed) {
        if (after.empty() && !endOfFile) return Mp3Item{};
        return std::nullopt;
    }
    item.kind = IsInfoFrame(bytes.first(header->length), *header) ? Mp3ItemKind::InfoFrame : Mp3ItemKind::Frame;
    return item;
}

}  // namespace

std::optional<Mp3FrameHeader> ParseMp3FrameHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
    int versionBits = (bytes[1] >> 3) & 3;
    int layerBits = (bytes[1] >> 1) & 3;
    int bitrateIndex = bytes[2] >> 4;
    int rateIndex = (bytes[2] >> 2) & 3;
    bool padding = (bytes[2] & 0x02) != 0;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        (bytes[3] & 3) == 2)  // reserved emphasis
        return std::nullopt;
    Mp3FrameHeader h;
    h.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    h.layer = 4 - layerBits;
    bool mpeg1 = h.version == 10;
    const int* rates = mpeg1 ? kBitrates[h.layer - 1] : kBitrates[h.layer == 1 ? 3 : 4];
    h.bitrateKbps = rates[bitrateIndex];
    h.sampleRate = kSampleRates[mpeg1 ? 0 : h.version == 20 ? 1 : 2][rateIndex];
    h.channels = (bytes[3] >> 6) == 3 ? 1 : 2;
    const int64_t bitsPerSecond = int64_t{h.bitrateKbps} * 1000;
    if (h.layer == 1) {
        h.samples = 384;
        h.length = static_cast<size_t>((12 * bitsPerSecond / h.sampleRate + (padding ? 1 : 0)) * 4);
    } else {
        h.samples = (h.layer == 3 && !mpeg1) ? 576 : 1152;
        int64_t coefficient = (h.layer == 3 && !mpeg1) ? 72 : 144;
        h.length = static_cast<size_t>(coefficient * bitsPerSecond / h.sampleRate + (padding ? 1 : 0));
    }
    if (h.length < 4) return std::nullopt;
    return h;
}

Mp3Item ReadMp3Item(std::span<const uint8_t> bytes, bool endOfFile) {
    if (bytes.empty()) return Mp3Item{};
    if (std::optional<Mp3Item> tag = ReadTag(bytes, endOfFile)) return *tag;
    if (std::optional<Mp3Item> frame = ReadFrame(bytes, endOfFile)) return *frame;
    // Junk: up to the next place where a tag or a confirmed frame starts, or where one might
    // start once more bytes are there.
    Mp3Item junk;
    junk.kind = Mp3ItemKind::Junk;
    size_t at = 1;
    for (; at < bytes.size(); ++at) {
        uint8_t b = bytes[at];
        if (b != 0xFF && b != 'I' && b != 'T' && b != 'A') continue;
        std::span<const uint8_t> rest = bytes.subspan(at);
        if (ReadTag(rest, endOfFile) || ReadFrame(rest, endOfFile)) break;
    }
    junk.length = at;
    return junk;
}
