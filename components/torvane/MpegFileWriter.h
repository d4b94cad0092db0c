#pragma once
// One MPEG file being written: the picture scaled to the configured size and encoded as MPEG-1 or
// MPEG-2 video, the sound resampled and encoded as MP2, both multiplexed into an MPEG-1 system
// stream or an MPEG-2 program stream through libavformat.
//
// Video frames are placed on the output frame grid by their start times, so a source running at
// another rate keeps its duration (frames are dropped or repeated); audio is timed by its sample
// count. Not thread-safe: the filter serializes every call.
#include <cstdint>
#include <string>

#include "components/torvane/MpegSettings.h"
#include "platform/dshow/MediaType.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;
struct AVAudioFifo;

class MpegFileWriter {
public:
    MpegFileWriter() = default;
    MpegFileWriter(const MpegFileWriter&) = delete;
    MpegFileWriter& operator=(const MpegFileWriter&) = delete;
    ~MpegFileWriter();

    // Creates the file with a stream for each non-null input type; nothing is left open on error.
    HRESULT Open(const std::string& path, const MpegSettings& settings, const AM_MEDIA_TYPE* video,
                 const AM_MEDIA_TYPE* audio);
    bool IsOpen() const { return format_ != nullptr; }

    // One input frame of the video type given to Open, with its start time (stream time).
    HRESULT WriteVideo(const uint8_t* data, int length, int64_t startTime, bool hasTime);
    // Interleaved PCM of the audio type given to Open.
    HRESULT WriteAudio(const uint8_t* data, int length);
    // Drains the encoders, writes the trailer and closes the file.
    HRESULT Finish();

    int64_t VideoFramesWritten() const { return videoFrames_; }
    // Output seconds written so far (the longer of the two streams).
    double SecondsWritten() const;

private:
    HRESULT OpenVideo(const MpegSettings& settings, const AM_MEDIA_TYPE& type);
    HRESULT OpenAudio(const MpegSettings& settings, const AM_MEDIA_TYPE& type);
    HRESULT EncodeVideoFrame(int64_t pts);
    HRESULT EncodeAudioFrames(bool flush);
    HRESULT Drain(AVCodecContext* codec, AVStream* stream, AVFrame* frame);
    void Release();

    AVFormatContext* format_ = nullptr;
    bool headerWritten_ = false;
    bool failed_ = false;
    AVPacket* packet_ = nullptr;

    // Video.
    AVCodecContext* videoCodec_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVFrame* picture_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int inputWidth_ = 0;
    int inputHeight_ = 0;
    int inputFormat_ = -1;
    bool bottomUp_ = false;
    int inputStride_ = 0;
    int64_t frameNum_ = 25;  // output frame rate as num / den
    int64_t frameDen_ = 1;
    int64_t nextVideoPts_ = 0;
    int64_t videoFrames_ = 0;
    bool havePicture_ = false;

    // Audio.
    AVCodecContext* audioCodec_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVFrame* sound_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    int inputBlockAlign_ = 0;
    int inputSampleRate_ = 0;
    int64_t nextAudioPts_ = 0;

    int64_t maxDurationMs_ = 0;  // 0: no limit
};
