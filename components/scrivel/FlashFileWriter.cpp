#include "components/scrivel/FlashFileWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>

#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/PixelConversion.h"

namespace {
constexpr int kMp3FrameSamples = 1152;
// A source that stalls is bridged by repeating its last picture, but never for longer than this.
constexpr int64_t kMaxRepeatSeconds = 2;

AVPixelFormat PixelFormatOf(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
    if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGRA;
    return AV_PIX_FMT_NONE;
}
}  // namespace

FlashFileWriter::~FlashFileWriter() { Release(); }

HRESULT FlashFileWriter::Open(const std::string& path, const FlashSettings& settings, const AM_MEDIA_TYPE* video,
                              const AM_MEDIA_TYPE* audio) {
    Release();
    if (path.empty()) return E_INVALIDARG;
    if (!video) return E_INVALIDARG;  // both containers are built around the picture
    const char* muxer = settings.container == FlashContainer::Swf ? "swf" : "flv";
    if (avformat_alloc_output_context2(&format_, nullptr, muxer, path.c_str()) < 0 || !format_) {
        format_ = nullptr;
        return E_OUTOFMEMORY;
    }
    packet_ = av_packet_alloc();
    HRESULT hr = packet_ ? S_OK : E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) hr = OpenVideo(settings, *video);
    if (SUCCEEDED(hr) && audio) hr = OpenAudio(settings, *audio);
    if (SUCCEEDED(hr) && avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) hr = E_ACCESSDENIED;
    if (SUCCEEDED(hr) && avformat_write_header(format_, nullptr) < 0) hr = E_FAIL;
    if (FAILED(hr)) {
        Release();
        return hr;
    }
    headerWritten_ = true;
    return S_OK;
}

HRESULT FlashFileWriter::OpenVideo(const FlashSettings& settings, const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    const AVPixelFormat input = PixelFormatOf(type.subtype);
    if (!vih || input == AV_PIX_FMT_NONE || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0)
        return VFW_E_TYPE_NOT_ACCEPTED;
    inputWidth_ = vih->bmiHeader.biWidth;
    inputHeight_ = std::abs(vih->bmiHeader.biHeight);
    bottomUp_ = vih->bmiHeader.biHeight > 0;
    inputFormat_ = input;
    inputStride_ = DibStride(inputWidth_, input == AV_PIX_FMT_BGRA ? 32 : 24);

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLV1);
    if (!codec) return E_FAIL;
    videoCodec_ = avcodec_alloc_context3(codec);
    if (!videoCodec_) return E_OUTOFMEMORY;
    framesPerSecond_ = settings.framesPerSecond;
    videoCodec_->width = settings.width;
    videoCodec_->height = settings.height;
    videoCodec_->pix_fmt = AV_PIX_FMT_YUV420P;
    videoCodec_->time_base = AVRational{1, framesPerSecond_};
    videoCodec_->framerate = AVRational{framesPerSecond_, 1};
    videoCodec_->sample_aspect_ratio = AVRational{1, 1};
    videoCodec_->bit_rate = settings.videoBitrate;
    videoCodec_->gop_size = std::max(1, framesPerSecond_ * 2);
    videoCodec_->max_b_frames = 0;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) videoCodec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(videoCodec_, codec, nullptr) < 0) return E_INVALIDARG;

    videoStream_ = avformat_new_stream(format_, nullptr);
    if (!videoStream_) return E_OUTOFMEMORY;
    videoStream_->time_base = videoCodec_->time_base;
    videoStream_->avg_frame_rate = videoCodec_->framerate;
    if (avcodec_parameters_from_context(videoStream_->codecpar, videoCodec_) < 0) return E_OUTOFMEMORY;

    picture_ = av_frame_alloc();
    if (!picture_) return E_OUTOFMEMORY;
    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = settings.width;
    picture_->height = settings.height;
    if (av_frame_get_buffer(picture_, 0) < 0) return E_OUTOFMEMORY;
    scaler_ = sws_getContext(inputWidth_, inputHeight_, input, settings.width, settings.height, AV_PIX_FMT_YUV420P,
                             SWS_BILINEAR, nullptr, nullptr, nullptr);
    return scaler_ ? S_OK : E_FAIL;
}

