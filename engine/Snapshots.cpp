#include "engine/Snapshots.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <QImage>

#include "imaging/jpeg/Dib.h"
#include "imaging/jpeg/JpegSnapshot.h"
#include "platform/dshow/MediaType.h"

namespace {

// The pixel data of a snapshot BMP starts here: 14 bytes of file header, the 40-byte bitmap
// header and one colour entry's worth of zero bytes.
constexpr uint32_t kBmpDataOffset = 58;

// A frame as the platform's bitmap functions hand it out: its header and bottom-up rows.
struct DibFrame {
    BITMAPINFOHEADER header;
    std::vector<uint8_t> bits;
};

// The bitmap of a bottom-up (or, for a negative height, top-down) DIB of 24 or 32 bits.
QImage ImageFromDib(const BITMAPINFOHEADER& header, const uint8_t* bits) {
    const LONG width = header.biWidth;
    const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const QImage::Format format = header.biBitCount == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888;
    QImage image(width, height, format);
    if (image.isNull()) return image;
    const LONG stride = DibStride(width, header.biBitCount);
    const size_t rowBytes = static_cast<size_t>(width) * (header.biBitCount / 8);
    for (LONG y = 0; y < height; ++y) {
        const LONG source = header.biHeight > 0 ? height - 1 - y : y;
        std::memcpy(image.scanLine(y), bits + static_cast<size_t>(source) * stride, rowBytes);
    }
    return image;
}

// What GetDIBits gives for a bitmap in 24-bit form: the header the platform fills (biSize 40,
// positive height, BI_RGB, the image size, the rest 0) and all rows, bottom row first.
bool DibOfBitmap(const Bitmap& bitmap, DibFrame& frame) {
    QImage image = bitmap.Image();
    if (image.isNull()) return false;
    if (image.format() != QImage::Format_BGR888) image = image.convertToFormat(QImage::Format_BGR888);
    frame.header = BITMAPINFOHEADER();
    frame.header.biWidth = image.width();
    frame.header.biHeight = image.height();
    frame.header.biPlanes = 1;
    frame.header.biBitCount = 24;
    frame.header.biCompression = BI_RGB;
    const LONG stride = DibStride(image.width(), 24);
    frame.header.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(image.height());
    frame.bits.assign(frame.header.biSizeImage, 0);
    const size_t rowBytes = static_cast<size_t>(image.width()) * 3;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(frame.bits.data() + static_cast<size_t>(image.height() - 1 - y) * stride, image.constScanLine(y),
                    rowBytes);
    return true;
}

// Steps shared by the file snapshots: the frame, then its header and rows.
bool TakeFrame(IGraphBuilder* graph, ISampleGrabber* grabber, DibFrame& frame) {
    Bitmap bitmap;
    if (GrabFrame(graph, grabber, bitmap) != S_OK) return false;
    return DibOfBitmap(bitmap, frame);
}

void PutLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> BmpHeaders(const BITMAPINFOHEADER& header) {
    std::vector<uint8_t> out;
    out.reserve(kBmpDataOffset);
    PutLe16(out, 0x4D42);  // "BM"
    PutLe32(out, kBmpDataOffset + header.biSizeImage);
    PutLe32(out, 0);
    PutLe32(out, kBmpDataOffset);
    PutLe32(out, header.biSize);
    PutLe32(out, static_cast<uint32_t>(header.biWidth));
    PutLe32(out, static_cast<uint32_t>(header.biHeight));
    PutLe16(out, header.biPlanes);
    PutLe16(out, header.biBitCount);
    PutLe32(out, header.biCompression);
    PutLe32(out, header.biSizeImage);
    PutLe32(out, static_cast<uint32_t>(header.biXPelsPerMeter));
    PutLe32(out, static_cast<uint32_t>(header.biYPelsPerMeter));
    PutLe32(out, header.biClrUsed);
    PutLe32(out, header.biClrImportant);
    PutLe32(out, 0);  // one zero colour entry: the 24-bit frame has no colour table
    return out;
}

}  // namespace

