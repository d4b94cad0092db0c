#pragma once
// Draws the three overlays of one filter instance onto RGB24 frames in place. The layers and the
// decoded files and fonts behind them are kept between frames; a frame only blends what is ready.
// Used by one streaming thread at a time.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "overlay/DateFormat.h"
#include "overlay/DateLayer.h"
#include "overlay/FontCache.h"
#include "overlay/ImageCache.h"
#include "overlay/ImageLayer.h"
#include "overlay/OverlayLayer.h"
#include "overlay/OverlayParams.h"
#include "overlay/SharedOverlayText.h"
#include "overlay/TextLayer.h"

// The layout of an RGB24 bitmap of biWidth x biHeight (a negative height is top-down); empty for
// sizes no frame can have.
std::optional<FrameLayout> Rgb24Layout(int32_t biWidth, int32_t biHeight);

// The frame copy: the picture (imageBytes) from `in` to `out`, and zeros after it up to the data
// length `length`; never more than either buffer holds.
void CopyFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, size_t length, size_t imageBytes);

class OverlayRenderer {
public:
    // Draws image, then text, then date, each when its flag is set. `text` and `now` are read only
    // for the overlays that need them.
    void Draw(uint8_t* frame, const FrameLayout& layout, const OverlayParams& params, const OverlayTextBytes& text,
              const LocalDateTime& now);

private:
    FontCache fonts_;
    ImageCache images_;
    ImageLayer image_;
    TextLayer text_;
    DateLayer date_;
};
