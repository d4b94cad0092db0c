#pragma once
// Sends client reports to the control's window from a thread of its own, in the order the
// server produced them, so that a control that answers slowly (or never) holds up neither the
// streaming server nor the helper's window. Each report carries the whole client list, so when
// reports pile up the oldest are dropped: memory stays bounded and the last word is always sent.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/os/WindowTypes.h"

namespace relayo {

class ReportSender {
public:
    static constexpr size_t kMaxQueued = 16;
    static constexpr UINT kSendTimeoutMs = 3000;

    // Reports go to `owner`, sent as from `self` (the helper's window).
    ReportSender(HWND owner, HWND self);
    ~ReportSender();  // sends nothing more; waits for a send in progress (bounded by its time-out)
    ReportSender(const ReportSender&) = delete;
    ReportSender& operator=(const ReportSender&) = delete;

    void Queue(std::vector<uint8_t> report);
    uint64_t Sent() const;
    uint64_t Dropped() const;

private:
    void Run();

    HWND owner_;
    HWND self_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::vector<uint8_t>> queue_;
    bool stopping_ = false;
    uint64_t sent_ = 0;
    uint64_t dropped_ = 0;
    std::thread thread_;
};

}  // namespace relayo
