#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/broadcast/ChildProcess.h"
#include "bench/broadcast/FrameDelays.h"

// A newly arriving player that decodes: FFmpeg with its default probing, giving the top band of
// every decoded picture as grey bytes on a pipe, and the frame number read from each band with
// the time the band arrived here. Its first whole band is the player's first frame.
class DecodingPlayer {
public:
    ~DecodingPlayer();
    bool Start(const std::string& url, int width, const std::filesystem::path& err, std::string& why);
    // Ends FFmpeg and the reading.
    void Stop();

    using Arrival = FrameArrival;
    // Each frame number read, at its first arrival, in arrival order.
    std::vector<Arrival> Arrivals() const;
    // Every picture in arrival order, -1 for one whose number could not be read (for a look when
    // the numbers make no sense).
    std::vector<std::pair<int64_t, int64_t>> Pictures() const;
    int64_t StartedAt() const { return startedAt_; }
    int64_t FirstFrameAt() const { return firstFrameAt_; }  // 0: none came
    int Frames() const { return frames_; }
    int Unreadable() const { return unreadable_; }  // frames whose number could not be read

private:
    void Read(int fd, int width);
    ChildProcess process_;
    std::thread reader_;
    int64_t startedAt_ = 0;
    std::atomic<int64_t> firstFrameAt_ = 0;
    std::atomic<int> frames_ = 0, unreadable_ = 0;
    mutable std::mutex lock_;
    std::vector<Arrival> arrivals_;
    std::vector<std::pair<int64_t, int64_t>> pictures_;  // (number or -1, time)
};
