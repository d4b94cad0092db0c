#include "overlay/DateFormat.h"
#include "platform/os/WallClockOverride.h"

#include <gtest/gtest.h>

namespace {
const LocalDateTime kMarch5{2026, 3, 5, 9, 4, 7};
}

TEST(DateFormat, RowsOfTheTableOnTheFifthOfMarch) {
    EXPECT_EQ(FormatOverlayDate(0, kMarch5), "03/05/2026 ");
    EXPECT_EQ(FormatOverlayDate(1, kMarch5), "05/03/2026 ");
    EXPECT_EQ(FormatOverlayDate(2, kMarch5), "03.05.2026 ");
    EXPECT_EQ(FormatOverlayDate(3, kMarch5), "05.03.2026 ");
    EXPECT_EQ(FormatOverlayDate(4, kMarch5), "09:04:07 ");
    EXPECT_EQ(FormatOverlayDate(5, kMarch5), "09:04");
    EXPECT_EQ(FormatOverlayDate(6, kMarch5), "04:07");
    EXPECT_EQ(FormatOverlayDate(7, kMarch5), "03/05/2026 09:04:07 ");
    EXPECT_EQ(FormatOverlayDate(8, kMarch5), "05/03/2026 09:04:07 ");
    EXPECT_EQ(FormatOverlayDate(9, kMarch5), "03.05.2026 09:04:07 ");
    EXPECT_EQ(FormatOverlayDate(10, kMarch5), "05.03.2026 09:04:07 ");
    EXPECT_EQ(FormatOverlayDate(11, kMarch5), "03/05/2026 09:04");
    EXPECT_EQ(FormatOverlayDate(12, kMarch5), "05/03/2026 09:04");
    EXPECT_EQ(FormatOverlayDate(13, kMarch5), "03.05.2026 09:04");
    EXPECT_EQ(FormatOverlayDate(14, kMarch5), "05.03.2026 09:04");
    // The minute:second rows.
    EXPECT_EQ(FormatOverlayDate(15, kMarch5), "03/05/2026 04:07");
    EXPECT_EQ(FormatOverlayDate(16, kMarch5), "05/03/2026 04:07");
    EXPECT_EQ(FormatOverlayDate(17, kMarch5), "03.05.2026 04:07");
    EXPECT_EQ(FormatOverlayDate(18, kMarch5), "05.03.2026 04:07");
}

TEST(DateFormat, EveryIndexOutsideTheTableTakesTheLastRow) {
    for (int index : {-1, -1000, 19, 255, 1 << 30}) EXPECT_EQ(FormatOverlayDate(index, kMarch5), "05.03.2026 04:07");
}

TEST(DateFormat, TwoDigitsAtLeastAndNeverCut) {
    LocalDateTime t{987, 12, 31, 23, 59, 0};
    EXPECT_EQ(FormatOverlayDate(7, t), "12/31/987 23:59:00 ");
    LocalDateTime far{123456, 1, 2, 0, 0, 0};
    EXPECT_EQ(FormatOverlayDate(0, far), "01/02/123456 ");
}

TEST(DateFormat, ReadsThePlatformWallClock) {
    WallClockOverride clock("2026-03-05 04:07:09");
    EXPECT_EQ(SystemLocalTime(), (LocalDateTime{2026, 3, 5, 4, 7, 9}));
}

TEST(DateFormat, SystemClockGivesAPlausibleLocalTime) {
    LocalDateTime now = SystemLocalTime();
    EXPECT_GE(now.year, 2024);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.second, 60);
}
