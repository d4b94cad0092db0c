#include "platform/devices/VideoSubtypes.h"

#include <array>

namespace {
constexpr uint32_t V4l2FourCC(char a, char b, char c, char d) { return Guid::FourCC(a, b, c, d); }
constexpr uint32_t FourCC(char a, char b, char c, char d) { return Guid::FourCC(a, b, c, d); }

// DirectShow RGB is BGR order, bottom-up: its V4L2 counterparts are the BGR formats.
const std::array<VideoSubtypeInfo, 11> kSubtypes{{
    {"RGB24", MakeGuid("{e436eb7d-524f-11ce-9f53-0020af0ba770}"), 0, 24, V4l2FourCC('B', 'G', 'R', '3')},
    {"RGB32", MakeGuid("{e436eb7e-524f-11ce-9f53-0020af0ba770}"), 0, 32, V4l2FourCC('B', 'G', 'R', '4')},
    {"RGB565", MakeGuid("{e436eb7b-524f-11ce-9f53-0020af0ba770}"), 0, 16, V4l2FourCC('R', 'G', 'B', 'P')},
    {"RGB555", MakeGuid("{e436eb7c-524f-11ce-9f53-0020af0ba770}"), 0, 16, V4l2FourCC('R', 'G', 'B', 'O')},
    {"YUY2", Guid::FromFourCC(FourCC('Y', 'U', 'Y', '2')), FourCC('Y', 'U', 'Y', '2'), 16,
     V4l2FourCC('Y', 'U', 'Y', 'V')},
    {"UYVY", Guid::FromFourCC(FourCC('U', 'Y', 'V', 'Y')), FourCC('U', 'Y', 'V', 'Y'), 16,
     V4l2FourCC('U', 'Y', 'V', 'Y')},
    {"I420", Guid::FromFourCC(FourCC('I', '4', '2', '0')), FourCC('I', '4', '2', '0'), 12,
     V4l2FourCC('Y', 'U', '1', '2')},
    {"YV12", Guid::FromFourCC(FourCC('Y', 'V', '1', '2')), FourCC('Y', 'V', '1', '2'), 12,
     V4l2FourCC('Y', 'V', '1', '2')},
    {"NV12", Guid::FromFourCC(FourCC('N', 'V', '1', '2')), FourCC('N', 'V', '1', '2'), 12,
     V4l2FourCC('N', 'V', '1', '2')},
    {"MJPG", Guid::FromFourCC(FourCC('M', 'J', 'P', 'G')), FourCC('M', 'J', 'P', 'G'), 24,
     V4l2FourCC('M', 'J', 'P', 'G')},
    {"H264", Guid::FromFourCC(FourCC('H', '2', '6', '4')), FourCC('H', '2', '6', '4'), 24,
     V4l2FourCC('H', '2', '6', '4')},
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