HRESULT GrabFrame(IGraphBuilder* graph, ISampleGrabber* grabber, Bitmap& bitmap) {
    if (!graph || !grabber) return E_FAIL;
    AM_MEDIA_TYPE type;
    HRESULT hr = grabber->GetConnectedMediaType(&type);
    if (FAILED(hr)) return hr;
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    if (!vih) return E_FAIL;
    const BITMAPINFOHEADER header = vih->bmiHeader;
    type = AM_MEDIA_TYPE();

    // The section: only uncompressed 24- and 32-bit frames of a sane size make one.
    if (header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        header.biWidth <= 0 || header.biHeight == 0 || header.biWidth > 32768 || header.biHeight > 32768 ||
        header.biHeight < -32768)
        return E_FAIL;
    const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const size_t sectionSize = static_cast<size_t>(DibStride(header.biWidth, header.biBitCount)) * rows;
    const size_t declared = header.biSizeImage ? header.biSizeImage : sectionSize;

    LONG size = 0;
    hr = grabber->GetCurrentBuffer(&size, nullptr);
    if (FAILED(hr)) return hr;
    if (size < 0 || declared < static_cast<size_t>(size)) return E_FAIL;

    // Large enough for the rows and for whatever the grabber copies.
    std::vector<uint8_t> bits(std::max(sectionSize, declared), 0);
    LONG copied = size;
    hr = grabber->GetCurrentBuffer(&copied, bits.data());
    if (FAILED(hr)) return hr;

    QImage image = ImageFromDib(header, bits.data());
    if (image.isNull()) return E_FAIL;
    HBITMAP handle = CreateBitmapFromImage(image);
    if (!handle) return E_FAIL;
    bitmap.Attach(handle);  // the handle held before stays valid for whoever has it
    return S_OK;
}

int32_t SnapShot(IGraphBuilder* graph, ISampleGrabber* grabber, const std::string& fileName, HRESULT* fileError) {
    if (fileError) *fileError = S_OK;
    DibFrame frame;
    if (!TakeFrame(graph, grabber, frame)) return 0;

    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file) {
        if (fileError) *fileError = HResultFromLastErrno();
        return 0;
    }
    const std::vector<uint8_t> headers = BmpHeaders(frame.header);
    bool written = std::fwrite(headers.data(), 1, headers.size(), file) == headers.size() &&
                   std::fwrite(frame.bits.data(), 1, frame.bits.size(), file) == frame.bits.size();
    const int error = written ? 0 : errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
    }
    if (!written) {
        // A short file would open as a broken picture: none is better.
        if (fileError) *fileError = HResultFromErrno(error ? error : EIO);
        std::error_code ignored;
        std::filesystem::remove(fileName, ignored);
        return 0;
    }
    return frame.header.biHeight;
}

int32_t SnapShotJPEG(IGraphBuilder* graph, ISampleGrabber* grabber, const std::string& fileName, int16_t quality) {
    DibFrame frame;
    if (!TakeFrame(graph, grabber, frame)) return 0;
    const BITMAPINFOHEADER& h = frame.header;
    DibHeader header;
    header.biSize = h.biSize;
    header.biWidth = h.biWidth;
    header.biHeight = h.biHeight;
    header.biPlanes = h.biPlanes;
    header.biBitCount = h.biBitCount;
    header.biCompression = h.biCompression;
    header.biSizeImage = h.biSizeImage;
    header.biXPelsPerMeter = h.biXPelsPerMeter;
    header.biYPelsPerMeter = h.biYPelsPerMeter;
    header.biClrUsed = h.biClrUsed;
    header.biClrImportant = h.biClrImportant;
    return SaveJpegFile(header, {}, frame.bits, fileName, quality);
}

HBITMAP SnapShot2HBITMAP(IGraphBuilder* graph, ISampleGrabber* grabber, Bitmap& controlBitmap) {
    if (GrabFrame(graph, grabber, controlBitmap) != S_OK) return 0;
    return controlBitmap.Handle();
}

ComPtr<IPictureDisp> SnapShot2Picture(IGraphBuilder* graph, ISampleGrabber* grabber,
                                      ComPtr<IPictureDisp>& pictureHolder) {
    Bitmap bitmap;
    if (GrabFrame(graph, grabber, bitmap) != S_OK) return nullptr;
    PICTDESC desc;
    desc.picType = static_cast<UINT>(PICTYPE_BITMAP);
    desc.bmp.hbitmap = bitmap.Handle();
    desc.bmp.hpal = 0;
    ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.ReleaseAndGetVoidAddress())) || !picture)
        return nullptr;
    (void)bitmap.Detach();  // the picture owns the bitmap now
    pictureHolder = picture;
    return picture;
}
