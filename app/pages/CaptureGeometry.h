#pragma once
// The arithmetic of the screen recorder's rectangles: the capture area as recorded (every value
// raised to even, then kept on the screen) and the Dynamic Focus zoom rectangles, which are kept
// in floating point so that the small steps of an animation add up instead of truncating away.
#include <optional>

struct CaptureArea {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const CaptureArea&) const = default;
};

struct FocusRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
    bool operator==(const FocusRect&) const = default;
};

// Each value raised to the next even number; an area that then reaches past a screen of
// `screenWidth` x `screenHeight` (when known, i.e. positive) is shrunk to fit (its size kept even)
// and shifted back onto it. nullopt for an empty area (a width or height of 0).
std::optional<CaptureArea> RecordedArea(CaptureArea area, int screenWidth, int screenHeight);

FocusRect ToFocusRect(const CaptureArea& area);

// A rectangle of `width` x `height` centred on (x, y), shifted back inside `bounds` where it
// sticks out.
FocusRect CentredInside(double x, double y, double width, double height, const FocusRect& bounds);

// The zoom-in target: half the width and height of `full`, centred on the mouse, inside `full`.
FocusRect ZoomTarget(const FocusRect& full, double mouseX, double mouseY);
