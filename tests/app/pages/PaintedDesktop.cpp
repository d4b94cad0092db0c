#include "tests/app/pages/PaintedDesktop.h"

#include <X11/Xlib.h>

namespace {

Window Child(Display* d, Window parent, const CaptureArea& at, const CaptureArea& origin, unsigned long colour) {
    XSetWindowAttributes a{};
    a.background_pixel = colour;
    a.override_redirect = True;
    Window w = XCreateWindow(d, parent, at.left - origin.left, at.top - origin.top, static_cast<unsigned>(at.width),
                             static_cast<unsigned>(at.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWBackPixel | CWOverrideRedirect, &a);
    XMapWindow(d, w);
    return w;
}

}  // namespace

unsigned PaintedDesktop::ColourAt(int x, int y, int width, int height) {
    const bool right = x >= width / 2, bottom = y >= height / 2;
    if (bottom) return right ? kBottomRight : kBottomLeft;
    return right ? kTopRight : kTopLeft;
}

PaintedDesktop::PaintedDesktop(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (!display_) return;
    Display* d = display_;
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    const int width = DisplayWidth(d, screen), height = DisplayHeight(d, screen);
    Pixmap picture = XCreatePixmap(d, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                   static_cast<unsigned>(DefaultDepth(d, screen)));
    GC gc = XCreateGC(d, picture, 0, nullptr);
    const unsigned colours[4] = {kTopLeft, kTopRight, kBottomLeft, kBottomRight};
    for (int i = 0; i < 4; ++i) {
        XSetForeground(d, gc, colours[i]);
        XFillRectangle(d, picture, gc, (i % 2) * (width / 2), (i / 2) * (height / 2),
                       static_cast<unsigned>(width - width / 2), static_cast<unsigned>(height - height / 2));
    }
    XFreeGC(d, gc);
    XSetWindowBackgroundPixmap(d, root, picture);
    XClearWindow(d, root);
    XFreePixmap(d, picture);

    const CaptureArea screenOrigin{0, 0, width, height};
    const Window frame = Child(d, root, kFrame, screenOrigin, 0x808080);
    const Window panel = Child(d, frame, kPanel, kFrame, 0x3050A0);
    Child(d, panel, kButton, kPanel, 0xE0E0E0);
    Child(d, frame, kOverlap, kFrame, 0x30A050);
    XSync(d, False);
}

unsigned long PaintedDesktop::AddFramedWindow(const CaptureArea& frame, const CaptureArea& client) {
    Display* d = display_;
    const int screen = DefaultScreen(d);
    const CaptureArea screenOrigin{0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen)};
    const Window outer = Child(d, RootWindow(d, screen), frame, screenOrigin, 0x404040);
    const Window inner = Child(d, outer, client, frame, 0xC0C0C0);
    XRaiseWindow(d, outer);
    XSync(d, False);
    return inner;
}

PaintedDesktop::~PaintedDesktop() {
    if (!display_) return;
    // The root keeps its picture after we go; clear it so the next client starts plain.
    XSetWindowBackground(display_, DefaultRootWindow(display_), 0);
    XClearWindow(display_, DefaultRootWindow(display_));
    XCloseDisplay(display_);
}
