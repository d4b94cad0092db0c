#include "engine/VideoAspect.h"

#include <cstdlib>
#include <limits>

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t product = static_cast<int64_t>(a) * b;
    int64_t quotient = product / c;
    int64_t remainder = product % c;
    // Round half away from zero.
    if (std::llabs(remainder) * 2 >= std::llabs(static_cast<int64_t>(c))) quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    if (quotient > std::numeric_limits<int32_t>::max() || quotient < std::numeric_limits<int32_t>::min()) return -1;
    return static_cast<int32_t>(quotient);
}

VideoRect FitToAspect(int32_t sw, int32_t sh, const VideoRect& d) {
    // A renderer that has seen no frame reports no source size: nothing to keep.
    if (sw <= 0 || sh <= 0) return d;
    VideoRect r = d;
    if (static_cast<int64_t>(d.height) * sw < static_cast<int64_t>(d.width) * sh) {
        // The destination is wider than the source.
        r.width = MulDiv(d.height, sw, sh);
        r.left = d.left + (d.width - r.width) / 2;
    } else {
        r.height = MulDiv(sh, d.width, sw);
        r.top = d.top + (d.height - r.height) / 2;
    }
    return r;
}
