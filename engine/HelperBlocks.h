#pragma once
// The two messages exchanged with the broadcast helper, as bytes (their layout is shared with the
// helper in platform/contracts/HelperProtocol.h): the start block the session sends and the
// client reports the helper sends back to the control's window. Client reports come from another
// process, so the parser trusts nothing but the bytes it was given.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/contracts/HelperProtocol.h"
#include "platform/os/WindowTypes.h"

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
