#include "platform/x11/X11ErrorTrap.h"

#include <X11/Xlib.h>

namespace {

Display* trapped = nullptr;
int firstError = Success;
XErrorHandler previous = nullptr;

int OnError(Display* display, XErrorEvent* error) {
    if (display != trapped) return previous ? previous(display, error) : 0;
    if (firstError == Success) firstError = error->error_code;
    return 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) {
    trapped = display;
    firstError = Success;
    previous = XSetErrorHandler(&OnError);
}

X11ErrorTrap::~X11ErrorTrap() {
    XSetErrorHandler(previous);
    trapped = nullptr;
}

int X11ErrorTrap::Sync() {
    XSync(trapped, False);
    return firstError;
}