HRESULT FlashFileWriter::OpenAudio(const FlashSettings& settings, const AM_MEDIA_TYPE& type) {
    const WAVEFORMATEX* wfx = type.WaveFormat();
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->nChannels == 0 || wfx->nSamplesPerSec == 0 ||
        wfx->wBitsPerSample != 16 || wfx->nBlockAlign != wfx->nChannels * 2)
        return VFW_E_TYPE_NOT_ACCEPTED;
    inputBlockAlign_ = wfx->nBlockAlign;

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP3);
    if (!codec) return E_FAIL;
    audioCodec_ = avcodec_alloc_context3(codec);
    if (!audioCodec_) return E_OUTOFMEMORY;
    audioCodec_->sample_fmt = AV_SAMPLE_FMT_S16P;
    if (codec->sample_fmts) audioCodec_->sample_fmt = codec->sample_fmts[0];
    audioCodec_->sample_rate = settings.audioSampleRate;
    av_channel_layout_default(&audioCodec_->ch_layout, settings.audioChannels);
    audioCodec_->bit_rate = settings.audioBitrate;
    audioCodec_->time_base = AVRational{1, settings.audioSampleRate};
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) audioCodec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(audioCodec_, codec, nullptr) < 0) return E_INVALIDARG;

    audioStream_ = avformat_new_stream(format_, nullptr);
    if (!audioStream_) return E_OUTOFMEMORY;
    audioStream_->time_base = audioCodec_->time_base;
    if (avcodec_parameters_from_context(audioStream_->codecpar, audioCodec_) < 0) return E_OUTOFMEMORY;

    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, wfx->nChannels);
    int ret = swr_alloc_set_opts2(&resampler_, &audioCodec_->ch_layout, audioCodec_->sample_fmt,
                                  settings.audioSampleRate, &inputLayout, AV_SAMPLE_FMT_S16,
                                  static_cast<int>(wfx->nSamplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    if (ret < 0 || !resampler_ || swr_init(resampler_) < 0) return E_FAIL;
    const int frameSize = audioCodec_->frame_size > 0 ? audioCodec_->frame_size : kMp3FrameSamples;
    fifo_ = av_audio_fifo_alloc(audioCodec_->sample_fmt, settings.audioChannels, frameSize * 4);
    sound_ = av_frame_alloc();
    if (!fifo_ || !sound_) return E_OUTOFMEMORY;
    sound_->format = audioCodec_->sample_fmt;
    sound_->nb_samples = frameSize;
    sound_->sample_rate = settings.audioSampleRate;
    if (av_channel_layout_copy(&sound_->ch_layout, &audioCodec_->ch_layout) < 0) return E_OUTOFMEMORY;
    if (av_frame_get_buffer(sound_, 0) < 0) return E_OUTOFMEMORY;
    return S_OK;
}

HRESULT FlashFileWriter::WriteVideo(const uint8_t* data, int length, int64_t startTime, bool hasTime) {
    if (!headerWritten_ || !videoCodec_) return E_UNEXPECTED;
    if (failed_) return E_FAIL;
    if (!data || length < inputStride_ * inputHeight_) return S_FALSE;  // a short frame is skipped
    int64_t pts = nextVideoPts_;
    if (hasTime && startTime >= 0) pts = av_rescale(startTime, framesPerSecond_, 10000000LL);
    if (pts < nextVideoPts_) return S_OK;  // this slot is already filled
    if (havePicture_) {
        const int64_t maxRepeat = kMaxRepeatSeconds * framesPerSecond_;
        for (int64_t p = nextVideoPts_; p < pts && p - nextVideoPts_ < maxRepeat; ++p) {
            HRESULT hr = EncodeVideoFrame(p);
            if (FAILED(hr)) return hr;
        }
    }
    if (av_frame_make_writable(picture_) < 0) return E_OUTOFMEMORY;
    const uint8_t* source[4] = {data, nullptr, nullptr, nullptr};
    int strides[4] = {inputStride_, 0, 0, 0};
    if (bottomUp_) {
        source[0] = data + static_cast<ptrdiff_t>(inputStride_) * (inputHeight_ - 1);
        strides[0] = -inputStride_;
    }
    const bool sameSize = inputWidth_ == picture_->width && inputHeight_ == picture_->height;
    if (!sameSize || !ConvertPixelsDirect(inputFormat_, source, strides, AV_PIX_FMT_YUV420P, picture_->data,
                                          picture_->linesize, inputWidth_, inputHeight_))
        sws_scale(scaler_, source, strides, 0, inputHeight_, picture_->data, picture_->linesize);
    havePicture_ = true;
    return EncodeVideoFrame(pts);
}

HRESULT FlashFileWriter::EncodeVideoFrame(int64_t pts) {
    picture_->pts = pts;
    nextVideoPts_ = pts + 1;
    if (avcodec_send_frame(videoCodec_, picture_) < 0) {
        failed_ = true;
        return E_FAIL;
    }
    return Drain(videoCodec_, videoStream_);
}

HRESULT FlashFileWriter::WriteAudio(const uint8_t* data, int length) {
    if (!headerWritten_ || !audioCodec_) return E_UNEXPECTED;
    if (failed_) return E_FAIL;
    if (!data || length < inputBlockAlign_) return S_OK;
    const int inSamples = length / inputBlockAlign_;
    const int outCapacity = swr_get_out_samples(resampler_, inSamples);
    if (outCapacity <= 0) return S_OK;
    uint8_t** converted = nullptr;
    if (av_samples_alloc_array_and_samples(&converted, nullptr, audioCodec_->ch_layout.nb_channels, outCapacity,
                                           audioCodec_->sample_fmt, 0) < 0)
        return E_OUTOFMEMORY;
    const uint8_t* in[1] = {data};
    const int produced = swr_convert(resampler_, converted, outCapacity, in, inSamples);
    HRESULT hr = S_OK;
    if (produced > 0 && av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted), produced) < produced)
        hr = E_OUTOFMEMORY;
    av_freep(&converted[0]);
    av_freep(&converted);
    if (FAILED(hr)) return hr;
    return EncodeAudioFrames(false);
}

