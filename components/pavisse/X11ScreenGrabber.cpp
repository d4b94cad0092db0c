#include "components/pavisse/X11ScreenGrabber.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

struct X11ScreenGrabber::Segment {
    XShmSegmentInfo info{};
    bool attached = false;
};

namespace {
// XShmAttach fails asynchronously (a server on another machine): the error is caught while the
// attach is synced. Xlib's error handler is process-wide, so attaches are serialized.
std::mutex attachLock;
std::atomic<bool> attachFailed{false};
int CatchAttachError(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}
}  // namespace

X11ScreenGrabber::X11ScreenGrabber() = default;
X11ScreenGrabber::~X11ScreenGrabber() { Close(); }

std::string X11ScreenGrabber::NoServerMessage(const std::string& displayName, bool waylandSession) {
    if (displayName.empty() && waylandSession)
        return "Screen recording needs an X server, and this Wayland session offers none "
               "(DISPLAY is not set). Start Xwayland or log in to an X11 session.";
    if (displayName.empty()) return "Screen recording needs an X server, and DISPLAY is not set.";
    return "Cannot connect to the X server at display \"" + displayName + "\".";
}

bool X11ScreenGrabber::Open(const std::string& displayName) {
    Close();
    error_.clear();
    const char* env = std::getenv("DISPLAY");
    std::string name = displayName.empty() ? (env ? env : "") : displayName;
    if (name.empty()) {
        error_ = NoServerMessage("", std::getenv("WAYLAND_DISPLAY") != nullptr);
        return false;
    }
    display_ = XOpenDisplay(name.c_str());
    if (!display_) {
        error_ = NoServerMessage(name, false);
        return false;
    }
    const int screen = DefaultScreen(display_);
    root_ = RootWindow(display_, screen);
    screenWidth_ = DisplayWidth(display_, screen);
    screenHeight_ = DisplayHeight(display_, screen);
    Visual* visual = DefaultVisual(display_, screen);
    if (DefaultDepth(display_, screen) < 24 || !visual || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
        error_ = "The X screen is not a 24- or 32-bit true-colour screen; it cannot be recorded.";
        Close();
        return false;
    }
    shmAvailable_ = XShmQueryExtension(display_) == True;
    int errorBase = 0;
    xfixesAvailable_ = XFixesQueryExtension(display_, &xfixesEvent_, &errorBase) == True;
    if (xfixesAvailable_) XFixesSelectCursorInput(display_, root_, XFixesDisplayCursorNotifyMask);
    return true;
}

void X11ScreenGrabber::Close() {
    ReleaseSegment();
    if (plainImage_) {
        XDestroyImage(plainImage_);
        plainImage_ = nullptr;
    }
    if (display_) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
    cursorKnown_ = false;
    cursor_ = CursorPicture();
    segmentsMade_ = 0;
}

void X11ScreenGrabber::ReleaseSegment() {
    if (!segment_) return;
    if (display_ && segment_->attached) XShmDetach(display_, &segment_->info);
    if (shmImage_) {
        shmImage_->data = nullptr;  // the segment's memory is not Xlib's to free
        XDestroyImage(shmImage_);
        shmImage_ = nullptr;
    }
    if (segment_->info.shmaddr && segment_->info.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment_->info.shmaddr);
    segment_.reset();
}

