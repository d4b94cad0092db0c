#pragma once
// The date/time overlay: the formatted time drawn from the point (dateX, dateY) without wrapping
// or clipping, rebuilt when the text (once a second at most) or a setting changes.
#include <cstdint>
#include <string>

#include "overlay/DateFormat.h"
#include "overlay/FontCache.h"
#include "overlay/OverlayLayer.h"
#include "overlay/OverlayParams.h"

class DateLayer {
public:
    const OverlayLayer& Update(const OverlayParams& params, const LocalDateTime& now, const FrameLayout& frame,
                               FontCache& fonts);

private:
    struct Key {
        std::string text;
        std::string face;
        int32_t size = 0;
        int32_t fontStyle = 0;
        Rgb color;
        int32_t x = 0, y = 0;
        int width = 0, height = 0;
        bool bottomUp = true;
        bool operator==(const Key&) const = default;
    };
    void Build(const FrameLayout& frame, FontCache& fonts);

    bool valid_ = false;
    Key key_;
    OverlayLayer layer_;
};
