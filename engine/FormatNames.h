#pragma once
// The names the capture engine gives to media subtypes, FourCCs, the fixed sizes of scalable
// devices and crossbar connectors.
#include <array>
#include <cstdint>
#include <string>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

// Name of a subtype in the list of a scalable device; "Unknown" for others.
const char* ScalableSubtypeName(const Guid& subtype);
// Name of an uncompressed subtype in the list of a fixed-caps device; "UNKNOWN" for others.
const char* FixedSubtypeName(const Guid& subtype);
// The RGB part of the fixed-caps names (RGB1 ... ARGB32), as the format dialog reports them;
// empty for other subtypes.
std::string RgbSubtypeName(const Guid& subtype);
// The four characters of a biCompression value in memory order (lowest byte first); stops at a
// zero byte.
std::string FourCCName(uint32_t compression);

struct FixedFormatSize {
    int32_t width;
    int32_t height;
};
// The sizes offered for every video capability of a scalable device, in list order.
extern const std::array<FixedFormatSize, 15> kFixedFormatSizes;
// " (WxH)": the suffix of a fixed size's entry.
std::string FixedSizeSuffix(const FixedFormatSize& size);
// "(WxH)".
std::string SizeText(int32_t width, int32_t height);

// Name of a physical connector type; "Unknown Type" for others.
const char* CrossbarConnectorName(LONG physicalType);
