#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Hands a server the same numbered frames at the same real-time rate, whichever way it takes
// them, and remembers when each frame number was handed over.
//
// The frames are the virtual camera's moving test picture (a loop of its first 50 frames) with
// the frame number drawn across the top (FrameCounter.h). Frame N is handed over at N / rate
// seconds after the start, on the monotonic clock:
// - Stream: written to a pipe as a YUV4MPEG2 stream (the server reads it as its standard input);
// - Overwrite: written over the one frame of a one-frame YUV4MPEG2 file, which a virtual camera
//   playing that file reads afresh for every frame it delivers (a camera looking at a changing
//   scene: it takes what is there when its own clock ticks).
class FrameFeeder {
public:
    enum class Mode { Stream, Overwrite };

    FrameFeeder(int width, int height, int rate);
    ~FrameFeeder();
    FrameFeeder(const FrameFeeder&) = delete;
    FrameFeeder& operator=(const FrameFeeder&) = delete;

    // Overwrite mode's file must exist, holding frame 0, before the camera opens it.
    bool WriteStillFile(const std::filesystem::path& file);
    // Starts handing frames on a thread of its own: over the frame of the still file at `path`,
    // or into the pipe `fd` (which it then owns and closes).
    void StartOverwriting(const std::filesystem::path& path);
    void StartStreaming(int fd);
    // Stops at once; the pipe is closed, so its reader sees the end of the stream.
    void Stop();

    // When frame `number` was handed over (monotonic nanoseconds), if it was.
    std::optional<int64_t> HandedOverAt(uint32_t number) const;
    uint32_t FramesHandedOver() const;
    // Why the feeding stopped early ("" while it did not).
    std::string Error() const;
    // The first frame's time: the feeding's start.
    int64_t StartedAt() const;

private:
    void Run(int fd, Mode mode);
    bool Put(int fd, const uint8_t* data, size_t size);
    const std::vector<uint8_t>& Frame(uint32_t number);
    std::string Header() const;
    void Fail(const std::string& why);

    int width_, height_, rate_;
    std::vector<std::vector<uint8_t>> pictures_;
    std::vector<uint8_t> frame_;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    mutable std::mutex lock_;
    std::vector<int64_t> handedOver_;
    std::string error_;
    int64_t startedAt_ = 0;
};

// The monotonic clock in nanoseconds (the clock every time of this benchmark is on).
int64_t MonotonicNs();
