#pragma once
// Streaming from a V4L2 capture node through mmap buffers: set the format (the driver may adjust
// it), queue the buffers, dequeue frames, re-queue them. Sequence gaps between dequeued buffers
// are frames the driver dropped; buffers flagged as errors are dropped here. Runs on the source
// pin's streaming thread; Stop joins nothing and may be called from the owner after that thread
// has ended.
#include <linux/videodev2.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/base/HResult.h"
#include "platform/devices/DeviceState.h"
#include "platform/devices/v4l2/V4l2Api.h"

struct V4l2Frame {
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint32_t sequence = 0;
    int64_t timestampUs = 0;
};

class V4l2Stream {
public:
    V4l2Stream(V4l2Api& api, int fd, DroppedFrameCounter& counter) : api_(api), fd_(fd), counter_(counter) {}
    ~V4l2Stream() { Stop(); }
    V4l2Stream(const V4l2Stream&) = delete;
    V4l2Stream& operator=(const V4l2Stream&) = delete;

    // S_FMT then S_PARM; `chosen` receives what the driver settled on.
    HRESULT SetFormat(uint32_t pixelFormat, int width, int height, REFERENCE_TIME frameInterval, v4l2_pix_format* chosen);
    HRESULT Start(uint32_t bufferCount = 4);
    // Waits up to `timeoutMs` for a frame and hands it to `deliver` before re-queueing the buffer.
    // S_FALSE on time-out or a dropped (corrupt) buffer.
    HRESULT ReadFrame(int timeoutMs, const std::function<void(const V4l2Frame&)>& deliver);
    void Stop();
    bool Streaming() const { return streaming_; }

private:
    struct Buffer {
        void* address = nullptr;
        size_t length = 0;
    };
    V4l2Api& api_;
    int fd_;
    DroppedFrameCounter& counter_;
    std::vector<Buffer> buffers_;
    bool streaming_ = false;
    bool haveSequence_ = false;
    uint32_t lastSequence_ = 0;
    LONG frameNumber_ = 0;  // frames the driver produced, delivered or not
};
