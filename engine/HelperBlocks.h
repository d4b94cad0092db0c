#pragma once
// The two messages exchanged with the broadcast helper, as bytes: the start block the session
// sends (WM_COPYDATA, dwData 0x10016, 1524 bytes) and the client reports the helper sends back to
// the control's window (same dwData, tag 0x10037 at offset 4). Client reports come from another
// process, so the parser trusts nothing but the bytes it was given.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/WindowTypes.h"

inline constexpr ULONG_PTR kHelperCopyDataTag = 0x10016;
inline constexpr uint32_t kHelperStartBlockSize = 1524;
inline constexpr uint32_t kClientReportTag = 0x10037;

// Field offsets and sizes of the start block.
inline constexpr size_t kStartOffsetTag = 4;
inline constexpr size_t kStartOffsetOwner = 24;
inline constexpr size_t kStartOffsetZero = 52;
inline constexpr size_t kStartOffsetPort = 72;
inline constexpr size_t kStartOffsetMaxClients = 76;
inline constexpr size_t kStartOffsetFile = 364;
inline constexpr size_t kStartFileFieldSize = 260;
inline constexpr size_t kStartOffsetAddress = 624;
inline constexpr size_t kStartAddressFieldSize = 900;

// Offsets of the client report.
inline constexpr size_t kReportOffsetTag = 4;
inline constexpr size_t kReportOffsetCount = 52;
inline constexpr size_t kReportOffsetText = 936;

using HelperStartBlock = std::array<uint8_t, kHelperStartBlockSize>;

struct HelperStartFields {
    HWND ownerWindow = HWND_NONE;
    int16_t port = 0;
    int16_t maxClients = 0;
    std::string file;
    std::string publishingUrl;
};

// Whether the path and the address fit their zero-terminated fields (259 and 899 bytes at most,
// no zero byte inside): a cut-off path would have the helper serve some other file.
bool HelperStartFieldsFit(std::string_view file, std::string_view publishingUrl);

// The block with every field at its offset and every other byte zero; empty when a text does
// not fit its field.
std::optional<HelperStartBlock> BuildHelperStartBlock(const HelperStartFields& fields);

struct ClientReport {
    uint16_t count = 0;
    // The whole address text as it came, and its non-empty ";"-separated items.
    std::string text;
    std::vector<std::string> addresses;
};

// dwData and the bytes of one WM_COPYDATA message. Empty when the message is no client report:
// another dwData, too short to hold the tag and the count, or another tag. The text runs from
// offset 936 to its zero byte or the end of the message, whichever comes first; a report that
// ends before offset 936 has no text.
std::optional<ClientReport> ParseClientReport(ULONG_PTR dwData, std::span<const uint8_t> bytes);

// The items of a client address text: ";" separates, a double quote opens and closes a quoted
// stretch where ";" does not separate (two double quotes inside give one literal quote and end
// the stretch), ";;" gives an empty item and a final ";" none.
std::vector<std::string> SplitClientAddresses(std::string_view text);
