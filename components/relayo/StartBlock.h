#pragma once
// The start block that the capture session sends with WM_COPYDATA (layout in
// platform/contracts/HelperProtocol.h): where to send client reports, the port, the client
// limit, the file being written and the publishing address. The bytes come from another process,
// so every field is checked before use.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/contracts/HelperProtocol.h"
#include "platform/os/WindowTypes.h"

namespace relayo {

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
