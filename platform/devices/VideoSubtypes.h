#pragma once
// The uncompressed and capture-side compressed video subtypes devices offer, with what a bitmap
// header says about them and the V4L2 pixel format behind each.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/com/Guid.h"

struct VideoSubtypeInfo {
    std::string_view name;  // "RGB24", "YUY2", ...
    Guid subtype;
    uint32_t compression;   // biCompression
    int bitCount;
    uint32_t v4l2PixelFormat;  // 0: no V4L2 counterpart
};

std::optional<VideoSubtypeInfo> VideoSubtypeByName(std::string_view name);
std::optional<VideoSubtypeInfo> VideoSubtypeByGuid(const Guid& subtype);
std::optional<VideoSubtypeInfo> VideoSubtypeByV4l2(uint32_t pixelFormat);
// Bytes of one frame of that subtype and size (RGB rows padded to 4 bytes).
int64_t VideoFrameBytes(const VideoSubtypeInfo& info, int width, int height);
