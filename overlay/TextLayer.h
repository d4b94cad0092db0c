#pragma once
// The text overlay: the shared line of text in one of the five styles, laid out in the rectangle
// (textX, textY, frame width, frame height) with word wrap, rendered into a layer that is rebuilt
// only when the text, a setting, the texture file or the frame size changes.
#include <cstdint>
#include <string>

#include "overlay/FontCache.h"
#include "overlay/ImageCache.h"
#include "overlay/OverlayLayer.h"
#include "overlay/OverlayParams.h"
#include "overlay/SharedOverlayText.h"

// At most this many characters of the text are drawn.
inline constexpr int kDrawnTextCharacters = 259;

class TextLayer {
public:
    // The layer for these settings; empty when there is nothing to draw (style above 4, an empty
    // text, an unknown face for the outline styles, a missing texture file, an unknown hatch style).
    const OverlayLayer& Update(const OverlayParams& params, const OverlayTextBytes& text,
                               const FrameLayout& frame, FontCache& fonts, ImageCache& images);

private:
    struct Key {
        std::string text;
        int32_t style = -1;
        std::string face;
        int32_t size = 0;
        int32_t fontStyle = 0;
        Rgb textColor, backColor, borderColor, hatchFore, hatchBack;
        int32_t hatchStyle = 0;
        uint64_t texture = 0;
        int32_t x = 0, y = 0;
        int width = 0, height = 0;
        bool bottomUp = true;
        bool operator==(const Key&) const = default;
    };
    Key MakeKey(const OverlayParams& params, const OverlayTextBytes& text, const FrameLayout& frame,
                uint64_t texture) const;
    void Build(const OverlayParams& params, const FrameLayout& frame, FontCache& fonts, const QImage* texture);

    bool valid_ = false;
    Key key_;
    OverlayLayer layer_;
};
