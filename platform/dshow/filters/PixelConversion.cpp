#include "platform/dshow/filters/PixelConversion.h"

#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

namespace {
// libyuv names packed formats by their words, FFmpeg by their bytes: libyuv's RGB24 is B, G, R in
// memory (FFmpeg's BGR24) and its ARGB is B, G, R, A (FFmpeg's BGRA, or BGR0 ignoring the fourth).
bool IsBgra(AVPixelFormat f) { return f == AV_PIX_FMT_BGRA || f == AV_PIX_FMT_BGR0; }
}  // namespace

bool ConvertPixelsDirect(AVPixelFormat from, const uint8_t* const fromPlanes[], const int fromStrides[], AVPixelFormat to,
                         uint8_t* const toPlanes[], const int toStrides[], int width, int height) {
    if (width <= 0 || height <= 0) return false;
    const uint8_t* const* s = fromPlanes;
    const int* ss = fromStrides;
    uint8_t* const* d = toPlanes;
    const int* ds = toStrides;
    int r = -1;
    if (from == AV_PIX_FMT_YUV420P) {
        if (to == AV_PIX_FMT_BGR24)
            r = libyuv::I420ToRGB24(s[0], ss[0], s[1], ss[1], s[2], ss[2], d[0], ds[0], width, height);
        else if (IsBgra(to))
            r = libyuv::I420ToARGB(s[0], ss[0], s[1], ss[1], s[2], ss[2], d[0], ds[0], width, height);
        else if (to == AV_PIX_FMT_YUV420P)
            r = libyuv::I420Copy(s[0], ss[0], s[1], ss[1], s[2], ss[2], d[0], ds[0], d[1], ds[1], d[2], ds[2], width, height);
        else if (to == AV_PIX_FMT_YUYV422)
            r = libyuv::I420ToYUY2(s[0], ss[0], s[1], ss[1], s[2], ss[2], d[0], ds[0], width, height);
        else if (to == AV_PIX_FMT_UYVY422)
            r = libyuv::I420ToUYVY(s[0], ss[0], s[1], ss[1], s[2], ss[2], d[0], ds[0], width, height);
    } else if (to == AV_PIX_FMT_YUV420P) {
        if (from == AV_PIX_FMT_BGR24)
            r = libyuv::RGB24ToI420(s[0], ss[0], d[0], ds[0], d[1], ds[1], d[2], ds[2], width, height);
        else if (IsBgra(from))
            r = libyuv::ARGBToI420(s[0], ss[0], d[0], ds[0], d[1], ds[1], d[2], ds[2], width, height);
        else if (from == AV_PIX_FMT_YUYV422)
            r = libyuv::YUY2ToI420(s[0], ss[0], d[0], ds[0], d[1], ds[1], d[2], ds[2], width, height);
        else if (from == AV_PIX_FMT_UYVY422)
            r = libyuv::UYVYToI420(s[0], ss[0], d[0], ds[0], d[1], ds[1], d[2], ds[2], width, height);
        else if (from == AV_PIX_FMT_NV12)
            r = libyuv::NV12ToI420(s[0], ss[0], s[1], ss[1], d[0], ds[0], d[1], ds[1], d[2], ds[2], width, height);
    } else if (from == AV_PIX_FMT_BGR24 && to == AV_PIX_FMT_BGR24) {
        libyuv::CopyPlane(s[0], ss[0], d[0], ds[0], width * 3, height);
        r = 0;
    } else if (from == AV_PIX_FMT_BGR24 && to == AV_PIX_FMT_BGR0) {
        // BGRA would need its alpha kept from somewhere; BGR0's fourth byte is undefined.
        r = libyuv::RGB24ToARGB(s[0], ss[0], d[0], ds[0], width, height);
    } else if (IsBgra(from) && to == AV_PIX_FMT_BGR24) {
        r = libyuv::ARGBToRGB24(s[0], ss[0], d[0], ds[0], width, height);
    } else if (from == AV_PIX_FMT_NV12 && to == AV_PIX_FMT_BGR24) {
        r = libyuv::NV12ToRGB24(s[0], ss[0], s[1], ss[1], d[0], ds[0], width, height);
    } else if (from == AV_PIX_FMT_YUYV422 && IsBgra(to)) {
        r = libyuv::YUY2ToARGB(s[0], ss[0], d[0], ds[0], width, height);
    } else if (from == AV_PIX_FMT_UYVY422 && IsBgra(to)) {
        r = libyuv::UYVYToARGB(s[0], ss[0], d[0], ds[0], width, height);
    }
    return r == 0;
}
