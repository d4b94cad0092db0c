#include "platform/devices/v4l2/V4l2Stream.h"

#include <sys/mman.h>

#include <cerrno>

HRESULT V4l2Stream::SetFormat(uint32_t pixelFormat, int width, int height, REFERENCE_TIME frameInterval,
                              v4l2_pix_format* chosen) {
    if (streaming_) return VFW_E_NOT_STOPPED;
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = static_cast<uint32_t>(width);
    format.fmt.pix.height = static_cast<uint32_t>(height);
    format.fmt.pix.pixelformat = pixelFormat;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (XIoctl(api_, fd_, VIDIOC_S_FMT, &format) < 0) return HResultFromLastErrno();
    if (format.fmt.pix.pixelformat != pixelFormat) return VFW_E_TYPE_NOT_ACCEPTED;
    if (frameInterval > 0) {
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        parm.parm.capture.timeperframe.numerator = static_cast<uint32_t>(frameInterval);
        parm.parm.capture.timeperframe.denominator = 10000000;
        XIoctl(api_, fd_, VIDIOC_S_PARM, &parm);  // drivers without frame rate control refuse it; that is fine
    }
    if (chosen) *chosen = format.fmt.pix;
    return S_OK;
}

HRESULT V4l2Stream::Start(uint32_t bufferCount) {
    if (streaming_) return S_FALSE;
    v4l2_requestbuffers request{};
    request.count = bufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (XIoctl(api_, fd_, VIDIOC_REQBUFS, &request) < 0) return HResultFromLastErrno();
    if (request.count < 2) {
        Stop();
        return E_OUTOFMEMORY;
    }
    for (uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (XIoctl(api_, fd_, VIDIOC_QUERYBUF, &buffer) < 0) {
            HRESULT hr = HResultFromLastErrno();
            Stop();
            return hr;
        }
        void* address = api_.Mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buffer.m.offset);
        if (address == MAP_FAILED) {
            HRESULT hr = HResultFromLastErrno();
            Stop();
            return hr;
        }
        buffers_.push_back({address, buffer.length});
        if (XIoctl(api_, fd_, VIDIOC_QBUF, &buffer) < 0) {
            HRESULT hr = HResultFromLastErrno();
            Stop();
            return hr;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (XIoctl(api_, fd_, VIDIOC_STREAMON, &type) < 0) {
        HRESULT hr = HResultFromLastErrno();
        Stop();
        return hr;
    }
    streaming_ = true;
    haveSequence_ = false;
    return S_OK;
}

HRESULT V4l2Stream::ReadFrame(int timeoutMs, const std::function<void(const V4l2Frame&)>& deliver) {
    if (!streaming_) return VFW_E_NOT_RUNNING;
    int ready = api_.Poll(fd_, timeoutMs);
    if (ready < 0) return HResultFromLastErrno();
    if (ready == 0) return S_FALSE;
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (XIoctl(api_, fd_, VIDIOC_DQBUF, &buffer) < 0) return errno == EAGAIN ? S_FALSE : HResultFromLastErrno();
    if (buffer.index >= buffers_.size()) return E_UNEXPECTED;

    if (haveSequence_ && buffer.sequence > lastSequence_ + 1) {
        for (uint32_t missing = lastSequence_ + 1; missing < buffer.sequence; ++missing) counter_.Dropped(frameNumber_++);
    }
    haveSequence_ = true;
    lastSequence_ = buffer.sequence;
    LONG thisFrame = frameNumber_++;

    HRESULT hr = S_OK;
    // A buffer flagged as error arrived corrupt; nothing downstream should see it.
    if ((buffer.flags & V4L2_BUF_FLAG_ERROR) || buffer.bytesused > buffers_[buffer.index].length) {
        counter_.Dropped(thisFrame);
        hr = S_FALSE;
    } else {
        V4l2Frame frame;
        frame.data = static_cast<const uint8_t*>(buffers_[buffer.index].address);
        frame.size = buffer.bytesused;
        frame.sequence = buffer.sequence;
        frame.timestampUs = static_cast<int64_t>(buffer.timestamp.tv_sec) * 1000000 + buffer.timestamp.tv_usec;
        deliver(frame);
        counter_.Delivered(static_cast<int64_t>(buffer.bytesused));
    }
    if (XIoctl(api_, fd_, VIDIOC_QBUF, &buffer) < 0) return HResultFromLastErrno();
    return hr;
}

void V4l2Stream::Stop() {
    if (streaming_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        XIoctl(api_, fd_, VIDIOC_STREAMOFF, &type);
        streaming_ = false;
    }
    for (const Buffer& buffer : buffers_) api_.Munmap(buffer.address, buffer.length);
    if (!buffers_.empty()) {
        // Frees the driver's buffers, so that the format can change again.
        v4l2_requestbuffers request{};
        request.count = 0;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        XIoctl(api_, fd_, VIDIOC_REQBUFS, &request);
    }
    buffers_.clear();
}
