#include "components/pavisse/ScreenGeometry.h"

#include <algorithm>

namespace {
// One axis: the span [start, end) fitted into [0, size).
void FitSpan(LONG start, LONG end, LONG size, LONG& outStart, LONG& outEnd) {
    LONG length = std::clamp<LONG>(end - start, 1, size);
    outStart = std::clamp<LONG>(start, 0, size - length);
    outEnd = outStart + length;
}
}  // namespace

RECT FitRectToScreen(const RECT& requested, LONG screenWidth, LONG screenHeight) {
    screenWidth = std::max<LONG>(screenWidth, 1);
    screenHeight = std::max<LONG>(screenHeight, 1);
    if (requested.right <= requested.left || requested.bottom <= requested.top)
        return RECT{0, 0, screenWidth, screenHeight};
    RECT fitted;
    FitSpan(requested.left, requested.right, screenWidth, fitted.left, fitted.right);
    FitSpan(requested.top, requested.bottom, screenHeight, fitted.top, fitted.bottom);
    return fitted;
}
