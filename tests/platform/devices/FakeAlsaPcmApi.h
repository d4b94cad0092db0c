#pragma once
// A sound card of the test's own behind the ALSA seam: one capture device that gives a square
// wave at the rate the wall clock allows (as a card does) and that the test can pull out. Once it
// is out, every read, open and parameter call fails with -ENODEV, as alsa-lib answers for a PCM
// whose card is gone, and recovering from that fails too.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/devices/alsa/AlsaPcmApi.h"

class FakeAlsaPcmApi : public AlsaPcmApi {
public:
    static constexpr const char* kName = "Fake Card: USB Audio (hw:7,0)";
    static constexpr const char* kPath = "plughw:CARD=Fake,DEV=0";

    FakeAlsaPcmApi();
    ~FakeAlsaPcmApi() override;

    std::vector<DeviceDescription> ListCaptureDevices() override;
    int Open(const std::string& name, AlsaPcm** pcm) override;
    int SetParams(AlsaPcm* pcm, const AudioFormatDescription& format, unsigned latencyUs) override;
    long ReadInterleaved(AlsaPcm* pcm, void* buffer, unsigned long frames) override;
    int Recover(AlsaPcm* pcm, int error) override;
    int Close(AlsaPcm* pcm) override;

    void Unplug() { unplugged_ = true; }
    // PCMs open now, and frames read from all of them so far.
    int OpenPcms() const;
    long FramesRead() const { return framesRead_; }

private:
    mutable std::mutex lock_;
    std::vector<std::unique_ptr<AlsaPcm>> open_;
    std::atomic<bool> unplugged_{false};
    std::atomic<long> framesRead_{0};
};
