#include "platform/devices/VideoSubtypes.h"

#include <array>

#include "platform/dshow/Uuids.h"

namespace {
constexpr uint32_t V4l2FourCC(char a, char b, char c, char d) { return Guid::FourCC(a, b, c, d); }
constexpr uint32_t Compression(const Guid& fourCCSubtype) { return fourCCSubtype.data1; }

// The graph layer has no H.264 subtype of its own; cameras that stream it use the FourCC one.
constexpr Guid kSubtypeH264 = Guid::FromFourCC(Guid::FourCC('H', '2', '6', '4'));

// DirectShow RGB is BGR order, bottom-up: its V4L2 counterparts are the BGR formats.
const std::array<VideoSubtypeInfo, 11> kSubtypes{{
    {"RGB24", MEDIASUBTYPE_RGB24, 0, 24, V4l2FourCC('B', 'G', 'R', '3')},
    {"RGB32", MEDIASUBTYPE_RGB32, 0, 32, V4l2FourCC('B', 'G', 'R', '4')},
    {"RGB565", MEDIASUBTYPE_RGB565, 0, 16, V4l2FourCC('R', 'G', 'B', 'P')},
    {"RGB555", MEDIASUBTYPE_RGB555, 0, 16, V4l2FourCC('R', 'G', 'B', 'O')},
    {"YUY2", MEDIASUBTYPE_YUY2, Compression(MEDIASUBTYPE_YUY2), 16, V4l2FourCC('Y', 'U', 'Y', 'V')},
    {"UYVY", MEDIASUBTYPE_UYVY, Compression(MEDIASUBTYPE_UYVY), 16, V4l2FourCC('U', 'Y', 'V', 'Y')},
    {"I420", MEDIASUBTYPE_I420, Compression(MEDIASUBTYPE_I420), 12, V4l2FourCC('Y', 'U', '1', '2')},
    {"YV12", MEDIASUBTYPE_YV12, Compression(MEDIASUBTYPE_YV12), 12, V4l2FourCC('Y', 'V', '1', '2')},
    {"NV12", MEDIASUBTYPE_NV12, Compression(MEDIASUBTYPE_NV12), 12, V4l2FourCC('N', 'V', '1', '2')},
    {"MJPG", MEDIASUBTYPE_MJPG, Compression(MEDIASUBTYPE_MJPG), 24, V4l2FourCC('M', 'J', 'P', 'G')},
    {"H264", kSubtypeH264, Compression(kSubtypeH264), 24, V4l2FourCC('H', '2', '6', '4')},
}};
}  // namespace

std::optional<VideoSubtypeInfo> VideoSubtypeByName(std::string_view name) {
    for (const auto& info : kSubtypes)
        if (info.name == name) return info;
    return std::nullopt;
}

std::optional<VideoSubtypeInfo> VideoSubtypeByGuid(const Guid& subtype) {
    for (const auto& info : kSubtypes)
        if (info.subtype == subtype) return info;
    return std::nullopt;
}

std::optional<VideoSubtypeInfo> VideoSubtypeByV4l2(uint32_t pixelFormat) {
    for (const auto& info : kSubtypes)
        if (info.v4l2PixelFormat == pixelFormat) return info;
    return std::nullopt;
}

int64_t VideoFrameBytes(const VideoSubtypeInfo& info, int width, int height) {
    if (info.compression == 0) {
        int64_t stride = (static_cast<int64_t>(width) * info.bitCount / 8 + 3) & ~int64_t{3};
        return stride * height;
    }
    return static_cast<int64_t>(width) * height * info.bitCount / 8;
}
