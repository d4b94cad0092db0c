#pragma once
// Releases packets at the pace of their send times, anchored to the wall clock: a packet whose
// send time is d ms after the anchor's is due d ms after the anchor's wall time. A writer that
// falls behind (late packets) or jumps in time re-anchors the clock, so the broadcast neither
// bursts nor stalls. Pure logic: time comes from the caller.
#include <chrono>
#include <cstdint>

class LivePacer {
public:
    using Clock = std::chrono::steady_clock;

    // How late a packet may be before the clock is re-anchored on it.
    static constexpr std::chrono::milliseconds kMaxLateness{500};
    // A send time this far ahead is a discontinuity, not something to wait for.
    static constexpr std::chrono::milliseconds kMaxLead{5000};

    void Anchor(uint32_t sendTimeMs, Clock::time_point now);
    bool Anchored() const { return anchored_; }
    // True when the packet may go out now (anchoring on the first packet ever seen).
    bool IsDue(uint32_t sendTimeMs, Clock::time_point now);
    // When the packet becomes due (now, when it already is).
    Clock::time_point DueTime(uint32_t sendTimeMs) const;

private:
    bool anchored_ = false;
    uint32_t anchorSendMs_ = 0;
    Clock::time_point anchorWall_{};
};
