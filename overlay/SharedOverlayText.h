#pragma once
// The overlay text is one buffer for the whole process: setting it through any filter instance
// changes what every instance draws (the preview and the write filter show the same line).
#include <array>
#include <string_view>

#include "platform/contracts/OverlayConfig.h"

using OverlayTextBytes = std::array<char, kOverlayTextBytes>;

class SharedOverlayText {
public:
    // Stores the text, cut to the buffer (at a character boundary) when it is longer.
    static void Set(std::string_view text);
    // Copies the terminated text into `out`.
    static void CopyTo(OverlayTextBytes& out);
};
