#include "platform/dshow/MediaType.h"

#include <cstdlib>

#include <cstring>

AM_MEDIA_TYPE::AM_MEDIA_TYPE(const AM_MEDIA_TYPE& other)
    : majortype(other.majortype),
      subtype(other.subtype),
      bFixedSizeSamples(other.bFixedSizeSamples),
      bTemporalCompression(other.bTemporalCompression),
      lSampleSize(other.lSampleSize),
      formattype(other.formattype) {
    if (other.formatSize_) SetFormat(other.format_.get(), other.formatSize_);
}

AM_MEDIA_TYPE& AM_MEDIA_TYPE::operator=(const AM_MEDIA_TYPE& other) {
    if (this != &other) {
        AM_MEDIA_TYPE copy(other);
        *this = std::move(copy);
    }
    return *this;
}

BYTE* AM_MEDIA_TYPE::SetFormat(const void* data, ULONG size) {
    if (size == 0) {
        ResetFormat();
        return nullptr;
    }
    auto block = std::make_unique<BYTE[]>(size);
    if (data) {
        std::memcpy(block.get(), data, size);
    } else {
        std::memset(block.get(), 0, size);
    }
    format_ = std::move(block);
    formatSize_ = size;
    return format_.get();
}

void AM_MEDIA_TYPE::ResetFormat() {
    format_.reset();
    formatSize_ = 0;
}

VIDEOINFOHEADER* AM_MEDIA_TYPE::VideoInfo() {
    if (formattype != FORMAT_VideoInfo || formatSize_ < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<VIDEOINFOHEADER*>(format_.get());
}

const VIDEOINFOHEADER* AM_MEDIA_TYPE::VideoInfo() const {
    return const_cast<AM_MEDIA_TYPE*>(this)->VideoInfo();
}

WAVEFORMATEX* AM_MEDIA_TYPE::WaveFormat() {
    if (formattype != FORMAT_WaveFormatEx || formatSize_ < sizeof(WAVEFORMATEX)) return nullptr;
    return reinterpret_cast<WAVEFORMATEX*>(format_.get());
}

const WAVEFORMATEX* AM_MEDIA_TYPE::WaveFormat() const {
    return const_cast<AM_MEDIA_TYPE*>(this)->WaveFormat();
}

bool AM_MEDIA_TYPE::operator==(const AM_MEDIA_TYPE& other) const {
    return majortype == other.majortype && subtype == other.subtype && formattype == other.formattype &&
           formatSize_ == other.formatSize_ &&
           (formatSize_ == 0 || std::memcmp(format_.get(), other.format_.get(), formatSize_) == 0);
}

void CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (target && source) *target = *source;
}

void FreeMediaType(AM_MEDIA_TYPE& type) { type.ResetFormat(); }

bool MediaTypeMatches(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& pattern) {
    if (!pattern.majortype.IsNull() && pattern.majortype != type.majortype) return false;
    if (!pattern.subtype.IsNull() && pattern.subtype != type.subtype) return false;
    if (!pattern.formattype.IsNull()) {
        if (pattern.formattype != type.formattype) return false;
        if (pattern.cbFormat() != 0 &&
            (pattern.cbFormat() != type.cbFormat() ||
             std::memcmp(pattern.pbFormat(), type.pbFormat(), pattern.cbFormat()) != 0)) {
            return false;
        }
    }
    return true;
}

bool IsFullySpecified(const AM_MEDIA_TYPE& type) {
    return !type.majortype.IsNull() && !type.subtype.IsNull() && !type.formattype.IsNull();
}

WORD BitCountOfSubtype(const Guid& subtype) {
    struct Entry {
        Guid subtype;
        WORD bits;
    };
    static constexpr Entry table[] = {
        {MEDIASUBTYPE_RGB1, 1},   {MEDIASUBTYPE_RGB4, 4},   {MEDIASUBTYPE_RGB8, 8},
        {MEDIASUBTYPE_RGB565, 16}, {MEDIASUBTYPE_RGB555, 16}, {MEDIASUBTYPE_RGB24, 24},
        {MEDIASUBTYPE_RGB32, 32}, {MEDIASUBTYPE_ARGB32, 32}, {MEDIASUBTYPE_YUY2, 16},
        {MEDIASUBTYPE_UYVY, 16},  {MEDIASUBTYPE_YVYU, 16},  {MEDIASUBTYPE_I420, 12},
        {MEDIASUBTYPE_IYUV, 12},  {MEDIASUBTYPE_YV12, 12},  {MEDIASUBTYPE_NV12, 12},
        {MEDIASUBTYPE_YVU9, 9},   {MEDIASUBTYPE_Y411, 12},  {MEDIASUBTYPE_Y41P, 12},
    };
    for (const Entry& e : table) {
        if (e.subtype == subtype) return e.bits;
    }
    return 0;
}

