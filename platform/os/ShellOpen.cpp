#include "platform/os/ShellOpen.h"

#include <mutex>

#include "platform/os/CommandLine.h"
#include "platform/os/Process.h"

namespace {

std::mutex handlerLock;
ShellOpenHandler& Handler() {
    static ShellOpenHandler handler;
    return handler;
}

}  // namespace

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler) {
    std::lock_guard guard(handlerLock);
    std::swap(Handler(), handler);
    return handler;
}

HRESULT ShellOpen(std::string_view target) {
    if (target.empty() || target.front() == '-') return E_INVALIDARG;
    std::string text(target);
    ShellOpenHandler handler;
    {
        std::lock_guard guard(handlerLock);
        handler = Handler();
    }
    if (handler) return handler(text);
    return StartProcess("xdg-open", "xdg-open " + QuoteArgument(text));
}
