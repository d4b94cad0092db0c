// The shared packet ring (memory cap, where new clients join) and the send-time pacer.
#include "components/mmsh/PacketRing.h"

#include <gtest/gtest.h>

#include "components/mmsh/LivePacer.h"

using namespace std::chrono_literals;

namespace {
std::shared_ptr<const LivePacket> MakePacket(uint64_t index, bool key = false, size_t size = 100) {
    auto p = std::make_shared<LivePacket>();
    p->index = index;
    p->startsKeyFrame = key;
    p->bytes.assign(size, static_cast<uint8_t>(index));
    return p;
}
}  // namespace

TEST(PacketRingTest, KeepsTheNewestPacketsWithinItsByteCap) {
    PacketRing ring(1000);
    EXPECT_EQ(ring.JoinIndex(), ring.EndIndex());
    for (uint64_t i = 40; i < 60; ++i) ring.Push(MakePacket(i));
    EXPECT_EQ(ring.BeginIndex(), 50u);
    EXPECT_EQ(ring.EndIndex(), 60u);
    EXPECT_EQ(ring.Bytes(), 1000u);
    EXPECT_EQ(ring.At(49), nullptr);
    EXPECT_EQ(ring.At(60), nullptr);
    ASSERT_NE(ring.At(55), nullptr);
    EXPECT_EQ(ring.At(55)->index, 55u);
    EXPECT_EQ(ring.JoinIndex(), 59u) << "no key frame: the newest packet";
    // A packet bigger than the cap still goes through on its own.
    ring.Push(MakePacket(60, false, 5000));
    EXPECT_EQ(ring.BeginIndex(), 60u);
    EXPECT_EQ(ring.EndIndex(), 61u);
}

TEST(PacketRingTest, ClientsJoinAtTheNewestKeyFrameStillHeld) {
    PacketRing ring(1000);
    for (uint64_t i = 0; i < 8; ++i) ring.Push(MakePacket(i, i == 2 || i == 5));
    EXPECT_EQ(ring.JoinIndex(), 5u);
    for (uint64_t i = 8; i < 16; ++i) ring.Push(MakePacket(i));
    EXPECT_EQ(ring.JoinIndex(), 15u) << "the key frames have left the ring";
    // A gap in the numbering starts afresh rather than mislabelling packets.
    ring.Push(MakePacket(100, true));
    EXPECT_EQ(ring.BeginIndex(), 100u);
    EXPECT_EQ(ring.EndIndex(), 101u);
    EXPECT_EQ(ring.JoinIndex(), 100u);
}

TEST(LivePacerTest, ReleasesBySendTimeAndReanchorsOnStallsAndJumps) {
    LivePacer pacer;
    auto t0 = LivePacer::Clock::time_point() + 1000s;
    EXPECT_TRUE(pacer.IsDue(10000, t0)) << "the first packet anchors";
    EXPECT_FALSE(pacer.IsDue(10100, t0 + 99ms));
    EXPECT_TRUE(pacer.IsDue(10100, t0 + 100ms));
    EXPECT_EQ(pacer.DueTime(12000), t0 + 2000ms);
    EXPECT_TRUE(pacer.IsDue(9000, t0)) << "an older send time is due at once";

    // The writer stalled for 3 s: its next packet re-anchors, later ones follow it, not a burst.
    EXPECT_TRUE(pacer.IsDue(10200, t0 + 3200ms));
    EXPECT_FALSE(pacer.IsDue(10300, t0 + 3250ms));
    EXPECT_TRUE(pacer.IsDue(10300, t0 + 3300ms));

    // A jump far ahead is a discontinuity, not a 60 s wait.
    EXPECT_TRUE(pacer.IsDue(70300, t0 + 3400ms));
    EXPECT_FALSE(pacer.IsDue(70400, t0 + 3450ms));
}

TEST(LivePacerTest, SendTimesWrapAround) {
    LivePacer pacer;
    auto t0 = LivePacer::Clock::time_point() + 5s;
    pacer.Anchor(0xFFFFFF00u, t0);
    EXPECT_EQ(pacer.DueTime(0x00000100u), t0 + 512ms);
    EXPECT_FALSE(pacer.IsDue(0x00000100u, t0 + 500ms));
    EXPECT_TRUE(pacer.IsDue(0x00000100u, t0 + 512ms));
}
