#include "engine/FormatNames.h"

#include <cstdio>
#include <utility>

#include "platform/devices/DeviceDescription.h"
#include "platform/dshow/Uuids.h"

namespace {

struct SubtypeName {
    Guid subtype;
    const char* name;
};

// Compared in order, first match wins.
constexpr SubtypeName kScalableNames[] = {
    {MEDIASUBTYPE_YVU9, "YVU9"},
    {MEDIASUBTYPE_Y411, "Y411"},
    {MEDIASUBTYPE_Y41P, "Y41P"},
    {MEDIASUBTYPE_YUY2, "YUY2"},
    {MEDIASUBTYPE_YVYU, "YVYU"},
    {MEDIASUBTYPE_UYVY, "UYVY"},
    {MEDIASUBTYPE_Y211, "Y211"},
    {MEDIASUBTYPE_CLJR, "CLJR"},
    {MEDIASUBTYPE_IF09, "IF09"},
    {MEDIASUBTYPE_CPLA, "CPLA"},
    {MEDIASUBTYPE_MJPG, "MJPG"},
    {MEDIASUBTYPE_TVMJ, "TVMJ"},
    {MEDIASUBTYPE_WAKE, "WAKE"},
    {MEDIASUBTYPE_CFCC, "CFCC"},
    {MEDIASUBTYPE_IJPG, "IJPG"},
    {MEDIASUBTYPE_Plum, "Plum"},
    {MEDIASUBTYPE_RGB1, "RGB1"},
    {MEDIASUBTYPE_RGB4, "RGB4"},
    {MEDIASUBTYPE_RGB8, "RGB8"},
    {MEDIASUBTYPE_RGB565, "RGB565"},
    {MEDIASUBTYPE_RGB555, "RGB555"},
    {MEDIASUBTYPE_RGB24, "RGB24"},
    {MEDIASUBTYPE_RGB32, "RGB32"},
    {MEDIASUBTYPE_ARGB32, "ARGB32"},
    {MEDIASUBTYPE_Overlay, "Overlay"},
    {MEDIASUBTYPE_QTMovie, "QTMovie"},
    {MEDIASUBTYPE_QTRpza, "QTRpza"},
    {MEDIASUBTYPE_QTSmc, "QTSmc"},
    {MEDIASUBTYPE_QTRle, "QTRle"},
    {MEDIASUBTYPE_QTJpeg, "QTJpeg"},
    {MEDIASUBTYPE_dvsd, "dvsd"},
    {MEDIASUBTYPE_dvhd, "dvhd"},
    {MEDIASUBTYPE_dvsl, "dvsl"},
    {MEDIASUBTYPE_MPEG1Packet, "MPEG1Packet"},
    {MEDIASUBTYPE_MPEG1Payload, "MPEG1Payload"},
    {MEDIASUBTYPE_VPVideo, "VPVideo"},
    {MEDIASUBTYPE_VPVBI, "VPVBI"},
    {MEDIASUBTYPE_I420, "I420"},
    {MEDIASUBTYPE_YV12, "YV12"},
};

// Several FourCCs share one name here: IF09 reads as YVU9, CPLA as UYVY, the motion-JPEG
// variants as MJPG. The first eight entries are the RGB part the format dialog names.
constexpr size_t kRgbNameCount = 8;
constexpr SubtypeName kFixedNames[] = {
    {MEDIASUBTYPE_RGB1, "RGB1"},
    {MEDIASUBTYPE_RGB4, "RGB4"},
    {MEDIASUBTYPE_RGB8, "RGB8"},
    {MEDIASUBTYPE_RGB565, "RGB565"},
    {MEDIASUBTYPE_RGB555, "RGB555"},
    {MEDIASUBTYPE_RGB24, "RGB24"},
    {MEDIASUBTYPE_RGB32, "RGB32"},
    {MEDIASUBTYPE_ARGB32, "ARGB32"},
    {MEDIASUBTYPE_Overlay, "HARDWARE OVERLAY"},
    {MEDIASUBTYPE_QTMovie, "QUICKTIME COMPRESSION"},
    {MEDIASUBTYPE_YVU9, "YVU9"},
    {MEDIASUBTYPE_Y411, "YUV 411"},
    {MEDIASUBTYPE_Y41P, "Y41P"},
    {MEDIASUBTYPE_YUY2, "YUY2"},
    {MEDIASUBTYPE_YVYU, "YVYU"},
    {MEDIASUBTYPE_VPVBI, "VBI"},
    {MEDIASUBTYPE_UYVY, "UYVY"},
    {MEDIASUBTYPE_Y211, "YUV 211"},
    {MEDIASUBTYPE_CLJR, "Cirrus Logic YUV 411"},
    {MEDIASUBTYPE_IF09, "YVU9"},
    {MEDIASUBTYPE_CPLA, "UYVY"},
    {MEDIASUBTYPE_MJPG, "MJPG"},
    {MEDIASUBTYPE_YV12, "YV12"},
    {MEDIASUBTYPE_TVMJ, "MJPG"},
    {MEDIASUBTYPE_WAKE, "MJPG"},
    {MEDIASUBTYPE_CFCC, "MJPG"},
    {MEDIASUBTYPE_IJPG, "MJPG"},
    {MEDIASUBTYPE_Plum, "MJPG"},
};

template <size_t N>
const char* Lookup(const SubtypeName (&table)[N], size_t count, const Guid& subtype) {
    for (size_t i = 0; i < count && i < N; ++i)
        if (table[i].subtype == subtype) return table[i].name;
    return nullptr;
}

}  // namespace

const std::array<FixedFormatSize, 15> kFixedFormatSizes = {{
    {160, 120}, {176, 144}, {240, 176}, {240, 180}, {320, 240},
    {352, 240}, {352, 288}, {640, 240}, {640, 288}, {640, 480},
    {704, 576}, {720, 240}, {720, 288}, {720, 480}, {720, 576},
}};

const char* ScalableSubtypeName(const Guid& subtype) {
    const char* name = Lookup(kScalableNames, std::size(kScalableNames), subtype);
    return name ? name : "Unknown";
}

const char* FixedSubtypeName(const Guid& subtype) {
    const char* name = Lookup(kFixedNames, std::size(kFixedNames), subtype);
    return name ? name : "UNKNOWN";
}

std::string RgbSubtypeName(const Guid& subtype) {
    const char* name = Lookup(kFixedNames, kRgbNameCount, subtype);
    return name ? name : "";
}

std::string FourCCName(uint32_t compression) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((compression >> (8 * i)) & 0xFF);
        if (c == '\0') break;  // the name ends as a C string would
        name += c;
    }
    return name;
}

std::string SizeText(int32_t width, int32_t height) {
    char text[32];
    std::snprintf(text, sizeof text, "(%dx%d)", width, height);
    return text;
}

std::string FixedSizeSuffix(const FixedFormatSize& size) { return " " + SizeText(size.width, size.height); }

const char* CrossbarConnectorName(LONG physicalType) { return ConnectorTypeName(physicalType); }
