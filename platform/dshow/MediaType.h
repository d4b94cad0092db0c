#pragma once
// Media types: AM_MEDIA_TYPE with a format block it owns (copying a media type copies its block),
// the video and audio format blocks with the Windows byte layout, and helpers to build, compare
// and size them.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/com/Guid.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/Uuids.h"

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

// 40 bytes, as in a DIB file.
struct BITMAPINFOHEADER {
    DWORD biSize = sizeof(BITMAPINFOHEADER);
    LONG biWidth = 0;
    LONG biHeight = 0;  // > 0: bottom-up rows (RGB only); < 0: top-down
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = BI_RGB;  // BI_RGB, BI_BITFIELDS or a FourCC
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// 88 bytes: the block of FORMAT_VideoInfo.
struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate = 0;
    DWORD dwBitErrorRate = 0;
    REFERENCE_TIME AvgTimePerFrame = 0;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88 && offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

inline constexpr WORD WAVE_FORMAT_PCM = 1;
inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;

// 18 bytes (packed): the block of FORMAT_WaveFormatEx; cbSize extra bytes may follow.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag = WAVE_FORMAT_PCM;
    WORD nChannels = 0;
    DWORD nSamplesPerSec = 0;
    DWORD nAvgBytesPerSec = 0;
    WORD nBlockAlign = 0;
    WORD wBitsPerSample = 0;
    WORD cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

struct AM_MEDIA_TYPE {
    Guid majortype;
    Guid subtype;
    BOOL bFixedSizeSamples = TRUE;
    BOOL bTemporalCompression = FALSE;
    ULONG lSampleSize = 0;
    Guid formattype;

    AM_MEDIA_TYPE() = default;
    AM_MEDIA_TYPE(const AM_MEDIA_TYPE& other);
    AM_MEDIA_TYPE(AM_MEDIA_TYPE&& other) noexcept = default;
    AM_MEDIA_TYPE& operator=(const AM_MEDIA_TYPE& other);
    AM_MEDIA_TYPE& operator=(AM_MEDIA_TYPE&& other) noexcept = default;
    ~AM_MEDIA_TYPE() = default;

    // The format block (cbFormat bytes at pbFormat); null and 0 when there is none.
    ULONG cbFormat() const { return formatSize_; }
    BYTE* pbFormat() { return format_.get(); }
    const BYTE* pbFormat() const { return format_.get(); }
    // Replaces the block with a copy of `size` bytes (zeroed when `data` is null); returns it.
    BYTE* SetFormat(const void* data, ULONG size);
    // Frees the block (FreeMediaType).
    void ResetFormat();

    // The block as VIDEOINFOHEADER / WAVEFORMATEX when the format type says so and the block is
    // large enough; else null.
    VIDEOINFOHEADER* VideoInfo();
    const VIDEOINFOHEADER* VideoInfo() const;
    WAVEFORMATEX* WaveFormat();
    const WAVEFORMATEX* WaveFormat() const;

    // Equal major type, subtype, format type and format block (sizes and bytes).
    bool operator==(const AM_MEDIA_TYPE& other) const;

private:
    std::unique_ptr<BYTE[]> format_;
    ULONG formatSize_ = 0;
};

// The Windows helpers, for code written in their words.
void CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
void FreeMediaType(AM_MEDIA_TYPE& type);

// True when `type` fits `pattern`: each GUID of the pattern that is not GUID_NULL must be equal
// (major type, subtype, format type); a pattern's format block, when present, must be equal too.
bool MediaTypeMatches(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& pattern);
// True when the type is complete enough to connect with as it is (no wildcard GUIDs).
bool IsFullySpecified(const AM_MEDIA_TYPE& type);

// Bytes per row of a DIB: rows are padded to 4 bytes.
constexpr LONG DibStride(LONG width, WORD bitCount) { return ((width * bitCount + 31) / 32) * 4; }
// Image size of an uncompressed frame of this header (RGB: padded rows; YUV: packed planes).
DWORD DibImageSize(const BITMAPINFOHEADER& header);
// Bits per pixel of an uncompressed video subtype; 0 for a compressed or unknown one.
WORD BitCountOfSubtype(const Guid& subtype);
// The biCompression value of a subtype: BI_RGB for RGB, the FourCC for FourCC subtypes.
DWORD CompressionOfSubtype(const Guid& subtype);
// The subtype for a BITMAPINFOHEADER (compression and bit count).
Guid SubtypeOfBitmapHeader(const BITMAPINFOHEADER& header);

// A complete FORMAT_VideoInfo type: sizes, image size, frame interval.
AM_MEDIA_TYPE MakeVideoType(const Guid& subtype, LONG width, LONG height,
                            REFERENCE_TIME avgTimePerFrame = 0);
// A complete FORMAT_WaveFormatEx type for integer PCM.
AM_MEDIA_TYPE MakePcmAudioType(DWORD samplesPerSec, WORD channels, WORD bitsPerSample);
// Major, sub and format type only (no block): a pattern, as the grabber's SetMediaType takes.
AM_MEDIA_TYPE MakePartialType(const Guid& major, const Guid& subtype = GUID_NULL,
                              const Guid& formatType = GUID_NULL);
