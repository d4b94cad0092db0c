#pragma once
// A Windows Media profile as plain data: what a .prx file holds and what the profile objects and
// the ASF writer work from.
#include <string>
#include <vector>

#include "platform/wmf/WmfInterfaces.h"

struct StreamDescription {
    Guid majorType;  // WMMEDIATYPE_Audio or WMMEDIATYPE_Video
    WORD streamNumber = 0;
    std::string streamName;
    std::string connectionName;
    DWORD bitrate = 0;       // bit/s
    DWORD bufferWindow = 0;  // ms; 0xFFFFFFFF: unspecified
    // Video only (100 ns units; 0..100).
    LONGLONG maxKeyFrameSpacing = 0;
    DWORD quality = 0;
    // The stream's type: WAVEFORMATEX (audio) or VIDEOINFOHEADER (video) format block.
    WM_MEDIA_TYPE type;

    bool IsVideo() const { return majorType == WMMEDIATYPE_Video; }
    bool IsAudio() const { return majorType == WMMEDIATYPE_Audio; }
};

struct ProfileDescription {
    WMT_VERSION version = WMT_VER_9_0;
    std::string name;
    std::string description;
    Guid id;  // system profiles only
    std::vector<StreamDescription> streams;
};

// Limits a profile must keep to be loaded: anything outside them is a damaged or absurd file.
namespace profile_limits {
inline constexpr LONG kMinDimension = 2;
inline constexpr LONG kMaxDimension = 4096;
inline constexpr REFERENCE_TIME kMinFrameInterval = 10000000 / 120;  // 120 frames/s
inline constexpr REFERENCE_TIME kMaxFrameInterval = 10000000;        // 1 frame/s
inline constexpr DWORD kMinSampleRate = 4000;
inline constexpr DWORD kMaxSampleRate = 192000;
inline constexpr WORD kMaxChannels = 8;
inline constexpr DWORD kMaxBitrate = 100000000;
inline constexpr WORD kMaxStreamNumber = 63;
inline constexpr size_t kMaxStreams = 16;
inline constexpr size_t kMaxNameLength = 1024;  // bytes of UTF-8
}  // namespace profile_limits

// S_OK when every stream has a unique number in 1..63, a non-zero bit rate within the limits and
// a complete format block whose sizes and rates are within the limits; NS_E_INVALIDPROFILE else.
HRESULT ValidateProfile(const ProfileDescription& profile);

// The stream types of the two kinds, as profiles carry them.
WM_MEDIA_TYPE MakeWmaType(DWORD samplesPerSec, WORD channels, DWORD bitrate, WORD formatTag = WAVE_FORMAT_WMAUDIO2);
WM_MEDIA_TYPE MakeWmvType(LONG width, LONG height, REFERENCE_TIME frameInterval, DWORD bitrate,
                          const Guid& subtype = WMMEDIASUBTYPE_WMV2);
