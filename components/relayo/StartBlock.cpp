#include "components/relayo/StartBlock.h"

#include <cstring>

namespace relayo {
namespace {

uint32_t Read32(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// The zero-terminated text of a fixed field; nothing when the field holds no terminator.
std::optional<std::string> ReadText(std::span<const uint8_t> bytes, size_t offset, size_t size) {
    const uint8_t* begin = bytes.data() + offset;
    const void* end = std::memchr(begin, 0, size);
    if (!end) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(begin),
                       static_cast<const uint8_t*>(end) - begin);
}

StartBlockResult Refuse(std::string why) {
    return {std::nullopt, std::move(why)};
}

}  // namespace

StartBlockResult ParseStartBlock(ULONG_PTR dwData, std::span<const uint8_t> bytes) {
    if (dwData != kHelperCopyDataTag) return Refuse("not a start block (dwData)");
    if (bytes.size() != kHelperStartBlockSize)
        return Refuse("start block of " + std::to_string(bytes.size()) + " bytes");
    if (Read32(bytes, kStartOffsetTag) != kHelperCopyDataTag) return Refuse("start block without its tag");

    StartBlock block;
    block.owner = Read32(bytes, kStartOffsetOwner);

    // The port is a 16-bit value sign-extended to 32 bits, so ports above 32767 arrive negative.
    auto port = static_cast<int32_t>(Read32(bytes, kStartOffsetPort));
    if (port < -32768 || port > 65535) return Refuse("port out of range");
    block.port = static_cast<uint16_t>(port & 0xFFFF);
    if (block.port == 0) return Refuse("port 0");

    auto clients = static_cast<int32_t>(Read32(bytes, kStartOffsetMaxClients));
    if (clients < 0) return Refuse("negative client limit");
    block.maxClients = clients > kMaxClientsCap ? kMaxClientsCap : clients;

    std::optional<std::string> file = ReadText(bytes, kStartOffsetFile, kStartFileFieldSize);
    if (!file) return Refuse("file path without terminator");
    if (file->empty() || file->front() != '/') return Refuse("file path not absolute");
    block.file = std::move(*file);

    std::optional<std::string> address = ReadText(bytes, kStartOffsetAddress, kStartAddressFieldSize);
    if (!address) return Refuse("publishing address without terminator");
    block.publishingAddress = std::move(*address);
    return {std::move(block), {}};
}

}  // namespace relayo
