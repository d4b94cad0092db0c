#pragma once
// The wall clock double for tests: while it lives, WallClockNow() in this program (not in
// loadable modules: see WallClock.h) answers the time it was set to, which moves only when the
// test says so.
#include <chrono>
#include <stdexcept>
#include <string_view>

#include "platform/os/WallClock.h"

class WallClockOverride {
public:
    explicit WallClockOverride(WallClockTime now) : now_(now) {
        previous_ = SetWallClockSource([this] { return now_; });
    }
    // A local time such as "2026-12-09 14:30:00".
    explicit WallClockOverride(std::string_view localTime) : WallClockOverride(Parse(localTime)) {}
    ~WallClockOverride() { SetWallClockSource(std::move(previous_)); }
    WallClockOverride(const WallClockOverride&) = delete;
    WallClockOverride& operator=(const WallClockOverride&) = delete;

    void Set(WallClockTime now) { now_ = now; }
    void Set(std::string_view localTime) { now_ = Parse(localTime); }
    void Advance(std::chrono::milliseconds by) { now_ += by; }
    WallClockTime Now() const { return now_; }

private:
    static WallClockTime Parse(std::string_view localTime) {
        auto when = ParseLocalTime(localTime);
        if (!when) throw std::invalid_argument("not a local time: " + std::string(localTime));
        return *when;
    }

    WallClockTime now_;
    WallClockSource previous_;
};
