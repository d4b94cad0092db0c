#include "bench/broadcast/FrameFeeder.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bench/broadcast/FrameCounter.h"
#include "platform/devices/CaptureDevices.h"
#include "platform/dshow/Uuids.h"

namespace fs = std::filesystem;

namespace {
constexpr uint32_t kPictures = 50;
constexpr int kPipeBytes = 1 << 20;  // a frame never waits for room in the FIFO while its reader keeps up
const char* const kFrameLine = "FRAME\n";

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}
}  // namespace

int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FrameFeeder::FrameFeeder(int width, int height, int rate) : width_(width), height_(height), rate_(rate) {
    const size_t bytes = static_cast<size_t>(width) * height * 3 / 2;
    for (uint32_t n = 0; n < kPictures; ++n) {
        std::vector<uint8_t> picture(bytes);
        if (!DrawTestPicture(MEDIASUBTYPE_I420, width, height, n, 0, picture.data(), picture.size())) break;
        pictures_.push_back(std::move(picture));
    }
    frame_.resize(bytes);
}

FrameFeeder::~FrameFeeder() { Stop(); }

std::string FrameFeeder::Header() const {
    return "YUV4MPEG2 W" + std::to_string(width_) + " H" + std::to_string(height_) + " F" + std::to_string(rate_) +
           ":1 Ip A1:1 C420jpeg\n";
}

const std::vector<uint8_t>& FrameFeeder::Frame(uint32_t number) {
    if (pictures_.empty()) std::memset(frame_.data(), 128, frame_.size());
    else std::memcpy(frame_.data(), pictures_[number % pictures_.size()].data(), frame_.size());
    uint8_t* luma = frame_.data();
    uint8_t* u = luma + static_cast<ptrdiff_t>(width_) * height_;
    uint8_t* v = u + static_cast<ptrdiff_t>(width_) * height_ / 4;
    DrawFrameCounter(number, width_, luma, width_, u, v, width_ / 2);
    return frame_;
}

bool FrameFeeder::WriteStillFile(const fs::path& file) {
    if (pictures_.empty()) return false;
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string head = Header() + kFrameLine;
    const std::vector<uint8_t>& frame = Frame(0);
    bool ok = WriteAll(fd, reinterpret_cast<const uint8_t*>(head.data()), head.size()) &&
              WriteAll(fd, frame.data(), frame.size());
    return ::close(fd) == 0 && ok;
}

void FrameFeeder::StartOverwriting(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Fail(path.string() + ": " + std::strerror(errno));
    stop_ = false;
    thread_ = std::thread([this, fd] { Run(fd, Mode::Overwrite); });
}

void FrameFeeder::StartStreaming(int fd) {
    ::fcntl(fd, F_SETPIPE_SZ, kPipeBytes);  // a smaller pipe still works, the writes just wait more
    // Non-blocking, so that a reader that stops reading cannot hold the feeding past Stop.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    stop_ = false;
    thread_ = std::thread([this, fd] { Run(fd, Mode::Stream); });
}

void FrameFeeder::Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
}

void FrameFeeder::Fail(const std::string& why) {
    std::lock_guard guard(lock_);
    if (error_.empty()) error_ = why;
}

bool FrameFeeder::Put(int fd, const uint8_t* data, size_t size) {
    while (size > 0 && !stop_) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && errno == EAGAIN) {
            pollfd room{fd, POLLOUT, 0};
            ::poll(&room, 1, 50);
            continue;
        }
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return size == 0;
}

void FrameFeeder::Run(int fd, Mode mode) {
    if (pictures_.empty()) {
        ::close(fd);
        return Fail("the virtual camera's test picture could not be drawn");
    }
    const bool stream = mode == Mode::Stream;
    const off_t frameOffset = static_cast<off_t>(Header().size() + std::strlen(kFrameLine));
    if (stream) {
        const std::string header = Header();
        if (!Put(fd, reinterpret_cast<const uint8_t*>(header.data()), header.size())) {
            ::close(fd);
            if (!stop_) Fail("the server stopped reading before the first frame");
            return;
        }
    }
    const int64_t start = MonotonicNs();
    {
        std::lock_guard guard(lock_);
        startedAt_ = start;
    }
    for (uint32_t n = 0; !stop_; ++n) {
        const int64_t due = start + static_cast<int64_t>(n) * 1000000000 / rate_;
        timespec at{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {}
        if (stop_) break;
        const std::vector<uint8_t>& frame = Frame(n);
        const int64_t now = MonotonicNs();
        {
            std::lock_guard guard(lock_);
            handedOver_.push_back(now);
        }
        bool ok = stream ? Put(fd, reinterpret_cast<const uint8_t*>(kFrameLine), std::strlen(kFrameLine)) &&
                               Put(fd, frame.data(), frame.size())
                         : ::pwrite(fd, frame.data(), frame.size(), frameOffset) == static_cast<ssize_t>(frame.size());
        if (!ok) {
            if (!stop_) Fail("frame " + std::to_string(n) + " could not be handed over (" + std::strerror(errno) + ")");
            break;
        }
    }
    ::close(fd);
}

std::optional<int64_t> FrameFeeder::HandedOverAt(uint32_t number) const {
    std::lock_guard guard(lock_);
    if (number >= handedOver_.size()) return std::nullopt;
    return handedOver_[number];
}

uint32_t FrameFeeder::FramesHandedOver() const {
    std::lock_guard guard(lock_);
    return static_cast<uint32_t>(handedOver_.size());
}

std::string FrameFeeder::Error() const {
    std::lock_guard guard(lock_);
    return error_;
}

int64_t FrameFeeder::StartedAt() const {
    std::lock_guard guard(lock_);
    return startedAt_;
}
