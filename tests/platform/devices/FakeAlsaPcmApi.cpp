#include "tests/platform/devices/FakeAlsaPcmApi.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

// The fake's own PCMs: the seam leaves the handle's meaning to each API.
struct AlsaPcm {
    AudioFormatDescription format;
    bool configured = false;
    std::chrono::steady_clock::time_point opened = std::chrono::steady_clock::now();
    long long delivered = 0;  // frames
};

FakeAlsaPcmApi::FakeAlsaPcmApi() = default;
FakeAlsaPcmApi::~FakeAlsaPcmApi() = default;

std::vector<DeviceDescription> FakeAlsaPcmApi::ListCaptureDevices() {
    DeviceDescription card;
    card.kind = DeviceKind::Audio;
    card.backend = "alsa";
    card.name = kName;
    card.path = kPath;
    return {card};
}

int FakeAlsaPcmApi::Open(const std::string& name, AlsaPcm** pcm) {
    *pcm = nullptr;
    if (unplugged_) return -ENODEV;
    if (name != kPath) return -ENOENT;
    std::lock_guard lock(lock_);
    open_.push_back(std::make_unique<AlsaPcm>());
    *pcm = open_.back().get();
    return 0;
}

int FakeAlsaPcmApi::SetParams(AlsaPcm* pcm, const AudioFormatDescription& format, unsigned) {
    if (unplugged_) return -ENODEV;
    if (format.channels < 1 || format.channels > 2 || format.sampleRate <= 0) return -EINVAL;
    pcm->format = format;
    pcm->configured = true;
    pcm->opened = std::chrono::steady_clock::now();
    return 0;
}

long FakeAlsaPcmApi::ReadInterleaved(AlsaPcm* pcm, void* buffer, unsigned long frames) {
    if (!pcm->configured) return -EBADFD;
    // A card fills its buffer in real time: the read waits until the frames are there, and a
    // card pulled out meanwhile ends the wait.
    const auto due =
        pcm->opened + std::chrono::microseconds((pcm->delivered + static_cast<long long>(frames)) *
                                                1000000 / pcm->format.sampleRate);
    while (!unplugged_ && std::chrono::steady_clock::now() < due)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            due - std::chrono::steady_clock::now(), std::chrono::milliseconds(5)));
    if (unplugged_) return -ENODEV;
    const int bytes = pcm->format.bitsPerSample / 8;
    auto* out = static_cast<unsigned char*>(buffer);
    for (unsigned long i = 0; i < frames; ++i) {
        // 441 Hz at 44.1 kHz: a square wave whose half period is 50 frames.
        const bool high = ((pcm->delivered + static_cast<long long>(i)) / 50) % 2 == 0;
        for (int c = 0; c < pcm->format.channels; ++c, out += bytes) {
            if (bytes == 1) {
                *out = high ? 192 : 64;
            } else {
                const int16_t v = high ? 8000 : -8000;
                std::memcpy(out, &v, 2);
            }
        }
    }
    pcm->delivered += static_cast<long long>(frames);
    framesRead_ += static_cast<long>(frames);
    return static_cast<long>(frames);
}

int FakeAlsaPcmApi::Recover(AlsaPcm*, int error) {
    // What alsa-lib recovers from: an interrupted call, an overrun, a suspend.
    if (error == -EINTR || error == -EPIPE || error == -ESTRPIPE) return unplugged_ ? -ENODEV : 0;
    return error;
}

int FakeAlsaPcmApi::Close(AlsaPcm* pcm) {
    std::lock_guard lock(lock_);
    auto at =
        std::find_if(open_.begin(), open_.end(), [&](const auto& p) { return p.get() == pcm; });
    if (at == open_.end()) return -EBADFD;
    open_.erase(at);
    return 0;
}

int FakeAlsaPcmApi::OpenPcms() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(open_.size());
}
