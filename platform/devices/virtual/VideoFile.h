#pragma once
// A video file a virtual camera plays instead of its test picture, looping at the file's own
// rate: YUV4MPEG2 (4:2:0 frames, size and rate from its header), or raw frames of a named format
// (rows top-down and unpadded, as a raw video dump writes them), with the size and rate given.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/HResult.h"
#include "platform/devices/DeviceDescription.h"

// What the file holds.
struct VideoFileLayout {
    Guid subtype;  // the frames' own format (I420 for YUV4MPEG2)
    int width = 0, height = 0;
    REFERENCE_TIME frameInterval = 0;  // 100 ns units
    int64_t frameBytes = 0;
    std::vector<int64_t> frameOffsets;  // where each frame's pixels start
};

struct VideoFileProbe {
    VideoFileLayout layout;
    std::string error;  // empty when the file can be played; else what is wrong with it
    bool Ok() const { return error.empty(); }
};

// Reads the file's header and walks its frames. Errors name the file and the problem.
VideoFileProbe ProbeVideoFile(const VideoClip& clip);

// The subtypes a file's frames can be delivered in: the file's own format where that is not RGB24,
// then RGB24, what the overlay draws on. A session that is given no format takes a device's last
// capability, so it gets RGB24 from the camera itself and needs no colour converter downstream.
std::vector<Guid> VideoFileDeliveredSubtypes(const Guid& fileSubtype);

// Plays one file on one streaming thread.
class VideoFilePlayer {
public:
    VideoFilePlayer();
    ~VideoFilePlayer();
    VideoFilePlayer(const VideoFilePlayer&) = delete;
    VideoFilePlayer& operator=(const VideoFilePlayer&) = delete;
    // Opens the file again (it may have changed since the list was read) for delivery in
    // `subtype` (one of VideoFileDeliveredSubtypes) at the file's size.
    HRESULT Open(const VideoClip& clip, const Guid& subtype);
    // Frame `frame` of the endless loop over the file, in the delivered subtype (DIB layout for
    // RGB: bottom-up rows padded to 4 bytes) into `data`.
    HRESULT Draw(uint64_t frame, uint8_t* data, size_t size);
    const VideoFileLayout& Layout() const { return layout_; }
    // Why the last Open or Draw failed, in words.
    const std::string& Error() const { return error_; }

private:
    struct Converter;
    VideoFileLayout layout_;
    Guid subtype_;
    int fd_ = -1;
    std::vector<uint8_t> frame_;
    std::unique_ptr<Converter> converter_;
    std::string path_;
    std::string error_;
};
