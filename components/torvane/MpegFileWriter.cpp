#include "components/torvane/MpegFileWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/PixelConversion.h"

namespace {
constexpr int kMp2FrameSamples = 1152;
// A source that stalls is bridged by repeating its last picture, but never for longer than this.
constexpr int64_t kMaxRepeatSeconds = 2;
constexpr int64_t kMaxInterleaveMicroseconds = 700000;

AVPixelFormat PixelFormatOf(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
    if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGRA;
    if (subtype == MEDIASUBTYPE_YUY2) return AV_PIX_FMT_YUYV422;
    return AV_PIX_FMT_NONE;
}

int StrideOf(AVPixelFormat format, int width) {
    switch (format) {
        case AV_PIX_FMT_BGR24: return ((width * 3) + 3) & ~3;  // DIB rows are 4-byte aligned
        case AV_PIX_FMT_BGRA: return width * 4;
        default: return width * 2;
    }
}
}  // namespace

MpegFileWriter::~MpegFileWriter() { Release(); }

HRESULT MpegFileWriter::Open(const std::string& path, const MpegSettings& settings, const AM_MEDIA_TYPE* video,
                             const AM_MEDIA_TYPE* audio) {
    Release();
    if (path.empty()) return E_INVALIDARG;
    HRESULT hr = settings.Validate();
    if (FAILED(hr)) return hr;
    const char* muxer = settings.kind == kMpegKindSystemStream ? "mpeg" : "vob";
    if (avformat_alloc_output_context2(&format_, nullptr, muxer, path.c_str()) < 0 || !format_) {
        format_ = nullptr;
        return E_OUTOFMEMORY;
    }
    packet_ = av_packet_alloc();
    if (!packet_) {
        Release();
        return E_OUTOFMEMORY;
    }
    maxDurationMs_ = settings.maxDurationMs;
    if (video && FAILED(hr = OpenVideo(settings, *video))) {
        Release();
        return hr;
    }
    if (audio && FAILED(hr = OpenAudio(settings, *audio))) {
        Release();
        return hr;
    }
    if (avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        Release();
        return E_ACCESSDENIED;
    }
    format_->max_interleave_delta = kMaxInterleaveMicroseconds;
    if (avformat_write_header(format_, nullptr) < 0) {
        Release();
        return E_FAIL;
    }
    headerWritten_ = true;
    return S_OK;
}

HRESULT MpegFileWriter::OpenVideo(const MpegSettings& settings, const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    AVPixelFormat input = PixelFormatOf(type.subtype);
    if (!vih || input == AV_PIX_FMT_NONE || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0)
        return VFW_E_TYPE_NOT_ACCEPTED;
    inputWidth_ = vih->bmiHeader.biWidth;
    inputHeight_ = std::abs(vih->bmiHeader.biHeight);
    inputFormat_ = input;
    // Uncompressed RGB with a positive height is stored bottom row first.
    bottomUp_ = input != AV_PIX_FMT_YUYV422 && vih->bmiHeader.biHeight > 0;
    inputStride_ = StrideOf(input, inputWidth_);

    bool mpeg2 = settings.videoStandard == 2;
    const AVCodec* codec = avcodec_find_encoder(mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
    if (!codec) return E_FAIL;
    videoCodec_ = avcodec_alloc_context3(codec);
    if (!videoCodec_) return E_OUTOFMEMORY;
    MpegFrameRate rate = ChooseMpegFrameRate(settings.frameRate, mpeg2);
    frameNum_ = rate.num;
    frameDen_ = rate.den;
    videoCodec_->width = settings.width;
    videoCodec_->height = settings.height;
    videoCodec_->pix_fmt = AV_PIX_FMT_YUV420P;
    videoCodec_->time_base = AVRational{rate.den, rate.num};
    videoCodec_->framerate = AVRational{rate.num, rate.den};
    videoCodec_->sample_aspect_ratio = AVRational{1, 1};
    if (rate.unofficial) videoCodec_->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
    videoCodec_->bit_rate = settings.videoBitrate;
    if (settings.maxVideoBitrate > 0) videoCodec_->rc_max_rate = settings.maxVideoBitrate;
    if (settings.minVideoBitrate > 0) videoCodec_->rc_min_rate = settings.minVideoBitrate;
    if (settings.maxVideoBitrate > 0) {
        // The decoder's buffer (VBV): 112 x 16 kbit at the MPEG-2 main-level rates, more above.
        int64_t rateForBuffer = std::max<int64_t>(settings.maxVideoBitrate, 15000000);
        videoCodec_->rc_buffer_size = static_cast<int>(rateForBuffer * 112 / 15000000 * 16384);
    }
    // Half a second between key frames, at least one every 18 frames as discs want.
    videoCodec_->gop_size = std::clamp(static_cast<int>(rate.num / rate.den / 2), 1, 18);
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
                             SWS_BICUBIC, nullptr, nullptr, nullptr);
    return scaler_ ? S_OK : E_FAIL;
}

