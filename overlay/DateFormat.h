#pragma once
// The date/time line of the overlay: the format table indexed by the settings dialog's list, and
// the clock it reads (injectable, so that tests know the time drawn).
#include <functional>
#include <string>

struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const LocalDateTime&) const = default;
};

using OverlayClock = std::function<LocalDateTime()>;

// The local time of the wall clock (platform/os/WallClock.h: tests and ORVANTA_CLOCK set it).
LocalDateTime SystemLocalTime();

// Rows 0 to 17 of the table; any other index (negative ones too) takes row 18. Trailing blanks of
// a row are part of the text.
std::string FormatOverlayDate(int index, const LocalDateTime& t);
