#pragma once
// Fitting a requested rectangle to the screen: one larger than the screen is cut to the screen's
// size, one reaching past an edge is shifted back inside, an empty or inverted one is the whole
// screen. The result always lies within the screen and is at least one pixel wide and high.
#include "platform/dshow/DShowTypes.h"

RECT FitRectToScreen(const RECT& requested, LONG screenWidth, LONG screenHeight);
