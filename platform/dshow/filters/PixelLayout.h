#pragma once
// How an uncompressed video subtype lies in a sample buffer, in FFmpeg's terms: pixel format and
// plane pointers. RGB DIBs with a positive biHeight are bottom-up; their first plane is described
// from the last row with a negative stride, so that FFmpeg reads the picture upright.
extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/dshow/MediaType.h"

// AV_PIX_FMT_NONE for a subtype that is not uncompressed video we know.
AVPixelFormat PixelFormatOfSubtype(const Guid& subtype);

struct PlaneLayout {
    uint8_t* data[4] = {};
    int stride[4] = {};
};

// Planes of one frame of `header` (subtype as given) at `buffer`; false when the subtype has no
// layout or the buffer is smaller than the frame.
bool LayOutPlanes(const Guid& subtype, const BITMAPINFOHEADER& header, BYTE* buffer, LONG bufferSize,
                  PlaneLayout* layout);