namespace {
bool IsRgbSubtype(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_RGB1 || subtype == MEDIASUBTYPE_RGB4 || subtype == MEDIASUBTYPE_RGB8 ||
           subtype == MEDIASUBTYPE_RGB565 || subtype == MEDIASUBTYPE_RGB555 ||
           subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_ARGB32;
}

bool IsFourCCSubtype(const Guid& subtype) {
    Guid base = Guid::FromFourCC(0);
    return subtype.data2 == base.data2 && subtype.data3 == base.data3 && subtype.data4 == base.data4;
}
}  // namespace

DWORD CompressionOfSubtype(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_RGB565) return BI_BITFIELDS;
    if (IsRgbSubtype(subtype)) return BI_RGB;
    if (IsFourCCSubtype(subtype)) return subtype.data1;
    return BI_RGB;
}

Guid SubtypeOfBitmapHeader(const BITMAPINFOHEADER& header) {
    if (header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS) {
        switch (header.biBitCount) {
            case 1: return MEDIASUBTYPE_RGB1;
            case 4: return MEDIASUBTYPE_RGB4;
            case 8: return MEDIASUBTYPE_RGB8;
            case 16: return header.biCompression == BI_BITFIELDS ? MEDIASUBTYPE_RGB565 : MEDIASUBTYPE_RGB555;
            case 24: return MEDIASUBTYPE_RGB24;
            case 32: return MEDIASUBTYPE_RGB32;
            default: return GUID_NULL;
        }
    }
    return Guid::FromFourCC(header.biCompression);
}

DWORD DibImageSize(const BITMAPINFOHEADER& header) {
    LONG width = header.biWidth < 0 ? -header.biWidth : header.biWidth;
    LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS) {
        return static_cast<DWORD>(DibStride(width, header.biBitCount)) * static_cast<DWORD>(height);
    }
    Guid subtype = Guid::FromFourCC(header.biCompression);
    if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV || subtype == MEDIASUBTYPE_YV12 ||
        subtype == MEDIASUBTYPE_NV12) {
        // Full-size luma plane and two quarter-size chroma planes (rounded up for odd sizes).
        DWORD luma = static_cast<DWORD>(width) * static_cast<DWORD>(height);
        DWORD chroma = static_cast<DWORD>((width + 1) / 2) * static_cast<DWORD>((height + 1) / 2);
        return luma + 2 * chroma;
    }
    WORD bits = BitCountOfSubtype(subtype);
    if (bits == 16) return static_cast<DWORD>(((width + 1) / 2) * 4) * static_cast<DWORD>(height);
    if (bits) return static_cast<DWORD>(width) * static_cast<DWORD>(height) * bits / 8;
    return header.biSizeImage;
}

AM_MEDIA_TYPE MakeVideoType(const Guid& subtype, LONG width, LONG height, REFERENCE_TIME avgTimePerFrame) {
    AM_MEDIA_TYPE type;
    type.majortype = MEDIATYPE_Video;
    type.subtype = subtype;
    type.formattype = FORMAT_VideoInfo;
    VIDEOINFOHEADER vih;
    vih.AvgTimePerFrame = avgTimePerFrame;
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biBitCount = BitCountOfSubtype(subtype);
    vih.bmiHeader.biCompression = CompressionOfSubtype(subtype);
    vih.bmiHeader.biSizeImage = DibImageSize(vih.bmiHeader);
    // A coded format (MJPG) has no image size of its own; without one no allocator can be sized
    // for it. Two bytes a pixel is the bound camera drivers give for a coded frame.
    const bool coded = vih.bmiHeader.biSizeImage == 0;
    if (coded)
        vih.bmiHeader.biSizeImage = static_cast<DWORD>(std::abs(width)) * static_cast<DWORD>(std::abs(height)) * 2;
    if (avgTimePerFrame > 0) {
        vih.dwBitRate = static_cast<DWORD>(
            static_cast<uint64_t>(vih.bmiHeader.biSizeImage) * 8 * UNITS / static_cast<uint64_t>(avgTimePerFrame));
    }
    type.SetFormat(&vih, sizeof vih);
    type.bFixedSizeSamples = !coded;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = vih.bmiHeader.biSizeImage;
    return type;
}

AM_MEDIA_TYPE MakePcmAudioType(DWORD samplesPerSec, WORD channels, WORD bitsPerSample) {
    AM_MEDIA_TYPE type;
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    WAVEFORMATEX wfx;
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = samplesPerSec;
    wfx.wBitsPerSample = bitsPerSample;
    wfx.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
    wfx.nAvgBytesPerSec = samplesPerSec * wfx.nBlockAlign;
    wfx.cbSize = 0;
    type.SetFormat(&wfx, sizeof wfx);
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = wfx.nBlockAlign;
    return type;
}

AM_MEDIA_TYPE MakePartialType(const Guid& major, const Guid& subtype, const Guid& formatType) {
    AM_MEDIA_TYPE type;
    type.majortype = major;
    type.subtype = subtype;
    type.formattype = formatType;
    return type;
}
