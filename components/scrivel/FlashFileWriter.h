#pragma once
// One Flash file being written: the picture scaled to the configured size and encoded as flv1, the
// sound resampled and encoded as MP3, both multiplexed as FLV or SWF through libavformat.
//
// Video frames are placed on the output frame grid by their start times (stream time, which
// stands still while the graph is paused, so a pause leaves no gap); audio is timed by its sample
// count. Not thread-safe: the filter serializes every call.
extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <string>

#include "components/scrivel/FlashSettings.h"
#include "platform/dshow/MediaType.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;
struct AVAudioFifo;

class FlashFileWriter {
public:
    FlashFileWriter() = default;
    FlashFileWriter(const FlashFileWriter&) = delete;
    FlashFileWriter& operator=(const FlashFileWriter&) = delete;
    ~FlashFileWriter();

    // Creates the file with a stream for each non-null input type (settings already clamped);
    // nothing is left open on error.
    HRESULT Open(const std::string& path, const FlashSettings& settings, const AM_MEDIA_TYPE* video,
                 const AM_MEDIA_TYPE* audio);
    bool IsOpen() const { return format_ != nullptr; }

    HRESULT WriteVideo(const uint8_t* data, int length, int64_t startTime, bool hasTime);
    HRESULT WriteAudio(const uint8_t* data, int length);
    // Drains the encoders, writes the trailer and closes the file.
    HRESULT Finish();

private:
    HRESULT OpenVideo(const FlashSettings& settings, const AM_MEDIA_TYPE& type);
    HRESULT OpenAudio(const FlashSettings& settings, const AM_MEDIA_TYPE& type);
    HRESULT EncodeVideoFrame(int64_t pts);
    HRESULT EncodeAudioFrames(bool flush);
    HRESULT Drain(AVCodecContext* codec, AVStream* stream);
    void Release();

    AVFormatContext* format_ = nullptr;
    bool headerWritten_ = false;
    bool failed_ = false;
    AVPacket* packet_ = nullptr;

    AVCodecContext* videoCodec_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVFrame* picture_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int inputWidth_ = 0;
    int inputHeight_ = 0;
    int inputStride_ = 0;
    AVPixelFormat inputFormat_ = AV_PIX_FMT_NONE;
    bool bottomUp_ = false;
    int framesPerSecond_ = 10;
    int64_t nextVideoPts_ = 0;
    bool havePicture_ = false;

    AVCodecContext* audioCodec_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVFrame* sound_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    int inputBlockAlign_ = 0;
    int64_t nextAudioPts_ = 0;
};
