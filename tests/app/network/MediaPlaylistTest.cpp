// The broadcast list: slots used once per opening, entries that keep pointing at their slots,
// the refusal at the limit and the entry a broadcast starts and moves on with.
#include "app/network/MediaPlaylist.h"

#include <gtest/gtest.h>

TEST(MediaPlaylist, RemovedEntriesLeaveTheirSlotsEmptyAndLaterFilesTakeNewOnes) {
    MediaPlaylist list;
    list.Reset();
    EXPECT_EQ(list.Add("C:\\Music\\one.mp3"), 0);
    EXPECT_EQ(list.Add("/home/me/two.wmv"), 1);
    EXPECT_EQ(list.Add("three.asf"), 2);
    EXPECT_EQ(list.Entries()[0].name, "one.mp3");
    EXPECT_EQ(list.Entries()[1].name, "two.wmv");
    EXPECT_EQ(list.Entries()[2].name, "three.asf");

    ASSERT_TRUE(list.Remove(1));
    EXPECT_FALSE(list.Remove(2));
    EXPECT_FALSE(list.Remove(-1));
    EXPECT_EQ(list.Add("four.wma"), 2);
    ASSERT_EQ(list.Entries().size(), 3u);
    EXPECT_EQ(list.Entries()[2].slot, 3);  // slot 1 stays empty
    EXPECT_EQ(list.SlotsUsed(), 4);
    EXPECT_EQ(list.PathOf(1), "three.asf");
    EXPECT_EQ(list.PathOf(2), "four.wma");
    EXPECT_EQ(list.PathOf(3), "");

    // Reopening empties everything and starts again at slot 0.
    list.Reset();
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_EQ(list.Add("again.mp3"), 0);
    EXPECT_EQ(list.Entries()[0].slot, 0);
}

TEST(MediaPlaylist, RefusesTheFileAfterTheLastSlotEvenWhenEntriesWereRemoved) {
    MediaPlaylist list;
    for (int i = 0; i < MediaPlaylist::kMaxSlots; ++i) ASSERT_TRUE(list.Add("f" + std::to_string(i) + ".mp3"));
    ASSERT_TRUE(list.Remove(0));
    EXPECT_FALSE(list.Add("one.too.many.mp3"));
    EXPECT_EQ(list.Entries().size(), static_cast<size_t>(MediaPlaylist::kMaxSlots - 1));
    EXPECT_EQ(list.Entries().back().name, "f4094.mp3");
    EXPECT_NE(std::string(MediaPlaylist::kFullMessage).find("4095"), std::string::npos);
}

TEST(MediaPlaylist, StartsAtTheSelectedEntryOrTheFirstAndStopsAfterTheLast) {
    MediaPlaylist list;
    EXPECT_FALSE(list.StartEntry(std::nullopt));
    list.Add("a.mp3");
    list.Add("b.wmv");
    EXPECT_EQ(list.StartEntry(std::nullopt), 0);
    EXPECT_EQ(list.StartEntry(1), 1);
    EXPECT_EQ(list.StartEntry(7), 0);
    EXPECT_EQ(list.NextEntry(0), 1);
    EXPECT_FALSE(list.NextEntry(1));
    EXPECT_EQ(MediaPlaylist::BroadcastAddress("192.168.1.20", 8080), "mms://192.168.1.20:8080");
}
