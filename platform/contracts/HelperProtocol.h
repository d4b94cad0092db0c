#pragma once
// How the capture session and the broadcast helper program talk: the helper's program name,
// command line and window class, the quit command, and the byte layouts of the two WM_COPYDATA
// messages (the start block the session sends, the client reports the helper sends back to the
// control's window). Both sides build and read these bytes from this one description, so that
// neither can drift from the other. Every value is little-endian; texts are zero-terminated.
#include <cstddef>
#include <cstdint>

#include "platform/os/WindowTypes.h"

// The program in the module folder, the command line it is started with, and the class of the
// message window it answers on.
inline constexpr const char* kHelperProgramName = "Relayo";
inline constexpr const char* kHelperCommandLine = "MyChildProcess";
inline constexpr const char* kHelperWindowClass = "Relayoclass";
// WM_COMMAND with this wParam ends the helper.
inline constexpr WPARAM kHelperQuitCommand = 1;

// dwData of every WM_COPYDATA between the two; the start block also carries it as its tag.
inline constexpr ULONG_PTR kHelperCopyDataTag = 0x10016;

// The start block: exactly this long, every byte not named here zero.
inline constexpr size_t kHelperStartBlockSize = 1524;
inline constexpr size_t kStartOffsetTag = 4;          // kHelperCopyDataTag, 32 bits
inline constexpr size_t kStartOffsetOwner = 24;       // the window to send reports to, 32 bits
inline constexpr size_t kStartOffsetZero = 52;        // 32 bits, always 0
inline constexpr size_t kStartOffsetPort = 72;        // 32 bits
inline constexpr size_t kStartOffsetMaxClients = 76;  // 32 bits
inline constexpr size_t kStartOffsetFile = 364;       // the file being written
inline constexpr size_t kStartFileFieldSize = 260;
inline constexpr size_t kStartOffsetAddress = 624;  // the publishing address
inline constexpr size_t kStartAddressFieldSize = 900;

// The client report: at least as long as a start block, longer when the addresses need room.
inline constexpr uint32_t kClientReportTag = 0x10037;
inline constexpr size_t kReportOffsetTag = 4;     // kClientReportTag, 32 bits
inline constexpr size_t kReportOffsetCount = 52;  // connected clients, 16 bits
inline constexpr size_t kReportOffsetText = 936;  // ";"-separated addresses
inline constexpr size_t kClientReportMinSize = kHelperStartBlockSize;
