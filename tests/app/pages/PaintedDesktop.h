#pragma once
// A test client on a private X server: the root window painted in four coloured quadrants (the
// desktop, with no window of its own) and one top-level window with native child windows, two
// of them overlapping and one holding a grandchild, all painted by the server from their
// background colours. The rectangles are in screen pixels.
#include <string>

#include "app/pages/CaptureGeometry.h"

struct _XDisplay;

class PaintedDesktop {
public:
    static constexpr unsigned kTopLeft = 0xFF0000, kTopRight = 0x00C800, kBottomLeft = 0x0000FF,
                              kBottomRight = 0xFFFF00;
    // The top-level window and its children, in screen pixels.
    static constexpr CaptureArea kFrame{200, 150, 400, 300};
    static constexpr CaptureArea kPanel{220, 170, 300, 200};    // child of the frame
    static constexpr CaptureArea kButton{270, 210, 100, 80};    // child of the panel
    static constexpr CaptureArea kOverlap{450, 250, 120, 150};  // child of the frame over the panel

    explicit PaintedDesktop(const std::string& display);
    ~PaintedDesktop();
    PaintedDesktop(const PaintedDesktop&) = delete;
    PaintedDesktop& operator=(const PaintedDesktop&) = delete;

    bool Ready() const { return display_ != nullptr; }
    // A top-level window at `frame` holding a child at `client`, as a reparenting window manager
    // frames a program's window; the client's id.
    unsigned long AddFramedWindow(const CaptureArea& frame, const CaptureArea& client);
    // The quadrant colour (0xRRGGBB) of a desktop point.
    static unsigned ColourAt(int x, int y, int width, int height);

private:
    _XDisplay* display_ = nullptr;
};
