#pragma once
// The start block that the capture session sends with WM_COPYDATA (dwData 0x10016, 1524 bytes):
// where to send client reports, the port, the client limit, the file being written and the
// publishing address. The bytes come from another process, so every field is checked before use.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/os/WindowTypes.h"

namespace relayo {

inline constexpr ULONG_PTR kCopyDataTag = 0x10016;
inline constexpr uint32_t kStartBlockSize = 1524;
inline constexpr uint32_t kOffsetTag = 4;
inline constexpr uint32_t kOffsetOwner = 24;
inline constexpr uint32_t kOffsetPort = 72;
inline constexpr uint32_t kOffsetMaxClients = 76;
inline constexpr uint32_t kOffsetFile = 364;
inline constexpr uint32_t kFileFieldSize = 260;
inline constexpr uint32_t kOffsetAddress = 624;
inline constexpr uint32_t kAddressFieldSize = 900;
// More players than this would exhaust descriptors long before bandwidth; a larger value is
// served as this many.
inline constexpr int kMaxClientsCap = 1000;

struct StartBlock {
    HWND owner = 0;
    uint16_t port = 0;
    int maxClients = 0;
    std::string file;
    std::string publishingAddress;
};

struct StartBlockResult {
    std::optional<StartBlock> block;
    std::string error;  // why the block was refused
};

// dwData and the bytes of one WM_COPYDATA message.
StartBlockResult ParseStartBlock(ULONG_PTR dwData, std::span<const uint8_t> bytes);

}  // namespace relayo
