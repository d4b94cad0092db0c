#pragma once
// The wall clock: everything that shows or acts on the date and time of day (the date overlay,
// snapshot file names, scheduled recordings) reads it here, so that tests can say what time it
// is.
//
// In one process a test sets the time with WallClockOverride (WallClockOverride.h). Loadable
// modules carry their own copy of this code, which an override in the test program does not
// reach; for them, and for whole programs started by a test, set the environment variable
//
//     ORVANTA_CLOCK="2026-12-09 14:30:00"     (local time; "2026-12-09T14:30:00" also reads)
//
// and the clock starts at that time and then runs on at the real rate. The first copy of this
// code to read the clock records when it did in ORVANTA_CLOCK_SINCE (real time, nanoseconds since
// the epoch), so that every module of the process, and every program it starts, reads one
// timeline; set ORVANTA_CLOCK_SINCE yourself to pin that moment. Both are read at every call, so
// a change takes effect at the next reading. A value that does not read as a time is reported
// once on standard error and the real clock is used.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/base/HResult.h"

using WORD = uint16_t;

// A broken-down time with the Windows field order and meaning (wDayOfWeek 0 is Sunday).
struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;
    WORD wDayOfWeek = 0;
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
    bool operator==(const SYSTEMTIME&) const = default;
};

using WallClockTime = std::chrono::system_clock::time_point;
using WallClockSource = std::function<WallClockTime()>;

// Now, by the clock in force: an installed source, else ORVANTA_CLOCK, else the system clock.
WallClockTime WallClockNow();
// Now in local time and in UTC.
void GetLocalTime(SYSTEMTIME* time);
void GetSystemTime(SYSTEMTIME* time);

// The broken-down local or UTC time of `when`.
SYSTEMTIME LocalTimeOf(WallClockTime when);
SYSTEMTIME UniversalTimeOf(WallClockTime when);
// The instant of a local date and time ("2026-12-09 14:30:00" or with "T"); nullopt when the
// text is not one.
std::optional<WallClockTime> ParseLocalTime(std::string_view text);

// Replaces the clock in this copy of the code; an empty source brings back the default.
// Returns the previous source.
WallClockSource SetWallClockSource(WallClockSource source);