HRESULT MpegFileWriter::OpenAudio(const MpegSettings& settings, const AM_MEDIA_TYPE& type) {
    const WAVEFORMATEX* wfx = type.WaveFormat();
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->nChannels == 0 || wfx->nSamplesPerSec == 0 ||
        (wfx->wBitsPerSample != 16 && wfx->wBitsPerSample != 8) ||
        wfx->nBlockAlign != wfx->nChannels * wfx->wBitsPerSample / 8) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    inputBlockAlign_ = wfx->nBlockAlign;
    inputSampleRate_ = static_cast<int>(wfx->nSamplesPerSec);

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!codec) return E_FAIL;
    audioCodec_ = avcodec_alloc_context3(codec);
    if (!audioCodec_) return E_OUTOFMEMORY;
    audioCodec_->sample_fmt = AV_SAMPLE_FMT_S16;
    audioCodec_->sample_rate = settings.audioSampleRate;
    av_channel_layout_default(&audioCodec_->ch_layout, settings.audioChannels);
    audioCodec_->bit_rate = ChooseMp2Bitrate(settings.audioBitrate, settings.audioSampleRate);
    audioCodec_->time_base = AVRational{1, settings.audioSampleRate};
    if (avcodec_open2(audioCodec_, codec, nullptr) < 0) return E_INVALIDARG;

    audioStream_ = avformat_new_stream(format_, nullptr);
    if (!audioStream_) return E_OUTOFMEMORY;
    audioStream_->time_base = audioCodec_->time_base;
    if (avcodec_parameters_from_context(audioStream_->codecpar, audioCodec_) < 0) return E_OUTOFMEMORY;

    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, wfx->nChannels);
    int ret = swr_alloc_set_opts2(&resampler_, &audioCodec_->ch_layout, AV_SAMPLE_FMT_S16, settings.audioSampleRate,
                                  &inputLayout, wfx->wBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16,
                                  inputSampleRate_, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    if (ret < 0 || !resampler_ || swr_init(resampler_) < 0) return E_FAIL;
    fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, settings.audioChannels, kMp2FrameSamples * 4);
    sound_ = av_frame_alloc();
    if (!fifo_ || !sound_) return E_OUTOFMEMORY;
    sound_->format = AV_SAMPLE_FMT_S16;
    sound_->nb_samples = audioCodec_->frame_size > 0 ? audioCodec_->frame_size : kMp2FrameSamples;
    sound_->sample_rate = settings.audioSampleRate;
    if (av_channel_layout_copy(&sound_->ch_layout, &audioCodec_->ch_layout) < 0) return E_OUTOFMEMORY;
    if (av_frame_get_buffer(sound_, 0) < 0) return E_OUTOFMEMORY;
    return S_OK;
}

