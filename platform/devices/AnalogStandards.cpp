#include "platform/devices/AnalogStandards.h"

#include <array>

namespace {
// PAL_B takes B1 and PAL_D takes D1 and K with it: V4L2 drivers report them together.
const std::array<AnalogStandardInfo, 21> kStandards{{
    {"NTSC_M", 0x1, 0x00001000},      {"NTSC_M_J", 0x2, 0x00002000},   {"NTSC_433", 0x4, 0x00004000},
    {"PAL_B", 0x10, 0x3},             {"PAL_D", 0x20, 0xE0},           {"PAL_G", 0x40, 0x4},
    {"PAL_H", 0x80, 0x8},             {"PAL_I", 0x100, 0x10},          {"PAL_M", 0x200, 0x100},
    {"PAL_N", 0x400, 0x200},          {"PAL_60", 0x800, 0x800},        {"SECAM_B", 0x1000, 0x10000},
    {"SECAM_D", 0x2000, 0x20000},     {"SECAM_G", 0x4000, 0x40000},    {"SECAM_H", 0x8000, 0x80000},
    {"SECAM_K", 0x10000, 0x100000},   {"SECAM_K1", 0x20000, 0x200000}, {"SECAM_L", 0x40000, 0x400000},
    {"SECAM_L1", 0x80000, 0x800000},  {"PAL_N_COMBO", 0x100000, 0x400},
    {"None", 0, 0},
}};
}  // namespace

std::optional<AnalogStandardInfo> AnalogStandardByName(std::string_view name) {
    for (const auto& info : kStandards)
        if (info.name == name) return info;
    return std::nullopt;
}

LONG AnalogStandardsFromV4l2(uint64_t v4l2Std) {
    LONG result = 0;
    for (const auto& info : kStandards)
        if (info.v4l2Std != 0 && (v4l2Std & info.v4l2Std) != 0) result |= info.analogVideo;
    return result;
}

uint64_t V4l2StdFromAnalogStandards(LONG analogVideo) {
    uint64_t result = 0;
    for (const auto& info : kStandards)
        if ((analogVideo & info.analogVideo) != 0) result |= info.v4l2Std;
    return result;
}

LONG AnalogStandardLines(LONG analogVideo) {
    if (analogVideo == 0) return 0;
    constexpr LONG k525 = 0x1 | 0x2 | 0x4 | 0x200 | 0x800;  // NTSC, PAL_M, PAL_60
    return (analogVideo & k525) != 0 ? 525 : 625;
}
