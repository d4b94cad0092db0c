#pragma once
// Analog TV standards: the AnalogVideo_* bits, their names and the V4L2 standard ids behind them.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/base/HResult.h"

struct AnalogStandardInfo {
    std::string_view name;  // "NTSC_M", "PAL_B", ...
    LONG analogVideo;       // AnalogVideo_* bit
    uint64_t v4l2Std;       // v4l2_std_id bits it stands for
};

std::optional<AnalogStandardInfo> AnalogStandardByName(std::string_view name);
// AnalogVideo_* bits of every standard in a V4L2 std mask.
LONG AnalogStandardsFromV4l2(uint64_t v4l2Std);
// The V4L2 std mask for AnalogVideo_* bits (0 when none maps).
uint64_t V4l2StdFromAnalogStandards(LONG analogVideo);
// 525 for the 60 Hz standards, 625 for the others, 0 for none.
LONG AnalogStandardLines(LONG analogVideo);
