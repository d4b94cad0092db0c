#pragma once
// One ASF file being written through libavformat: one stream per input, each encoded from the
// raw type the graph delivers to the profile's stream (video: scaled and converted to the
// profile's size, timed on the profile's frame grid with frames that would land in the same slot
// dropped, wmv2 at the profile's bit rate and key frame spacing; audio: resampled to the profile's
// rate and channels, wmav2 at the profile's bit rate). Every packet reaches the file as it is
// written, so the file can be read while it grows; Close drains the encoders and completes it.
//
// Thread-safe: each input may be fed from its own thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wmf/ProfileDescription.h"

struct AsfInput {
    StreamDescription stream;  // what to write
    AM_MEDIA_TYPE type;        // what arrives (uncompressed video or PCM audio)
};

class AsfFile {
public:
    AsfFile();
    ~AsfFile();
    AsfFile(const AsfFile&) = delete;
    AsfFile& operator=(const AsfFile&) = delete;

    // Creates (truncates) the file and writes its header.
    HRESULT Open(const std::string& path, const std::vector<AsfInput>& inputs);
    // One sample of input `index`; `start` is its stream time (100 ns) when `timed`.
    HRESULT Write(size_t index, const BYTE* data, LONG size, bool timed, REFERENCE_TIME start);
    // Drains the encoders, writes the trailer and closes the file (also after an error).
    HRESULT Close();
    bool IsOpen() const;

    // Whether a video or audio stream of this description can be written, and whether this raw
    // type can be fed to it.
    static HRESULT CheckWritable(const StreamDescription& stream);
    static bool AcceptsInput(const StreamDescription& stream, const AM_MEDIA_TYPE& type);

private:
    struct Stream;
    HRESULT OpenLocked(const std::string& path, const std::vector<AsfInput>& inputs);
    HRESULT AddStream(const AsfInput& input);
    HRESULT WriteVideo(Stream& s, const BYTE* data, LONG size, bool timed, REFERENCE_TIME start);
    HRESULT WriteAudio(Stream& s, const BYTE* data, LONG size, bool timed, REFERENCE_TIME start);
    HRESULT EncodeAudioFrames(Stream& s, bool flush);
    HRESULT Encode(Stream& s, bool flush, void* frame);
    void KeepInOrder(Stream& s);
    void ReleaseLocked();

    static int WritePacket(void* opaque, uint8_t* data, int size);
    static int64_t SeekPacket(void* opaque, int64_t offset, int whence);

    mutable std::mutex lock_;
    int fd_ = -1;
    struct AVFormatContext* format_ = nullptr;
    struct AVIOContext* io_ = nullptr;
    bool headerWritten_ = false;
    bool failed_ = false;
    int64_t latestDtsMicroseconds_ = INT64_MIN;  // the latest time handed to the muxer (INT64_MIN: none)
    std::vector<std::unique_ptr<Stream>> streams_;
};
