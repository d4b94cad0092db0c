#include "app/pages/CountdownTime.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

// The number the text starts with, after blanks: nothing when there is none. Values beyond 64
// bits saturate, so that an absurdly long entry still clamps the right way.
std::optional<int64_t> LeadingNumber(const std::string& text) {
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string::npos) return std::nullopt;
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    int64_t value = 0;
    const std::errc error = std::from_chars(first, last, value).ec;
    if (error == std::errc::result_out_of_range)
        return *first == '-' ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    if (error != std::errc()) return std::nullopt;
    return value;
}

std::string Clamp(const std::string& text, int64_t highest, int64_t above) {
    if (text.empty()) return text;
    std::optional<int64_t> value = LeadingNumber(text);
    if (!value || *value < 0) return "0";
    if (*value > highest) return std::to_string(above);
    return std::to_string(*value);
}

}  // namespace

CountdownTime CountdownTime::Carried() const {
    CountdownTime out = *this;
    out.minutes += out.seconds / 60;
    out.seconds %= 60;
    out.hours += out.minutes / 60;
    out.minutes %= 60;
    out.hours = std::min(out.hours, kMaxCountdownHours);
    return out;
}

CountdownTime CountdownTime::FromTotal(int64_t total) {
    if (total < 0) total = 0;
    return {total / 3600, total / 60 % 60, total % 60};
}

std::string ClampHoursText(const std::string& text) {
    return Clamp(text, kMaxCountdownHours, kMaxCountdownHours);
}

std::string ClampMinutesOrSecondsText(const std::string& text) { return Clamp(text, 59, 59); }

int64_t EditValue(const std::string& text) {
    std::optional<int64_t> value = LeadingNumber(text);
    return value ? *value : 0;
}

std::string CountdownStatus(int64_t remainingSeconds) {
    const CountdownTime left = CountdownTime::FromTotal(remainingSeconds);
    char text[64];
    std::snprintf(text, sizeof text, "Start recording in %02lld:%02lld:%02lld",
                  static_cast<long long>(left.hours), static_cast<long long>(left.minutes),
                  static_cast<long long>(left.seconds));
    return text;
}

int NextTickMs(int64_t remainingSeconds) { return remainingSeconds <= 60 ? 250 : 500; }
