#include "tests/components/scrivel/PaintedScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>

namespace {
unsigned long Pixel(Rgb c) { return (static_cast<unsigned long>(c.r) << 16) | (c.g << 8) | c.b; }
}  // namespace

PaintedScreen::PaintedScreen(const std::string& display) {
    thread_ = std::thread([this, display] { Run(display); });
    // The first full paint is done before the constructor returns.
    for (int i = 0; i < 500 && !started_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

PaintedScreen::~PaintedScreen() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

Rgb PaintedScreen::ColourAt(int x, int y, int width, int height) {
    const bool left = x < width / 2, top = y < height / 2;
    if (top) return left ? kTopLeft : kTopRight;
    return left ? kBottomLeft : kBottomRight;
}

void PaintedScreen::Run(std::string name) {
    Display* display = XOpenDisplay(name.c_str());
    if (!display) {
        started_ = true;
        return;
    }
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0;
    Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0, width, height, 0, CopyFromParent,
                                  InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    // A solid cursor: a mask and a shape that are both all ones.
    Pixmap shape = XCreatePixmap(display, window, kCursorSize, kCursorSize, 1);
    GC maskGc = XCreateGC(display, shape, 0, nullptr);
    XSetForeground(display, maskGc, 1);
    XFillRectangle(display, shape, maskGc, 0, 0, kCursorSize, kCursorSize);
    XColor fore{}, back{};
    fore.red = static_cast<unsigned short>(kCursor.r * 257);
    fore.green = static_cast<unsigned short>(kCursor.g * 257);
    fore.blue = static_cast<unsigned short>(kCursor.b * 257);
    fore.flags = back.flags = DoRed | DoGreen | DoBlue;
    Cursor cursor = XCreatePixmapCursor(display, shape, shape, &fore, &back, 0, 0);
    XDefineCursor(display, window, cursor);
    XMapRaised(display, window);
    GC gc = XCreateGC(display, window, 0, nullptr);
    auto fill = [&](Rgb c, int x, int y, int w, int h) {
        XSetForeground(display, gc, Pixel(c));
        XFillRectangle(display, window, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    };
    const int band = height / 2 - 20;
    for (int step = 0; !stop_; ++step) {
        fill(kTopLeft, 0, 0, width / 2, height / 2);
        fill(kTopRight, width / 2, 0, width - width / 2, height / 2);
        fill(kBottomLeft, 0, height / 2, width / 2, height - height / 2);
        fill(kBottomRight, width / 2, height / 2, width - width / 2, height - height / 2);
        fill(Rgb{0, 0, 0}, 0, band, width, 40);
        fill(Rgb{255, 255, 255}, (step * 8) % width, band, 40, 40);
        XSync(display, False);
        ready_ = true;
        started_ = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    XFreeGC(display, gc);
    XFreeGC(display, maskGc);
    XFreeCursor(display, cursor);
    XFreePixmap(display, shape);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}
