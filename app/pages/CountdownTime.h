#pragma once
// The arithmetic of the recording countdown: what the hour, minute and second edits accept, the
// carry of 60 seconds into a minute and 60 minutes into an hour, the remaining time as the status
// line shows it, and how soon the next tick comes. Totals are 64-bit seconds.
#include <cstdint>
#include <string>

// The largest number of hours the countdown takes (about 416 days).
inline constexpr int64_t kMaxCountdownHours = 9999;

struct CountdownTime {
    int64_t hours = 0;
    int64_t minutes = 0;
    int64_t seconds = 0;

    // Seconds of 60 or more carry into minutes, minutes of 60 or more into hours (at most
    // kMaxCountdownHours; what lies beyond is dropped).
    CountdownTime Carried() const;
    int64_t TotalSeconds() const { return seconds + 60 * minutes + 3600 * hours; }
    // The hours, minutes and seconds of `total` (0 for a negative total).
    static CountdownTime FromTotal(int64_t total);
    bool operator==(const CountdownTime&) const = default;
};

// What an edit holds once a person has typed into it: hours below 0 become "0" and more than
// kMaxCountdownHours become that; minutes and seconds below 0 become "0" and 60 or more "59".
// Text that is no number becomes "0"; an empty edit stays empty while the person types.
std::string ClampHoursText(const std::string& text);
std::string ClampMinutesOrSecondsText(const std::string& text);
// The value of an edit's text (0 for an empty or unreadable one).
int64_t EditValue(const std::string& text);

// "Start recording in 00:00:09": two digits at least for each part.
std::string CountdownStatus(int64_t remainingSeconds);
// Milliseconds until the next tick: 250 in the last minute, else 500.
int NextTickMs(int64_t remainingSeconds);
