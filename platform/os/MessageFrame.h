#pragma once
// The wire format of a window message between processes. A frame is a fixed 40-byte header,
// little-endian, followed by the payload (only WM_COPYDATA sends carry one: the COPYDATASTRUCT
// bytes, with dwData in the lParam field):
//
//   0 magic "OVWM"   4 version (u16)  6 kind (u16)  8 sequence (u32)  12 target window (u32)
//   16 message (u32) 20 payload size (u32)  24 wParam (u64)  32 lParam or result (i64)
//
// Peers are other programs: Decode checks every field, and a frame that fails is dropped with the
// connection that carried it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/os/WindowTypes.h"

enum class FrameKind : uint16_t {
    Send = 1,   // the sender waits for a Reply
    Post = 2,   // delivered later, no reply
    Reply = 3,  // the window procedure's result in the lParam field
};

struct MessageFrame {
    static constexpr size_t kHeaderSize = 40;
    static constexpr uint32_t kMagic = 0x4D57564F;  // "OVWM"
    static constexpr uint16_t kVersion = 1;
    // Far above any block the system sends (the broadcast start block is 1524 bytes).
    static constexpr uint32_t kMaxPayload = 1u << 20;

    FrameKind kind = FrameKind::Send;
    uint32_t sequence = 0;
    HWND target = 0;
    UINT message = 0;
    uint32_t payloadSize = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;

    using Header = std::array<uint8_t, kHeaderSize>;
    Header Encode() const;
    // Empty when the bytes are not a well-formed header.
    static std::optional<MessageFrame> Decode(std::span<const uint8_t, kHeaderSize> bytes);
};
