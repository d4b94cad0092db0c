#pragma once
// The 53 hatch styles of the platform's HatchStyle list, each an 8x8 tile of foreground and
// background pixels repeated from the frame's top-left corner.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include <QImage>

#include "overlay/OverlayParams.h"

inline constexpr int kHatchStyleCount = 53;

// Eight rows, top first; bit 7 of a row is its leftmost pixel, a set bit is foreground.
using HatchBits = std::array<uint8_t, 8>;

// Empty for a style outside 0..52.
std::optional<HatchBits> HatchPattern(int style);
std::string_view HatchStyleName(int style);

// An opaque 8x8 tile of the style in the two colours; a null image for an unknown style.
QImage HatchTile(int style, Rgb fore, Rgb back);
