#pragma once
// Reading an MP3 file as a stream of MPEG audio frames: every item at the front of a byte span is
// a frame, a tag (ID3v2, ID3v1, APEv2), a VBR information frame (Xing, Info, VBRI: a frame of
// silence that only carries a table of contents) or junk up to the next plausible frame. Every
// length read from the bytes is checked against the bytes that exist; nothing is read outside
// the span. Pure functions: the caller owns the bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct Mp3FrameHeader {
    int version = 0;  // 10: MPEG-1, 20: MPEG-2, 25: MPEG-2.5
    int layer = 0;    // 1, 2 or 3
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
    uint32_t samples = 0;  // per frame
    size_t length = 0;     // whole frame, header included
};

// The four header bytes at the front of `bytes`, or nothing when they are no valid header (free
// bit rate, reserved version, layer, bit rate or sample rate, or fewer than four bytes).
std::optional<Mp3FrameHeader> ParseMp3FrameHeader(std::span<const uint8_t> bytes);

enum class Mp3ItemKind {
    Frame,     // audio: to be sent
    InfoFrame, // a VBR information frame: not audio, not sent
    Tag,       // ID3v2, ID3v1 or APEv2: not sent
    Junk,      // bytes that are none of the above: not sent
    NeedMore,  // what starts here needs more bytes than the span holds
};

struct Mp3Item {
    Mp3ItemKind kind = Mp3ItemKind::NeedMore;
    size_t length = 0;     // bytes the item takes (0 only with NeedMore)
    Mp3FrameHeader frame;  // with Frame and InfoFrame
};

// The longest item a caller must be able to hold to decide what starts at the front (a frame
// with the bytes of the next header, the fixed parts of tags). Longer tags are skipped without
// holding them: their length comes from their header.
inline constexpr size_t kMp3MaxLookahead = 8 * 1024;

// What starts at the front of `bytes`. `endOfFile`: nothing follows the span, so an item cut
// short by the end is junk rather than NeedMore. A frame is taken only when what follows it
// starts another frame of the same stream, a tag, or the end of the file.
Mp3Item ReadMp3Item(std::span<const uint8_t> bytes, bool endOfFile);
