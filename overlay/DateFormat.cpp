#include "overlay/DateFormat.h"

#include <cstdio>

#include "platform/os/WallClock.h"

namespace {
enum Field { Y, M, D, h, m, s };

struct DateRow {
    const char* format;
    Field fields[6];
    int count;
};

// "%2.2ld" prints at least two digits, so the year comes out in full.
constexpr const char* kSlashDate = "%2.2ld/%2.2ld/%2.2ld ";
constexpr const char* kDotDate = "%2.2ld.%2.2ld.%2.2ld ";
constexpr const char* kSlashLong = "%2.2ld/%2.2ld/%2.2ld %2.2ld:%2.2ld:%2.2ld ";
constexpr const char* kDotLong = "%2.2ld.%2.2ld.%2.2ld %2.2ld:%2.2ld:%2.2ld ";
constexpr const char* kSlashShort = "%2.2ld/%2.2ld/%2.2ld %2.2ld:%2.2ld";
constexpr const char* kDotShort = "%2.2ld.%2.2ld.%2.2ld %2.2ld:%2.2ld";

// Indexes are the positions of the date format list in the overlay settings dialog.
constexpr DateRow kRows[19] = {
    {kSlashDate, {M, D, Y}, 3},                //  0 mm/dd/yyyy
    {kSlashDate, {D, M, Y}, 3},                //  1 dd/mm/yyyy
    {kDotDate, {M, D, Y}, 3},                  //  2 mm.dd.yyyy
    {kDotDate, {D, M, Y}, 3},                  //  3 dd.mm.yyyy
    {"%2.2ld:%2.2ld:%2.2ld ", {h, m, s}, 3},   //  4 hh:mm:ss
    {"%2.2ld:%2.2ld", {h, m}, 2},              //  5 hh:mm
    {"%2.2ld:%2.2ld", {m, s}, 2},              //  6 mm:ss
    {kSlashLong, {M, D, Y, h, m, s}, 6},       //  7 mm/dd/yyyy hh:mm:ss
    {kSlashLong, {D, M, Y, h, m, s}, 6},       //  8 dd/mm/yyyy hh:mm:ss
    {kDotLong, {M, D, Y, h, m, s}, 6},         //  9 mm.dd.yyyy hh:mm:ss
    {kDotLong, {D, M, Y, h, m, s}, 6},         // 10 dd.mm.yyyy hh:mm:ss
    {kSlashShort, {M, D, Y, h, m}, 5},         // 11 mm/dd/yyyy hh:mm
    {kSlashShort, {D, M, Y, h, m}, 5},         // 12 dd/mm/yyyy hh:mm
    {kDotShort, {M, D, Y, h, m}, 5},           // 13 mm.dd.yyyy hh:mm
    {kDotShort, {D, M, Y, h, m}, 5},           // 14 dd.mm.yyyy hh:mm
    {kSlashShort, {M, D, Y, m, s}, 5},         // 15 mm/dd/yyyy mm:ss
    {kSlashShort, {D, M, Y, m, s}, 5},         // 16 dd/mm/yyyy mm:ss
    {kDotShort, {M, D, Y, m, s}, 5},           // 17 mm.dd.yyyy mm:ss
    {kDotShort, {D, M, Y, m, s}, 5},           // 18 dd.mm.yyyy mm:ss, every other index
};

long FieldValue(Field f, const LocalDateTime& t) {
    switch (f) {
        case Y: return t.year;
        case M: return t.month;
        case D: return t.day;
        case h: return t.hour;
        case m: return t.minute;
        case s: return t.second;
    }
    return 0;
}
}  // namespace

LocalDateTime SystemLocalTime() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return LocalDateTime{local.wYear, local.wMonth,  local.wDay,
                         local.wHour, local.wMinute, local.wSecond};
}

std::string FormatOverlayDate(int index, const LocalDateTime& t) {
    const DateRow& row = kRows[index >= 0 && index <= 17 ? index : 18];
    long v[6] = {};
    for (int i = 0; i < row.count; ++i) v[i] = FieldValue(row.fields[i], t);
    char text[96];
    // Unused trailing arguments are ignored by the format; passing all six keeps one call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-extra-args"
    std::snprintf(text, sizeof text, row.format, v[0], v[1], v[2], v[3], v[4], v[5]);
#pragma GCC diagnostic pop
    return text;
}
