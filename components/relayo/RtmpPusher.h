#pragma once
// Pushes the broadcast to a streaming server as FLV over RTMP, so that one broadcast can reach
// more viewers than this machine serves itself. The growing ASF file is read from its live edge
// (never buffered in memory), decoded, and re-encoded as FLV can carry it: Sorenson H.263 video
// and AAC audio. A server that refuses the connection is tried again after 1, 2, 4 and 8 s and
// then given up, each failure logged; one that drops a running stream is tried again at once; a
// server that stalls is given up after a time-out. Runs on its own thread.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "components/relayo/RtmpPush.h"

namespace relayo {

class RtmpPusher final : public RtmpPush {
public:
    RtmpPusher(std::filesystem::path file, std::string url, RtmpFailureHandler onFailure = {});
    ~RtmpPusher() override;  // stops and joins
    RtmpPusher(const RtmpPusher&) = delete;
    RtmpPusher& operator=(const RtmpPusher&) = delete;

    // Sessions that got as far as sending the FLV header, and packets written over all sessions.
    uint64_t Sessions() const { return sessions_; }
    uint64_t PacketsWritten() const { return packets_; }
    // The address was given up: it refused every connection.
    bool Failed() const { return failed_; }

private:
    void Run();
    // One connection from the live edge on; false when the recording ended. `failure` says why a
    // connection could not be made.
    bool PushOnce(std::string* failure);

    std::filesystem::path file_;
    std::string url_;
    RtmpFailureHandler onFailure_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> sessions_{0};
    std::atomic<uint64_t> packets_{0};
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

}  // namespace relayo
