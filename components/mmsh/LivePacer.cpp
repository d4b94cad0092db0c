#include "components/mmsh/LivePacer.h"

void LivePacer::Anchor(uint32_t sendTimeMs, Clock::time_point now) {
    anchored_ = true;
    anchorSendMs_ = sendTimeMs;
    anchorWall_ = now;
}

LivePacer::Clock::time_point LivePacer::DueTime(uint32_t sendTimeMs) const {
    // Send times are 32-bit milliseconds; the difference is taken modulo 2^32 so a wrap is harmless.
    auto delta = static_cast<int32_t>(sendTimeMs - anchorSendMs_);
    return anchorWall_ + std::chrono::milliseconds(delta);
}

bool LivePacer::IsDue(uint32_t sendTimeMs, Clock::time_point now) {
    if (!anchored_) {
        Anchor(sendTimeMs, now);
        return true;
    }
    Clock::time_point due = DueTime(sendTimeMs);
    if (due > now + kMaxLead || due + kMaxLateness < now) {
        Anchor(sendTimeMs, now);
        return true;
    }
    return due <= now;
}
