#include "overlay/SharedOverlayText.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {
std::mutex& TextLock() {
    static std::mutex lock;
    return lock;
}
OverlayTextBytes& TextBuffer() {
    static OverlayTextBytes buffer{};
    return buffer;
}

// Length of the longest prefix of `text` within `limit` bytes that does not end inside a UTF-8
// sequence, so a cut never leaves half a character behind.
size_t CutAtCharacter(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text.size();
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}
}  // namespace

void SharedOverlayText::Set(std::string_view text) {
    size_t length = CutAtCharacter(text, kOverlayTextBytes - 1);
    std::lock_guard guard(TextLock());
    OverlayTextBytes& buffer = TextBuffer();
    std::memcpy(buffer.data(), text.data(), length);
    buffer[length] = '\0';
}

void SharedOverlayText::CopyTo(OverlayTextBytes& out) {
    std::lock_guard guard(TextLock());
    const OverlayTextBytes& buffer = TextBuffer();
    size_t length = std::strlen(buffer.data());
    std::memcpy(out.data(), buffer.data(), length + 1);
}
