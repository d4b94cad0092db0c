#include "app/pages/CaptureSchedule.h"

#include <charconv>
#include <cstdio>

#include "app/pages/LimitCaptureTime.h"

namespace {

// A field of digits only (blanks around them allowed), at most `digits` long.
std::optional<int> Field(const std::string& text, size_t digits) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(' ');
    if (last - first + 1 > digits) return std::nullopt;
    int value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || *begin == '-') return std::nullopt;
    return value;
}

}  // namespace

std::optional<WallClockTime> CaptureSchedule::ScheduledTime(const std::array<std::string, 6>& fields) {
    std::array<int, 6> value{};
    for (size_t i = 0; i < fields.size(); ++i) {
        std::optional<int> field = Field(fields[i], i == 0 ? 4 : 2);
        if (!field) return std::nullopt;
        value[i] = *field;
    }
    if (value[0] < 1970) return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", value[0], value[1], value[2],
                  value[3], value[4], value[5]);
    return ParseLocalTime(text);
}

void CaptureSchedule::Arm(WallClockTime when, Action action) {
    when_ = when;
    action_ = action;
    state_ = State::Armed;
}

void CaptureSchedule::Disarm() { state_ = State::Disarmed; }

void CaptureSchedule::StartBroadcastCount() {
    broadcastSeconds_ = 0;
    broadcastCounting_ = true;
}

void CaptureSchedule::StopBroadcastCount() {
    broadcastSeconds_ = 0;
    broadcastCounting_ = false;
}

bool CaptureSchedule::Tick(WallClockTime now) {
    if (state_ != State::Armed || now < when_) return false;
    state_ = State::Running;
    return true;
}

bool CaptureSchedule::CountBroadcastSecond(const std::string& limitSeconds) {
    std::optional<int64_t> limit = ParseCaptureLimit(limitSeconds);
    if (!broadcastCounting_ || !limit) return false;
    if (++broadcastSeconds_ < *limit) return false;
    broadcastCounting_ = false;
    return true;
}
