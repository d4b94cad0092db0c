#include "platform/os/Shutdown.h"

#include <cstdlib>

#include "platform/os/CommandLine.h"
#include "platform/os/Process.h"

namespace {
constexpr unsigned kCommandTimeoutMs = 30000;
}

std::optional<std::vector<std::string>> ShutdownCommandLine(UINT flags) {
    const char* action = nullptr;
    if (flags & EWX_REBOOT) {
        action = "reboot";
    } else if (flags & (EWX_SHUTDOWN | EWX_POWEROFF)) {
        action = "poweroff";
    } else {
        return std::nullopt;
    }
    const char* configured = std::getenv("ORVANTA_SHUTDOWN_COMMAND");
    std::optional<std::vector<std::string>> command = configured && *configured
                                                          ? SplitCommandLine(configured)
                                                          : std::vector<std::string>{"systemctl"};
    if (!command || command->empty()) return std::nullopt;
    command->push_back(action);
    command->push_back(flags & (EWX_FORCE | EWX_FORCEIFHUNG) ? "--check-inhibitors=no"
                                                             : "--check-inhibitors=yes");
    return command;
}

HRESULT ExitWindowsEx(UINT flags, DWORD) {
    std::optional<std::vector<std::string>> command = ShutdownCommandLine(flags);
    if (!command) return E_INVALIDARG;
    int exitCode = -1;
    HRESULT hr = RunProcess(*command, kCommandTimeoutMs, &exitCode);
    if (FAILED(hr)) return hr;
    return exitCode == 0 ? S_OK : E_FAIL;
}
