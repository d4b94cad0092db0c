#pragma once
// Reads rectangles of an X server's root window: through a shared-memory segment (MIT-SHM) where
// the server offers it, attached once and made anew only when the rectangle's size changes, and
// through plain image requests where it does not (a remote server). The cursor comes from XFixes:
// its picture is fetched again only when the server reports a new cursor serial; its position is
// asked every frame.
//
// Not thread-safe: one thread opens, grabs and closes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/pavisse/CursorOverlay.h"

struct _XDisplay;
struct _XImage;

class X11ScreenGrabber {
public:
    X11ScreenGrabber();
    ~X11ScreenGrabber();
    X11ScreenGrabber(const X11ScreenGrabber&) = delete;
    X11ScreenGrabber& operator=(const X11ScreenGrabber&) = delete;

    // Connects to `displayName` (empty: DISPLAY). False with Error() telling why: no X server
    // (a Wayland session without one named), or a screen of a depth this reader does not take.
    bool Open(const std::string& displayName);
    void Close();
    bool IsOpen() const { return display_ != nullptr; }

    int ScreenWidth() const { return screenWidth_; }
    int ScreenHeight() const { return screenHeight_; }
    bool UsesSharedMemory() const { return shmAvailable_; }
    bool HasCursor() const { return xfixesAvailable_; }
    // How many shared-memory segments were made since Open (one per rectangle size).
    int SegmentsMade() const { return segmentsMade_; }
    const std::string& Error() const { return error_; }

    // Reads the rectangle (inside the screen) into 32-bit BGRX pixels; with `cursor`, draws the
    // cursor on them. The pixels stay valid until the next Grab or Close. False with Error().
    bool Grab(int x, int y, int width, int height, bool cursor);
    const uint8_t* Pixels() const;
    int Stride() const;

    // The text for a failed connection, from the environment it was tried in.
    static std::string NoServerMessage(const std::string& displayName, bool waylandSession);

private:
    bool EnsureSegment(int width, int height);
    void ReleaseSegment();
    void UpdateCursor();

    _XDisplay* display_ = nullptr;
    unsigned long root_ = 0;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    bool shmAvailable_ = false;
    bool xfixesAvailable_ = false;
    int xfixesEvent_ = 0;
    int segmentsMade_ = 0;
    std::string error_;

    // Shared memory.
    _XImage* shmImage_ = nullptr;
    struct Segment;
    std::unique_ptr<Segment> segment_;
    // Plain requests.
    _XImage* plainImage_ = nullptr;

    CursorPicture cursor_;
    bool cursorKnown_ = false;
};
