#pragma once
// Opening a web address or a folder with the desktop's own handler (xdg-open), as the shell's
// "open" verb does. Tests install a handler (ShellOpenRecorder) that records the target.
#include <functional>
#include <string>
#include <string_view>

#include "platform/base/HResult.h"

using ShellOpenHandler = std::function<HRESULT(const std::string& target)>;

// S_OK when the handler program started; E_INVALIDARG for an empty target or one that starts
// with "-" (it would read as an option); the start failure otherwise.
HRESULT ShellOpen(std::string_view target);
// Replaces the desktop handler; an empty handler brings it back. Returns the previous one.
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);