bool X11ScreenGrabber::EnsureSegment(int width, int height) {
    if (shmImage_ && shmImage_->width == width && shmImage_->height == height) return true;
    ReleaseSegment();
    const int screen = DefaultScreen(display_);
    segment_ = std::make_unique<Segment>();
    segment_->info.shmaddr = nullptr;
    shmImage_ = XShmCreateImage(display_, DefaultVisual(display_, screen), DefaultDepth(display_, screen), ZPixmap,
                                nullptr, &segment_->info, width, height);
    if (!shmImage_ || shmImage_->bits_per_pixel != 32) {
        ReleaseSegment();
        return false;
    }
    const size_t bytes = static_cast<size_t>(shmImage_->bytes_per_line) * height;
    segment_->info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment_->info.shmid < 0) {
        ReleaseSegment();
        return false;
    }
    segment_->info.shmaddr = shmImage_->data = static_cast<char*>(shmat(segment_->info.shmid, nullptr, 0));
    if (segment_->info.shmaddr == reinterpret_cast<char*>(-1)) {
        shmImage_->data = nullptr;
        shmctl(segment_->info.shmid, IPC_RMID, nullptr);
        ReleaseSegment();
        return false;
    }
    segment_->info.readOnly = False;
    std::lock_guard lock(attachLock);
    attachFailed = false;
    XErrorHandler previous = XSetErrorHandler(CatchAttachError);
    Bool attached = XShmAttach(display_, &segment_->info);
    XSync(display_, False);
    XSetErrorHandler(previous);
    // Marked for removal once the server holds it: it goes away with the last detach, even when
    // this process dies without detaching.
    shmctl(segment_->info.shmid, IPC_RMID, nullptr);
    if (!attached || attachFailed) {
        ReleaseSegment();
        return false;
    }
    segment_->attached = true;
    ++segmentsMade_;
    return true;
}

void X11ScreenGrabber::UpdateCursor() {
    // A cursor change since the last frame shows as a notify event; without one the picture held
    // is still the current one.
    bool changed = !cursorKnown_;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == xfixesEvent_ + XFixesCursorNotify) {
            auto* notify = reinterpret_cast<XFixesCursorNotifyEvent*>(&event);
            if (notify->cursor_serial != cursor_.serial) changed = true;
        }
    }
    if (!changed) return;
    XFixesCursorImage* image = XFixesGetCursorImage(display_);
    if (!image) return;
    cursor_.width = image->width;
    cursor_.height = image->height;
    cursor_.hotX = image->xhot;
    cursor_.hotY = image->yhot;
    cursor_.serial = image->cursor_serial;
    cursor_.pixels.resize(static_cast<size_t>(image->width) * image->height);
    // Xlib hands each 32-bit pixel in an unsigned long.
    for (size_t i = 0; i < cursor_.pixels.size(); ++i) cursor_.pixels[i] = static_cast<uint32_t>(image->pixels[i]);
    XFree(image);
    cursorKnown_ = true;
}

bool X11ScreenGrabber::Grab(int x, int y, int width, int height, bool cursor) {
    if (!display_) {
        error_ = "The X server connection is not open.";
        return false;
    }
    if (shmAvailable_ && !EnsureSegment(width, height)) {
        // The server refused the segment (another machine, limits): plain requests from now on.
        shmAvailable_ = false;
    }
    if (shmAvailable_) {
        if (!XShmGetImage(display_, root_, shmImage_, x, y, AllPlanes)) {
            error_ = "The X server refused to hand over the screen picture.";
            return false;
        }
    } else {
        if (plainImage_) XDestroyImage(plainImage_);
        plainImage_ = XGetImage(display_, root_, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                AllPlanes, ZPixmap);
        if (!plainImage_ || plainImage_->bits_per_pixel != 32) {
            error_ = "The X server refused to hand over the screen picture.";
            return false;
        }
    }
    if (cursor && xfixesAvailable_) {
        UpdateCursor();
        Window rootReturn, child;
        int pointerX = 0, pointerY = 0, winX, winY;
        unsigned int mask;
        if (XQueryPointer(display_, root_, &rootReturn, &child, &pointerX, &pointerY, &winX, &winY, &mask))
            CompositeCursor(cursor_, pointerX, pointerY, reinterpret_cast<uint8_t*>(const_cast<uint8_t*>(Pixels())),
                            width, height, Stride(), x, y);
    }
    return true;
}

const uint8_t* X11ScreenGrabber::Pixels() const {
    _XImage* image = shmAvailable_ ? shmImage_ : plainImage_;
    return image ? reinterpret_cast<const uint8_t*>(image->data) : nullptr;
}

int X11ScreenGrabber::Stride() const {
    _XImage* image = shmAvailable_ ? shmImage_ : plainImage_;
    return image ? image->bytes_per_line : 0;
}
