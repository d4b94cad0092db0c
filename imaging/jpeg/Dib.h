#pragma once
// The device-independent bitmap layout the encoder reads: the 40-byte header and the colour-table
// entries that follow it, little-endian and packed exactly as they are stored.
#include <cstdint>

#pragma pack(push, 1)
struct DibHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // positive: rows stored bottom-up
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

struct RgbQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};
#pragma pack(pop)

static_assert(sizeof(DibHeader) == 40, "the header is stored as 40 bytes");
static_assert(sizeof(RgbQuad) == 4, "a colour-table entry is stored as 4 bytes");

// Uncompressed rows; the only compression the encoder reads.
inline constexpr uint32_t kDibRgb = 0;
