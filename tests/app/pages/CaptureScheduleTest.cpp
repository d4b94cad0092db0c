// The auto-capture schedule's decisions: which edits name a moment, when a tick starts, and the
// broadcast count against the limit.
#include "app/pages/CaptureSchedule.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Fields = std::array<std::string, 6>;

TEST(CaptureSchedule, OnlyRealDatesAndTimesArm) {
    EXPECT_EQ(CaptureSchedule::ScheduledTime({"2026", "12", "9", "14", "30", "5"}),
              ParseLocalTime("2026-12-09 14:30:05"));
    EXPECT_EQ(CaptureSchedule::ScheduledTime({" 2026", "02", "28 ", "0", "0", "0"}),
              ParseLocalTime("2026-02-28 00:00:00"));
    for (const Fields& bad : {Fields{"2026", "4", "31", "1", "0", "0"}, Fields{"2026", "2", "29", "1", "0", "0"},
                              Fields{"2026", "1", "1", "24", "0", "0"}, Fields{"2026", "1", "1", "0", "60", "0"},
                              Fields{"2026", "13", "1", "0", "0", "0"}, Fields{"1969", "1", "1", "0", "0", "0"},
                              Fields{"2026", "1", "", "0", "0", "0"}, Fields{"2026", "1", "-1", "0", "0", "0"},
                              Fields{"2026", "1", "1x", "0", "0", "0"}, Fields{"20261", "1", "1", "0", "0", "0"},
                              Fields{"2026", "001", "1", "0", "0", "0"}}) {
        EXPECT_EQ(CaptureSchedule::ScheduledTime(bad), std::nullopt)
            << bad[0] << "-" << bad[1] << "-" << bad[2] << " " << bad[3] << ":" << bad[4] << ":" << bad[5];
    }
}

TEST(CaptureSchedule, StartsOnceAtTheFirstTickThatReachedTheMoment) {
    const WallClockTime at = *ParseLocalTime("2026-12-09 14:30:00");
    CaptureSchedule schedule;
    EXPECT_FALSE(schedule.Tick(at)) << "disarmed";
    schedule.Arm(at, CaptureSchedule::Action::StartBroadcast);
    EXPECT_EQ(schedule.GetState(), CaptureSchedule::State::Armed);
    EXPECT_FALSE(schedule.Tick(at - 1s));
    EXPECT_TRUE(schedule.Tick(at + 250ms));
    EXPECT_EQ(schedule.GetState(), CaptureSchedule::State::Running);
    EXPECT_FALSE(schedule.Tick(at + 2s)) << "once only";
    schedule.Disarm();
    // A moment long past starts at the first tick.
    schedule.Arm(at - 24h, CaptureSchedule::Action::StartVideoCapture);
    EXPECT_TRUE(schedule.Tick(at));
    EXPECT_EQ(schedule.GetAction(), CaptureSchedule::Action::StartVideoCapture);
}

TEST(CaptureSchedule, BroadcastCountStopsAtTheLimitOnly) {
    CaptureSchedule schedule;
    EXPECT_FALSE(schedule.CountBroadcastSecond("1")) << "not counting";
    schedule.StartBroadcastCount();
    EXPECT_FALSE(schedule.CountBroadcastSecond(""));
    EXPECT_FALSE(schedule.CountBroadcastSecond("x"));
    EXPECT_FALSE(schedule.CountBroadcastSecond("0"));
    schedule.StartBroadcastCount();
    EXPECT_FALSE(schedule.CountBroadcastSecond("3"));
    EXPECT_FALSE(schedule.CountBroadcastSecond("3"));
    EXPECT_TRUE(schedule.CountBroadcastSecond("3"));
    EXPECT_FALSE(schedule.BroadcastCounting());
    EXPECT_FALSE(schedule.CountBroadcastSecond("3")) << "once only";
}
