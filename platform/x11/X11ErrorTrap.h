#pragma once
// Catches the errors that the requests made on one connection provoke while the trap lives
// (Sync() makes them arrive): Xlib's default handler would end the process on, say, the
// BadAccess of a key grab that another client holds. Errors of other connections go on to the
// handler that was installed before. One trap at a time; UI thread.
struct _XDisplay;

class X11ErrorTrap {
public:
    explicit X11ErrorTrap(_XDisplay* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits until the server has handled every request so far; the first error code since the
    // trap was set (0, Success, when there was none).
    int Sync();
};
