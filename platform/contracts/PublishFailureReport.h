#pragma once
// The report the broadcast helper sends to the control's window when it cannot publish the
// broadcast to its streaming server: WM_COPYDATA with dwData 0x10016 like the client reports,
// the tag 0x10038 at offset 4, the result code (32 bits, little-endian) at 8 and the reason as
// zero-terminated text from 12 on. It comes from another process: the parser trusts only the
// bytes it was given.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr uint32_t kPublishFailureTag = 0x10038;
inline constexpr size_t kPublishFailureOffsetTag = 4;
inline constexpr size_t kPublishFailureOffsetCode = 8;
inline constexpr size_t kPublishFailureOffsetText = 12;
inline constexpr size_t kPublishFailureMaxText = 1000;

struct PublishFailure {
    int32_t code = 0;
    std::string text;
};

namespace publish_failure_detail {
inline void PutUint32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline uint32_t GetUint32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}
}  // namespace publish_failure_detail

// The report's bytes; a reason longer than 1000 bytes is cut there.
inline std::vector<uint8_t> BuildPublishFailureReport(const PublishFailure& failure) {
    const std::string text = failure.text.substr(0, kPublishFailureMaxText);
    std::vector<uint8_t> bytes(kPublishFailureOffsetText + text.size() + 1, 0);
    publish_failure_detail::PutUint32(bytes, kPublishFailureOffsetTag, kPublishFailureTag);
    publish_failure_detail::PutUint32(bytes, kPublishFailureOffsetCode, static_cast<uint32_t>(failure.code));
    std::copy(text.begin(), text.end(), bytes.begin() + kPublishFailureOffsetText);
    return bytes;
}

// Empty unless the bytes hold the tag and the code; the text ends at its zero byte, the end of
// the message or 1000 bytes, whichever comes first.
inline std::optional<PublishFailure> ParsePublishFailureReport(std::span<const uint8_t> bytes) {
    if (bytes.size() < kPublishFailureOffsetText) return std::nullopt;
    if (publish_failure_detail::GetUint32(bytes, kPublishFailureOffsetTag) != kPublishFailureTag) return std::nullopt;
    PublishFailure failure;
    failure.code = static_cast<int32_t>(publish_failure_detail::GetUint32(bytes, kPublishFailureOffsetCode));
    std::span<const uint8_t> tail = bytes.subspan(kPublishFailureOffsetText);
    tail = tail.first(std::min(tail.size(), kPublishFailureMaxText));
    failure.text.assign(tail.begin(), std::find(tail.begin(), tail.end(), uint8_t{0}));
    return failure;
}
