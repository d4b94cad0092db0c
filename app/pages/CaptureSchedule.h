#pragma once
// The auto-capture schedule of the broadcast page: a local date and time at which a device
// recording or a device broadcast starts, and the count of broadcast seconds that stops a
// scheduled broadcast at its limit. It only decides; the page acts. Times come from the wall
// clock (WallClock.h), so tests say what time it is. UI thread only.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/os/WallClock.h"

class CaptureSchedule {
public:
    // The "When time is up:" choices, in list order.
    enum class Action { StartVideoCapture = 0, StartBroadcast = 1 };
    // Disarmed; armed and waiting for the moment; running what it started.
    enum class State { Disarmed, Armed, Running };

    // The moment the six edits (year, month, day, hour, minute, second) name in local time;
    // nothing when a field is no whole number or the date or time does not exist (the 31st of
    // April, hour 24, a year before 1970).
    static std::optional<WallClockTime> ScheduledTime(const std::array<std::string, 6>& fields);

    void Arm(WallClockTime when, Action action);
    // Back to disarmed from any state.
    void Disarm();

    // Once a second: true exactly once, at the first tick whose clock has reached the moment
    // (so a moment already past starts at the first tick); the schedule is then Running.
    bool Tick(WallClockTime now);

    // The broadcast duration count, for any device broadcast the page runs under a limit.
    void StartBroadcastCount();
    void StopBroadcastCount();
    bool BroadcastCounting() const { return broadcastCounting_; }
    // Once a second while counting: true when the count reaches `limitSeconds` (decimal text;
    // empty or not a positive number: never), which also stops the count.
    bool CountBroadcastSecond(const std::string& limitSeconds);

    State GetState() const { return state_; }
    Action GetAction() const { return action_; }
    WallClockTime When() const { return when_; }
    int64_t BroadcastSeconds() const { return broadcastSeconds_; }

private:
    State state_ = State::Disarmed;
    Action action_ = Action::StartVideoCapture;
    WallClockTime when_{};
    int64_t broadcastSeconds_ = 0;
    bool broadcastCounting_ = false;
};
