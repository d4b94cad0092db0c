#include "bench/broadcast/DecodingPlayer.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "bench/broadcast/FrameCounter.h"
#include "bench/broadcast/FrameFeeder.h"

DecodingPlayer::~DecodingPlayer() { Stop(); }

bool DecodingPlayer::Start(const std::string& url, int width, const std::filesystem::path& err, std::string& why) {
    startedAt_ = MonotonicNs();
    // Each picture is written and flushed as soon as it is decoded: nothing waits in FFmpeg's
    // output buffer for the next one.
    const std::string crop = "crop=iw:" + std::to_string(kCounterRows) + ":0:0";
    if (!process_.Start({"ffmpeg", "-nostdin", "-v", "error", "-i", url, "-an", "-vf", crop, "-pix_fmt", "gray",
                         "-f", "rawvideo", "-flush_packets", "1", "pipe:1"},
                        {}, {}, err)) {
        why = process_.Error();
        return false;
    }
    reader_ = std::thread([this, fd = process_.OutputFd(), width] { Read(fd, width); });
    return true;
}

void DecodingPlayer::Read(int fd, int width) {
    std::vector<uint8_t> band(static_cast<size_t>(width) * kCounterRows);
    std::set<uint32_t> seen;
    for (;;) {
        size_t have = 0;
        while (have < band.size()) {
            ssize_t got = ::read(fd, band.data() + have, band.size() - have);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return;
            have += static_cast<size_t>(got);
        }
        const int64_t now = MonotonicNs();
        if (firstFrameAt_ == 0) firstFrameAt_ = now;
        ++frames_;
        std::optional<uint32_t> number = ReadFrameCounter(band.data(), width, width);
        {
            std::lock_guard guard(lock_);
            pictures_.emplace_back(number ? static_cast<int64_t>(*number) : -1, now);
        }
        if (!number) {
            ++unreadable_;
            continue;
        }
        if (!seen.insert(*number).second) continue;  // a repeated picture: only its first arrival counts
        std::lock_guard guard(lock_);
        arrivals_.push_back({*number, now});
    }
}

void DecodingPlayer::Stop() {
    if (process_.Running()) ::kill(process_.Pid(), SIGTERM);
    process_.End(2000);
    if (reader_.joinable()) reader_.join();
}

std::vector<DecodingPlayer::Arrival> DecodingPlayer::Arrivals() const {
    std::lock_guard guard(lock_);
    return arrivals_;
}

std::vector<std::pair<int64_t, int64_t>> DecodingPlayer::Pictures() const {
    std::lock_guard guard(lock_);
    return pictures_;
}