HRESULT MpegFileWriter::WriteVideo(const uint8_t* data, int length, int64_t startTime, bool hasTime) {
    if (!headerWritten_ || !videoCodec_) return E_UNEXPECTED;
    if (failed_) return E_FAIL;
    if (!data || length < inputStride_ * inputHeight_) return S_FALSE;  // a short frame is skipped
    // The frame's place on the output grid.
    int64_t pts = nextVideoPts_;
    if (hasTime && startTime >= 0) pts = av_rescale(startTime, frameNum_, frameDen_ * 10000000LL);
    if (pts < nextVideoPts_) return S_OK;  // a faster source: this slot is already filled
    if (maxDurationMs_ > 0 && av_rescale(pts, frameDen_ * 1000, frameNum_) >= maxDurationMs_) return S_OK;

    // Bridge a gap with the last picture, within reason.
    int64_t maxRepeat = kMaxRepeatSeconds * frameNum_ / frameDen_;
    if (havePicture_) {
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
    if (!sameSize || !ConvertPixelsDirect(static_cast<AVPixelFormat>(inputFormat_), source, strides, AV_PIX_FMT_YUV420P, picture_->data,
                                          picture_->linesize, inputWidth_, inputHeight_))
        sws_scale(scaler_, source, strides, 0, inputHeight_, picture_->data, picture_->linesize);
    havePicture_ = true;
    return EncodeVideoFrame(pts);
}

HRESULT MpegFileWriter::EncodeVideoFrame(int64_t pts) {
    picture_->pts = pts;
    nextVideoPts_ = pts + 1;
    ++videoFrames_;
    if (avcodec_send_frame(videoCodec_, picture_) < 0) {
        failed_ = true;
        return E_FAIL;
    }
    return Drain(videoCodec_, videoStream_, picture_);
}

HRESULT MpegFileWriter::WriteAudio(const uint8_t* data, int length) {
    if (!headerWritten_ || !audioCodec_) return E_UNEXPECTED;
    if (failed_) return E_FAIL;
    if (!data || length < inputBlockAlign_) return S_OK;
    if (maxDurationMs_ > 0 && av_rescale(nextAudioPts_, 1000, audioCodec_->sample_rate) >= maxDurationMs_) return S_OK;
    int inSamples = length / inputBlockAlign_;
    int outCapacity = swr_get_out_samples(resampler_, inSamples);
    if (outCapacity <= 0) return S_OK;
    uint8_t* converted = nullptr;
    if (av_samples_alloc(&converted, nullptr, audioCodec_->ch_layout.nb_channels, outCapacity, AV_SAMPLE_FMT_S16, 0) < 0)
        return E_OUTOFMEMORY;
    const uint8_t* in[1] = {data};
    int produced = swr_convert(resampler_, &converted, outCapacity, in, inSamples);
    HRESULT hr = S_OK;
    if (produced > 0) {
        void* planes[1] = {converted};
        if (av_audio_fifo_write(fifo_, planes, produced) < produced) hr = E_OUTOFMEMORY;
    }
    av_freep(&converted);
    if (FAILED(hr)) return hr;
    return EncodeAudioFrames(false);
}

HRESULT MpegFileWriter::EncodeAudioFrames(bool flush) {
    const int frameSize = sound_->nb_samples;
    while (av_audio_fifo_size(fifo_) >= frameSize || (flush && av_audio_fifo_size(fifo_) > 0)) {
        if (av_frame_make_writable(sound_) < 0) return E_OUTOFMEMORY;
        int got = av_audio_fifo_read(fifo_, reinterpret_cast<void**>(sound_->data), frameSize);
        if (got < frameSize) {
            // The last, short frame is padded with silence.
            av_samples_set_silence(sound_->data, got, frameSize - got, sound_->ch_layout.nb_channels,
                                   AV_SAMPLE_FMT_S16);
        }
        sound_->pts = nextAudioPts_;
        nextAudioPts_ += frameSize;
        if (avcodec_send_frame(audioCodec_, sound_) < 0) {
            failed_ = true;
            return E_FAIL;
        }
        HRESULT hr = Drain(audioCodec_, audioStream_, sound_);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT MpegFileWriter::Drain(AVCodecContext* codec, AVStream* stream, AVFrame*) {
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

double MpegFileWriter::SecondsWritten() const {
    double video = videoCodec_ ? static_cast<double>(nextVideoPts_) * frameDen_ / frameNum_ : 0;
    double audio = audioCodec_ ? static_cast<double>(nextAudioPts_) / audioCodec_->sample_rate : 0;
    return std::max(video, audio);
}

HRESULT MpegFileWriter::Finish() {
    if (!format_) return S_FALSE;
    HRESULT hr = S_OK;
    if (headerWritten_ && !failed_) {
        if (audioCodec_) {
            // What the resampler still holds, then the rest of the queue.
            int pending = swr_get_out_samples(resampler_, 0);
            if (pending > 0) {
                uint8_t* converted = nullptr;
                if (av_samples_alloc(&converted, nullptr, audioCodec_->ch_layout.nb_channels, pending,
                                     AV_SAMPLE_FMT_S16, 0) >= 0) {
                    int produced = swr_convert(resampler_, &converted, pending, nullptr, 0);
                    void* planes[1] = {converted};
                    if (produced > 0) av_audio_fifo_write(fifo_, planes, produced);
                    av_freep(&converted);
                }
            }
            if (FAILED(EncodeAudioFrames(true))) hr = E_FAIL;
            avcodec_send_frame(audioCodec_, nullptr);
            if (FAILED(Drain(audioCodec_, audioStream_, nullptr))) hr = E_FAIL;
        }
        if (videoCodec_) {
            avcodec_send_frame(videoCodec_, nullptr);
            if (FAILED(Drain(videoCodec_, videoStream_, nullptr))) hr = E_FAIL;
        }
    }
    if (failed_) hr = E_FAIL;
    if (headerWritten_ && av_write_trailer(format_) < 0) hr = E_FAIL;
    headerWritten_ = false;
    if (format_->pb && avio_closep(&format_->pb) < 0) hr = E_FAIL;
    Release();
    return hr;
}

void MpegFileWriter::Release() {
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
    headerWritten_ = false;
    failed_ = false;
    havePicture_ = false;
    nextVideoPts_ = nextAudioPts_ = 0;
    videoFrames_ = 0;
}
