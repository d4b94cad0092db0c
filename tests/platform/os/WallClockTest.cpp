// The wall clock: set by tests in process, by ORVANTA_CLOCK for modules and other programs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "platform/os/WallClock.h"
#include "platform/os/WallClockOverride.h"
#include "tests/platform/os/OsTestSupport.h"

using namespace std::chrono_literals;

namespace {

// Five and a half hours east of UTC, without the time zone database.
class WallClock : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "IST-5:30", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        unsetenv("ORVANTA_CLOCK");
        unsetenv("ORVANTA_CLOCK_SINCE");
        tzset();
    }
};

SYSTEMTIME Time(WORD y, WORD mo, WORD dow, WORD d, WORD h, WORD mi, WORD s, WORD ms = 0) {
    return SYSTEMTIME{y, mo, dow, d, h, mi, s, ms};
}

long long Nanoseconds(WallClockTime when) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
}

}  // namespace

TEST_F(WallClock, OverrideSetsLocalAndUniversalTime) {
    WallClockOverride clock("2026-12-09 14:30:05");
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(local, Time(2026, 12, 3, 9, 14, 30, 5)) << "a Wednesday";
    EXPECT_EQ(utc, Time(2026, 12, 3, 9, 9, 0, 5));

    clock.Advance(10h + 1250ms);
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(local, Time(2026, 12, 4, 10, 0, 30, 6, 250)) << "past midnight";
    EXPECT_EQ(utc, Time(2026, 12, 3, 9, 19, 0, 6, 250));
    {
        WallClockOverride inner("1999-12-31 23:59:59");
        EXPECT_EQ(LocalTimeOf(WallClockNow()).wYear, 1999);
    }
    EXPECT_EQ(WallClockNow(), clock.Now()) << "the outer override is back";
}

TEST_F(WallClock, LocalTimesOnlyWhenEveryFieldIsInRange) {
    EXPECT_EQ(LocalTimeOf(*ParseLocalTime("2028-02-29T23:00:00")), Time(2028, 2, 2, 29, 23, 0, 0));
    for (const char* bad : {"2026-04-31 10:00:00", "2027-02-29 10:00:00", "2026-13-01 10:00:00",
                            "2026-12-09 24:00:00", "2026-12-09 10:60:00", "2026-12-09 10:00",
                            "2026-12-09 10:00:00 ", "2026-12-09_10:00:00", "yesterday", ""}) {
        EXPECT_EQ(ParseLocalTime(bad), std::nullopt) << bad;
    }
}

TEST_F(WallClock, EnvironmentStartsTheClockThatThenRunsOn) {
    setenv("ORVANTA_CLOCK", "2031-06-01 08:00:00", 1);
    const WallClockTime first = WallClockNow();
    const char* since = std::getenv("ORVANTA_CLOCK_SINCE");
    ASSERT_NE(since, nullptr) << "the first read records its moment for the other modules";
    EXPECT_NEAR(static_cast<double>(std::atoll(since)),
                static_cast<double>(Nanoseconds(std::chrono::system_clock::now())), 5e9);
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_EQ(local.wYear, 2031);
    EXPECT_EQ(local.wHour, 8);
    EXPECT_LT(local.wMinute, 1);

    std::this_thread::sleep_for(30ms);
    const auto ran = WallClockNow() - first;
    EXPECT_GE(ran, 30ms);
    EXPECT_LT(ran, 5s);

    // A module reading later, with the moment recorded, agrees with the first reader.
    setenv("ORVANTA_CLOCK_SINCE", std::to_string(Nanoseconds(std::chrono::system_clock::now() - 1h)).c_str(), 1);
    GetLocalTime(&local);
    EXPECT_EQ(local.wHour, 9) << "started an hour ago at 08:00";
}

TEST_F(WallClock, ProgramsStartedLaterReadTheSameTimeline) {
    setenv("ORVANTA_CLOCK", "2031-06-01 08:00:00", 1);
    WallClockNow();
    // As if this process had first read the clock an hour and a half ago.
    const auto since = std::chrono::system_clock::now() - 90min;
    setenv("ORVANTA_CLOCK_SINCE", std::to_string(Nanoseconds(since)).c_str(), 1);
    os_test::PeerProcess peer({"clock", "now"});
    EXPECT_THAT(peer.WaitReady(), testing::StartsWith("2031-06-01 09:30:"));
}

TEST_F(WallClock, UnreadableEnvironmentFallsBackToTheSystemClock) {
    setenv("ORVANTA_CLOCK", "tomorrow at noon", 1);
    testing::internal::CaptureStderr();
    const auto skew = WallClockNow() - std::chrono::system_clock::now();
    WallClockNow();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_LT(skew < 0s ? -skew : skew, 5s);
    EXPECT_THAT(said, testing::HasSubstr("ORVANTA_CLOCK=\"tomorrow at noon\" is not a local time"));
    EXPECT_EQ(said.find("ORVANTA_CLOCK", said.find("ORVANTA_CLOCK") + 1), std::string::npos)
        << "said once: " << said;
    EXPECT_EQ(std::getenv("ORVANTA_CLOCK_SINCE"), nullptr);
}
