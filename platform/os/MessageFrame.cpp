#include "platform/os/MessageFrame.h"

namespace {

template <class T>
void Put(MessageFrame::Header& out, size_t offset, T value) {
    auto bits = static_cast<uint64_t>(value);
    for (size_t i = 0; i < sizeof(T); ++i) out[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <class T>
T Get(std::span<const uint8_t, MessageFrame::kHeaderSize> in, size_t offset) {
    uint64_t bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i) bits |= static_cast<uint64_t>(in[offset + i]) << (8 * i);
    return static_cast<T>(bits);
}

bool KindIsKnown(uint16_t kind) {
    return kind == static_cast<uint16_t>(FrameKind::Send) ||
           kind == static_cast<uint16_t>(FrameKind::Post) ||
           kind == static_cast<uint16_t>(FrameKind::Reply);
}

}  // namespace

MessageFrame::Header MessageFrame::Encode() const {
    Header out{};
    Put<uint32_t>(out, 0, kMagic);
    Put<uint16_t>(out, 4, kVersion);
    Put<uint16_t>(out, 6, static_cast<uint16_t>(kind));
    Put<uint32_t>(out, 8, sequence);
    Put<uint32_t>(out, 12, target);
    Put<uint32_t>(out, 16, message);
    Put<uint32_t>(out, 20, payloadSize);
    Put<uint64_t>(out, 24, wParam);
    Put<uint64_t>(out, 32, static_cast<uint64_t>(lParam));
    return out;
}

std::optional<MessageFrame> MessageFrame::Decode(std::span<const uint8_t, kHeaderSize> bytes) {
    if (Get<uint32_t>(bytes, 0) != kMagic || Get<uint16_t>(bytes, 4) != kVersion)
        return std::nullopt;
    uint16_t kind = Get<uint16_t>(bytes, 6);
    if (!KindIsKnown(kind)) return std::nullopt;
    MessageFrame frame;
    frame.kind = static_cast<FrameKind>(kind);
    frame.sequence = Get<uint32_t>(bytes, 8);
    frame.target = Get<uint32_t>(bytes, 12);
    frame.message = Get<uint32_t>(bytes, 16);
    frame.payloadSize = Get<uint32_t>(bytes, 20);
    frame.wParam = Get<uint64_t>(bytes, 24);
    frame.lParam = static_cast<LPARAM>(Get<uint64_t>(bytes, 32));
    if (frame.target == 0 || frame.payloadSize > kMaxPayload) return std::nullopt;
    // Only a sent WM_COPYDATA carries bytes; WM_COPYDATA cannot be posted (its block would be
    // gone).
    bool carriesData = frame.kind == FrameKind::Send && frame.message == WM_COPYDATA;
    if (frame.payloadSize != 0 && !carriesData) return std::nullopt;
    if (frame.kind == FrameKind::Post && frame.message == WM_COPYDATA) return std::nullopt;
    return frame;
}
