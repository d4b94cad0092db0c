#include "bench/broadcast/FrameDelays.h"

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr int64_t kMs = 1000000;

// Frame n handed over at n * 40 ms.
std::optional<int64_t> Every40Ms(uint32_t n) { return static_cast<int64_t>(n) * 40 * kMs; }

TEST(FrameDelays, LiveFramesGiveTheirDelayAndTheCatchUpBurstDoesNot) {
    std::vector<FrameArrival> arrivals;
    // Frames 0..9 handed over before the player started, arriving all at once at 500 ms.
    for (uint32_t n = 0; n < 10; ++n) arrivals.push_back({n, 500 * kMs});
    // Then live frames 10..29, each 120 ms after its hand-over, one lost (frame 20).
    for (uint32_t n = 10; n < 30; ++n)
        if (n != 20) arrivals.push_back({n, static_cast<int64_t>(n) * 40 * kMs + 120 * kMs});
    const DelayFigures d = MeasureDelays(arrivals, Every40Ms, 400 * kMs);
    EXPECT_EQ(d.frames, 19);
    EXPECT_EQ(d.guessed, 0);
    EXPECT_DOUBLE_EQ(d.medianMs, 120);
    EXPECT_DOUBLE_EQ(d.minMs, 120);
    EXPECT_DOUBLE_EQ(d.maxMs, 120);
    EXPECT_EQ(d.firstWholeAt, 500 * kMs);  // the burst's pictures were whole, only not live
}

TEST(FrameDelays, GuessesBeforeAKeyFrameAndNumbersFromTheFutureDoNotCount) {
    std::vector<FrameArrival> arrivals;
    // A newcomer between key frames: numbers read from grey guesses, some even rising for a
    // while, one of them a frame not yet handed over.
    for (uint32_t n : {7u, 300u, 301u, 302u, 303u, 304u, 12u, 90u}) arrivals.push_back({n, 1000 * kMs});
    // From the key frame on: frames 50..59, 200 ms late.
    for (uint32_t n = 50; n < 60; ++n) arrivals.push_back({n, static_cast<int64_t>(n) * 40 * kMs + 200 * kMs});
    const DelayFigures d = MeasureDelays(arrivals, Every40Ms, 0);
    EXPECT_EQ(d.guessed, 8);
    EXPECT_EQ(d.frames, 10);
    EXPECT_DOUBLE_EQ(d.medianMs, 200);
    EXPECT_EQ(d.firstWholeAt, 50 * 40 * kMs + 200 * kMs);
}

TEST(FrameDelays, TooShortARunOrANumberNeverHandedOverGivesNoDelay) {
    const std::vector<FrameArrival> four{{1, 100 * kMs}, {2, 140 * kMs}, {3, 180 * kMs}, {4, 220 * kMs}};
    DelayFigures d = MeasureDelays(four, Every40Ms, 0);
    EXPECT_EQ(d.frames, 0);
    EXPECT_EQ(d.guessed, 4);
    EXPECT_EQ(d.medianMs, -1);
    EXPECT_EQ(d.firstWholeAt, 0);

    std::vector<FrameArrival> five{{1, 100 * kMs}, {2, 140 * kMs}, {3, 180 * kMs}, {4, 220 * kMs}, {5, 260 * kMs}};
    d = MeasureDelays(five, [](uint32_t n) { return n == 3 ? std::nullopt : Every40Ms(n); }, 0);
    EXPECT_EQ(d.frames, 4);
    EXPECT_EQ(d.guessed, 1);
}

TEST(FrameDelays, PercentilesAreNearestRanks) {
    EXPECT_EQ(Percentile({}, 0.5), -1);
    EXPECT_EQ(Percentile({5, 1, 3}, 0.5), 3);
    EXPECT_EQ(Percentile({5, 1, 3}, 0.0), 1);
    EXPECT_EQ(Percentile({5, 1, 3}, 1.0), 5);
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    EXPECT_EQ(Percentile(hundred, 0.9), 90);
}

}  // namespace
