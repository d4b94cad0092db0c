#pragma once
// Shutting the computer down. The command comes from $ORVANTA_SHUTDOWN_COMMAND (split like a
// command line), else "systemctl"; the request's flags become its arguments: "poweroff" for
// EWX_SHUTDOWN or EWX_POWEROFF, "reboot" for EWX_REBOOT, then "--check-inhibitors=no" when
// EWX_FORCE or EWX_FORCEIFHUNG asks not to let applications hold the shutdown up, else
// "--check-inhibitors=yes". The right to shut down is the system's to grant (polkit) when the
// command runs; there is no privilege to enable beforehand. Tests point the variable at a
// recorder: no test may run the real command.
#include <optional>
#include <string>
#include <vector>

#include "platform/os/WindowTypes.h"

inline constexpr UINT EWX_LOGOFF = 0x00;
inline constexpr UINT EWX_SHUTDOWN = 0x01;
inline constexpr UINT EWX_REBOOT = 0x02;
inline constexpr UINT EWX_FORCE = 0x04;
inline constexpr UINT EWX_POWEROFF = 0x08;
inline constexpr UINT EWX_FORCEIFHUNG = 0x10;

// The program and arguments ExitWindowsEx runs for these flags; empty when the flags ask for no
// shutdown or restart (logging off is not offered) or the variable does not split.
std::optional<std::vector<std::string>> ShutdownCommandLine(UINT flags);
// Runs the command and waits for it (at most 30 seconds). S_OK when it exited with 0; E_FAIL
// when it refused; E_INVALIDARG for flags without a shutdown or restart.
HRESULT ExitWindowsEx(UINT flags, DWORD reason = 0);
