#include "imaging/jpeg/PixelRows.h"

#include "imaging/jpeg/ColourConversion.h"
#include "imaging/jpeg/VectorTargets.h"

namespace {

ORVANTA_VECTOR_CLONES void SplitBgr(const uint8_t* bgr, int count, uint8_t* red, uint8_t* green,
                                    uint8_t* blue) {
    for (int x = 0; x < count; ++x) {
        blue[x] = bgr[3 * x];
        green[x] = bgr[3 * x + 1];
        red[x] = bgr[3 * x + 2];
    }
}

ORVANTA_VECTOR_CLONES void Luma(const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                                int count, int16_t* luma) {
    for (int x = 0; x < count; ++x)
        luma[x] = static_cast<int16_t>(ycc::Luma(red[x], green[x], blue[x]));
}

ORVANTA_VECTOR_CLONES void Chroma(const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                                  int count, int16_t* cb, int16_t* cr) {
    for (int j = 0; j < count; ++j) {
        cb[j] = static_cast<int16_t>(ycc::BlueDifference(red[2 * j], green[2 * j], blue[2 * j]));
        cr[j] = static_cast<int16_t>(ycc::RedDifference(red[2 * j], green[2 * j], blue[2 * j]));
    }
}

}  // namespace

void SplitBgrRow(const uint8_t* bgr, int count, uint8_t* red, uint8_t* green, uint8_t* blue) {
    SplitBgr(bgr, count, red, green, blue);
}

void ConvertLumaRow(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int count,
                    int16_t* luma) {
    Luma(red, green, blue, count, luma);
}

void ConvertChromaRow(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int count,
                      int16_t* cb, int16_t* cr) {
    Chroma(red, green, blue, count, cb, cr);
}
