#pragma once
// The thin seam between ALSA capture and the sound library: the list of capture devices and the
// few PCM calls a capture stream makes (open, set the parameters, read, recover, close). The
// system implementation calls alsa-lib directly, one virtual call per read of 100 ms of sound;
// tests put a card of their own in its place, one that can be pulled out mid-recording. Calls
// follow alsa-lib's conventions: a negative errno on failure.
#include <memory>
#include <string>
#include <vector>

#include "platform/devices/DeviceDescription.h"

// A PCM the API opened; only that API knows what it is.
struct AlsaPcm;

class AlsaPcmApi {
public:
    virtual ~AlsaPcmApi() = default;
    // Every capture PCM of every card (AlsaBackend.h says how they are named).
    virtual std::vector<DeviceDescription> ListCaptureDevices() = 0;
    // Opens `name` for blocking capture.
    virtual int Open(const std::string& name, AlsaPcm** pcm) = 0;
    // Interleaved samples in `format` (8 bits unsigned, else 16 bits signed little-endian), with
    // software resampling allowed, at most `latencyUs` of latency.
    virtual int SetParams(AlsaPcm* pcm, const AudioFormatDescription& format,
                          unsigned latencyUs) = 0;
    // Frames read (blocking until some are there), or a negative errno.
    virtual long ReadInterleaved(AlsaPcm* pcm, void* buffer, unsigned long frames) = 0;
    // Brings the stream back after an overrun or a suspend: 0, or the error when it cannot.
    virtual int Recover(AlsaPcm* pcm, int error) = 0;
    virtual int Close(AlsaPcm* pcm) = 0;
};

// alsa-lib itself; shared by every device of the process.
std::shared_ptr<AlsaPcmApi> SystemAlsaPcmApi();
// Makes SystemAlsaPcmApi() hand out `api` instead (null: alsa-lib again), so that the whole
// device path (listing, binding, streaming in the filter) runs over a card of the caller's.
// Streams opened earlier keep the API they were opened with. Returns the previous replacement.
std::shared_ptr<AlsaPcmApi> UseAlsaPcmApi(std::shared_ptr<AlsaPcmApi> api);