HRESULT FlashFileWriter::EncodeAudioFrames(bool flush) {
    const int frameSize = sound_->nb_samples;
    while (av_audio_fifo_size(fifo_) >= frameSize || (flush && av_audio_fifo_size(fifo_) > 0)) {
        if (av_frame_make_writable(sound_) < 0) return E_OUTOFMEMORY;
        const int got = av_audio_fifo_read(fifo_, reinterpret_cast<void**>(sound_->data), frameSize);
        if (got < frameSize)
            av_samples_set_silence(sound_->data, got, frameSize - got, sound_->ch_layout.nb_channels,
                                   static_cast<AVSampleFormat>(sound_->format));
        sound_->pts = nextAudioPts_;
        nextAudioPts_ += frameSize;
        if (avcodec_send_frame(audioCodec_, sound_) < 0) {
            failed_ = true;
            return E_FAIL;
        }
        HRESULT hr = Drain(audioCodec_, audioStream_);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT FlashFileWriter::Drain(AVCodecContext* codec, AVStream* stream) {
    for (;;) {
        int ret = avcodec_receive_packet(codec, packet_);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return S_OK;
        if (ret < 0) {
            failed_ = true;
            return E_FAIL;
        }
        av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        if (av_interleaved_write_frame(format_, packet_) < 0) {
            failed_ = true;
            return E_FAIL;
        }
    }
}

HRESULT FlashFileWriter::Finish() {
    if (!format_) return S_FALSE;
    HRESULT hr = S_OK;
    if (headerWritten_ && !failed_) {
        if (audioCodec_) {
            if (FAILED(EncodeAudioFrames(true))) hr = E_FAIL;
            avcodec_send_frame(audioCodec_, nullptr);
            if (FAILED(Drain(audioCodec_, audioStream_))) hr = E_FAIL;
        }
        if (videoCodec_) {
            avcodec_send_frame(videoCodec_, nullptr);
            if (FAILED(Drain(videoCodec_, videoStream_))) hr = E_FAIL;
        }
    }
    if (failed_) hr = E_FAIL;
    if (headerWritten_ && av_write_trailer(format_) < 0) hr = E_FAIL;
    headerWritten_ = false;
    if (format_->pb && avio_closep(&format_->pb) < 0) hr = E_FAIL;
    Release();
    return hr;
}

void FlashFileWriter::Release() {
    if (format_) {
        if (format_->pb) avio_closep(&format_->pb);
        avformat_free_context(format_);
        format_ = nullptr;
    }
    avcodec_free_context(&videoCodec_);
    avcodec_free_context(&audioCodec_);
    av_frame_free(&picture_);
    av_frame_free(&sound_);
    av_packet_free(&packet_);
    sws_freeContext(scaler_);
    scaler_ = nullptr;
    swr_free(&resampler_);
    if (fifo_) {
        av_audio_fifo_free(fifo_);
        fifo_ = nullptr;
    }
    videoStream_ = audioStream_ = nullptr;
    headerWritten_ = failed_ = havePicture_ = false;
    nextVideoPts_ = nextAudioPts_ = 0;
}
