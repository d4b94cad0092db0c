#include "platform/dshow/filters/PixelLayout.h"

AVPixelFormat PixelFormatOfSubtype(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
    if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGR0;
    if (subtype == MEDIASUBTYPE_ARGB32) return AV_PIX_FMT_BGRA;
    if (subtype == MEDIASUBTYPE_RGB555) return AV_PIX_FMT_RGB555LE;
    if (subtype == MEDIASUBTYPE_RGB565) return AV_PIX_FMT_RGB565LE;
    if (subtype == MEDIASUBTYPE_YUY2) return AV_PIX_FMT_YUYV422;
    if (subtype == MEDIASUBTYPE_UYVY) return AV_PIX_FMT_UYVY422;
    if (subtype == MEDIASUBTYPE_YVYU) return AV_PIX_FMT_YVYU422;
    if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV || subtype == MEDIASUBTYPE_YV12) {
        return AV_PIX_FMT_YUV420P;
    }
    if (subtype == MEDIASUBTYPE_NV12) return AV_PIX_FMT_NV12;
    return AV_PIX_FMT_NONE;
}

bool LayOutPlanes(const Guid& subtype, const BITMAPINFOHEADER& header, BYTE* buffer, LONG bufferSize,
                  PlaneLayout* layout) {
    *layout = PlaneLayout();
    const LONG width = header.biWidth;
    const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (width <= 0 || height <= 0 || !buffer) return false;
    WORD bits = BitCountOfSubtype(subtype);
    if (PixelFormatOfSubtype(subtype) == AV_PIX_FMT_NONE || bits == 0) return false;

    bool rgb = subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_ARGB32 ||
               subtype == MEDIASUBTYPE_RGB555 || subtype == MEDIASUBTYPE_RGB565;
    if (rgb) {
        LONG stride = DibStride(width, bits);
        if (static_cast<int64_t>(stride) * height > bufferSize) return false;
        if (header.biHeight > 0) {
            layout->data[0] = buffer + static_cast<ptrdiff_t>(stride) * (height - 1);
            layout->stride[0] = -stride;
        } else {
            layout->data[0] = buffer;
            layout->stride[0] = stride;
        }
        return true;
    }
    if (bits == 16) {  // packed 4:2:2
        LONG stride = ((width + 1) / 2) * 4;
        if (static_cast<int64_t>(stride) * height > bufferSize) return false;
        layout->data[0] = buffer;
        layout->stride[0] = stride;
        return true;
    }
    // 4:2:0 planar or semi-planar, top-down.
    LONG chromaWidth = (width + 1) / 2;
    LONG chromaHeight = (height + 1) / 2;
    int64_t luma = static_cast<int64_t>(width) * height;
    int64_t chroma = static_cast<int64_t>(chromaWidth) * chromaHeight;
    if (luma + 2 * chroma > bufferSize) return false;
    layout->data[0] = buffer;
    layout->stride[0] = width;
    if (subtype == MEDIASUBTYPE_NV12) {
        layout->data[1] = buffer + luma;
        layout->stride[1] = chromaWidth * 2;
        return true;
    }
    BYTE* first = buffer + luma;
    BYTE* second = first + chroma;
    bool vFirst = subtype == MEDIASUBTYPE_YV12;
    layout->data[1] = vFirst ? second : first;  // U
    layout->data[2] = vFirst ? first : second;  // V
    layout->stride[1] = layout->stride[2] = chromaWidth;
    return true;
}
