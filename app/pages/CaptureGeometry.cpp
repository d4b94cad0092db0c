#include "app/pages/CaptureGeometry.h"

#include <algorithm>

namespace {

int EvenUp(int value) { return value % 2 ? value + 1 : value; }

// Fits [start, start + size) into [0, limit): the size shrunk to an even number that fits, the
// start moved back so that the end stays inside.
void FitSpan(int& start, int& size, int limit) {
    if (limit <= 0) return;
    if (size > limit) size = limit - limit % 2;
    start = std::clamp(start, 0, limit - size);
}

double Shift(double start, double size, double low, double high) {
    if (start + size > high) start = high - size;
    if (start < low) start = low;
    return start;
}

}  // namespace

std::optional<CaptureArea> RecordedArea(CaptureArea area, int screenWidth, int screenHeight) {
    if (area.width <= 0 || area.height <= 0) return std::nullopt;
    area = {EvenUp(area.left), EvenUp(area.top), EvenUp(area.width), EvenUp(area.height)};
    FitSpan(area.left, area.width, screenWidth);
    FitSpan(area.top, area.height, screenHeight);
    if (area.width <= 0 || area.height <= 0) return std::nullopt;
    return area;
}

FocusRect ToFocusRect(const CaptureArea& a) {
    return {static_cast<double>(a.left), static_cast<double>(a.top), static_cast<double>(a.left + a.width),
            static_cast<double>(a.top + a.height)};
}

FocusRect CentredInside(double x, double y, double width, double height, const FocusRect& bounds) {
    const double left = Shift(x - width / 2, width, bounds.left, bounds.right);
    const double top = Shift(y - height / 2, height, bounds.top, bounds.bottom);
    return {left, top, left + width, top + height};
}

FocusRect ZoomTarget(const FocusRect& full, double mouseX, double mouseY) {
    return CentredInside(mouseX, mouseY, full.Width() / 2, full.Height() / 2, full);
}
