#include "platform/os/WallClock.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

namespace {

constexpr const char* kClockVariable = "ORVANTA_CLOCK";
constexpr const char* kSinceVariable = "ORVANTA_CLOCK_SINCE";

std::mutex sourceLock;
WallClockSource& Source() {
    static WallClockSource source;
    return source;
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The clock ORVANTA_CLOCK asks for: its time at the recorded moment, running on from there. The
// variables are read again on every call (a test may change them); what they gave is kept.
class EnvironmentClock {
public:
    std::optional<WallClockTime> Now() {
        std::lock_guard guard(lock_);
        const std::string text = Variable(kClockVariable);
        const std::string since = Variable(kSinceVariable);
        if (text != text_ || since != sinceText_) Read(text, since);
        if (!start_) return std::nullopt;
        return *start_ + (std::chrono::system_clock::now() - since_);
    }

private:
    void Read(const std::string& text, const std::string& since) {
        text_ = text;
        sinceText_ = since;
        start_ = text.empty() ? std::nullopt : ParseLocalTime(text);
        if (!text.empty() && !start_) {
            std::fprintf(stderr, "orvanta: %s=\"%s\" is not a local time such as "
                                 "\"2026-12-09 14:30:00\"; the system clock is used\n",
                         kClockVariable, text.c_str());
        }
        if (!start_) return;
        char* end = nullptr;
        const long long ns = std::strtoll(since.c_str(), &end, 10);
        if (!since.empty() && *end == '\0') {
            since_ = WallClockTime(std::chrono::duration_cast<WallClockTime::duration>(
                std::chrono::nanoseconds(ns)));
            return;
        }
        // The first reader of the process records the moment for the others.
        since_ = std::chrono::system_clock::now();
        sinceText_ = std::to_string(
            std::chrono::duration_cast<std::chrono::nanoseconds>(since_.time_since_epoch()).count());
        setenv(kSinceVariable, sinceText_.c_str(), 1);
    }

    std::mutex lock_;
    std::string text_;
    std::string sinceText_;
    std::optional<WallClockTime> start_;
    WallClockTime since_;
};

SYSTEMTIME FromTm(const std::tm& tm, WallClockTime when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    SYSTEMTIME out;
    out.wYear = static_cast<WORD>(tm.tm_year + 1900);
    out.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    out.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    out.wDay = static_cast<WORD>(tm.tm_mday);
    out.wHour = static_cast<WORD>(tm.tm_hour);
    out.wMinute = static_cast<WORD>(tm.tm_min);
    out.wSecond = static_cast<WORD>(tm.tm_sec);
    out.wMilliseconds = static_cast<WORD>(((ms.count() % 1000) + 1000) % 1000);
    return out;
}

}  // namespace

WallClockTime WallClockNow() {
    WallClockSource source;
    {
        std::lock_guard guard(sourceLock);
        source = Source();
    }
    if (source) return source();
    static EnvironmentClock environment;
    if (auto now = environment.Now()) return *now;
    return std::chrono::system_clock::now();
}

SYSTEMTIME LocalTimeOf(WallClockTime when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return FromTm(tm, when);
}

SYSTEMTIME UniversalTimeOf(WallClockTime when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    return FromTm(tm, when);
}

void GetLocalTime(SYSTEMTIME* time) {
    if (time) *time = LocalTimeOf(WallClockNow());
}

void GetSystemTime(SYSTEMTIME* time) {
    if (time) *time = UniversalTimeOf(WallClockNow());
}

std::optional<WallClockTime> ParseLocalTime(std::string_view text) {
    const std::string copy(text);
    std::tm tm{};
    int consumed = 0;
    char separator = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon,
                    &tm.tm_mday, &separator, &tm.tm_hour, &tm.tm_min, &tm.tm_sec,
                    &consumed) != 7 ||
        static_cast<size_t>(consumed) != copy.size() || (separator != ' ' && separator != 'T'))
        return std::nullopt;
    const std::tm asked = tm;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&tm);
    // mktime moves fields that are out of range (the 31st of April) instead of refusing them.
    if (seconds == static_cast<std::time_t>(-1) || tm.tm_mday != asked.tm_mday ||
        tm.tm_mon + 1 != asked.tm_mon || tm.tm_min != asked.tm_min || tm.tm_sec != asked.tm_sec)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

WallClockSource SetWallClockSource(WallClockSource source) {
    std::lock_guard guard(sourceLock);
    std::swap(Source(), source);
    return source;
}
