#pragma once
// The image overlay: the picture at (imageX, imageY) in its own size, drawn once at imageAlpha
// percent opacity and, with colour keying on, a second time opaque except where it has the key
// colour. Both passes blend the same colours, so they fold into one layer of per-pixel opacity:
//   key colour or keying off: alpha * imageAlpha / 100
//   any other colour:         alpha + alpha * imageAlpha / 100 * (1 - alpha)   (opaque for opaque pictures)
// The layer is rebuilt only when the file, a setting or the frame size changes.
#include <cstdint>
#include <memory>

#include "overlay/ImageCache.h"
#include "overlay/OverlayLayer.h"
#include "overlay/OverlayParams.h"

class ImageLayer {
public:
    // Empty when there is no readable picture or it lies outside the frame.
    const OverlayLayer& Update(const OverlayParams& params, const FrameLayout& frame, ImageCache& images);

private:
    struct Key {
        uint64_t generation = 0;
        uint8_t alpha = 0;
        bool keyed = false;
        Rgb keyColor;
        int32_t x = 0, y = 0;
        int width = 0, height = 0;
        bool bottomUp = true;
        bool operator==(const Key&) const = default;
    };
    void Build(const QImage& picture, const FrameLayout& frame);

    bool valid_ = false;
    Key key_;
    OverlayLayer layer_;
};
