// MP3 file bytes read item by item, as the file source does, with the end of the file where the
// first byte says: every item fits what it claims, the walk always moves on, and a frame is
// exactly as long as its header says.
#include <cstddef>
#include <cstdint>

#include "components/mmsh/Mp3Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool endOfFile = data[0] & 1;
    std::span<const uint8_t> rest(data + 1, size - 1);
    while (!rest.empty()) {
        Mp3Item item = ReadMp3Item(rest, endOfFile);
        if (item.kind == Mp3ItemKind::NeedMore) {
            if (endOfFile) __builtin_trap();  // nothing can come after the end
            break;
        }
        if (item.length == 0) __builtin_trap();
        if (item.kind == Mp3ItemKind::Frame || item.kind == Mp3ItemKind::InfoFrame) {
            std::optional<Mp3FrameHeader> header = ParseMp3FrameHeader(rest);
            if (!header || header->length != item.length || item.length > rest.size()) __builtin_trap();
        } else if (item.kind != Mp3ItemKind::Tag && item.length > rest.size()) {
            __builtin_trap();  // only a tag may claim more than there is (it is skipped unread)
        }
        if (item.length >= rest.size()) break;
        rest = rest.subspan(item.length);
    }
    return 0;
}
