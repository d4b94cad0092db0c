#include "components/relayo/ReportSender.h"

#include "platform/contracts/HelperProtocol.h"
#include "platform/os/WindowMessages.h"

namespace relayo {

ReportSender::ReportSender(HWND owner, HWND self)
    : owner_(owner), self_(self), thread_([this] { Run(); }) {}

ReportSender::~ReportSender() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ReportSender::Queue(std::vector<uint8_t> report) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        while (queue_.size() >= kMaxQueued) {
            queue_.pop_front();
            ++dropped_;
        }
        queue_.push_back(std::move(report));
    }
    wake_.notify_one();
}

uint64_t ReportSender::Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

uint64_t ReportSender::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void ReportSender::Run() {
    for (;;) {
        std::vector<uint8_t> report;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            report = std::move(queue_.front());
            queue_.pop_front();
        }
        COPYDATASTRUCT data{kHelperCopyDataTag, static_cast<DWORD>(report.size()), report.data()};
        LRESULT result = 0;
        // A lost report is not retried: the next one carries the whole list again.
        SendMessageTimeout(owner_, WM_COPYDATA, self_, reinterpret_cast<LPARAM>(&data),
                           kSendTimeoutMs, &result);
        std::lock_guard lock(mutex_);
        ++sent_;
    }
}

}  // namespace relayo
