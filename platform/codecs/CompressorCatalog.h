#pragma once
// The compressors this system offers, over the FFmpeg encoders of the installed libavcodec: the
// video compressors usable in AVI and the audio compressors, with the friendly names devices are
// chosen by. Only those whose encoder exists in this FFmpeg are installed.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/Guid.h"

enum class CompressorKind : uint8_t { Video, Audio };

// Capability flags of the compressor manager's list (the VIDCF_ values).
inline constexpr uint32_t VIDCF_QUALITY = 0x0001;
inline constexpr uint32_t VIDCF_CRUNCH = 0x0002;
inline constexpr uint32_t VIDCF_TEMPORAL = 0x0004;
inline constexpr uint32_t VIDCF_COMPRESSFRAMES = 0x0008;
inline constexpr uint32_t VIDCF_DRAW = 0x0010;
inline constexpr uint32_t VIDCF_FASTTEMPORALC = 0x0020;

struct CompressorInfo {
    CompressorKind kind;
    std::string friendlyName;  // "Microsoft Video 1", ...
    std::string encoder;       // FFmpeg encoder name
    uint32_t fourCC;           // video: biCompression and handler code; audio: 0
    uint16_t formatTag;        // audio: wFormatTag; video: 0
    uint32_t flags;            // VIDCF_*
    CLSID clsid;               // the filter class
};

// Every compressor this system knows, in list order.
const std::vector<CompressorInfo>& KnownCompressors();
// Those whose encoder this FFmpeg has.
std::vector<CompressorInfo> InstalledCompressors(CompressorKind kind);
const CompressorInfo* FindCompressorByName(const std::string& friendlyName);
const CompressorInfo* FindCompressorByHandler(uint32_t fourCC);
// Makes the video and audio compressor categories of the system device enumerator list the
// installed compressors. Idempotent. Part of RegisterCaptureClasses (CaptureClasses.h), the
// start-up entry programs call.
void InstallCompressorCategories();
