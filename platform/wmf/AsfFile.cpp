#include "platform/wmf/AsfFile.h"

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

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "platform/dshow/filters/PixelConversion.h"
#include "platform/dshow/filters/PixelLayout.h"

namespace {
constexpr int kIoBufferSize = 64 * 1024;
// A stream that stops delivering holds the other back at most this long (the muxer's own
// default waits forever and buffers without bound).
constexpr int64_t kMaxInterleaveMicroseconds = 500000;
// The lowest bit rate the WMA encoder takes.
constexpr int64_t kMinAudioBitrate = 24000;
constexpr DWORD kMaxAudioRate = 48000;
constexpr int kMaxAudioChannels = 2;
constexpr LONG kMaxInputDimension = 8192;

bool IsRawVideo(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_YUY2 ||
           subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV;
}

AVSampleFormat SampleFormatOf(const WAVEFORMATEX& wfx) {
    if (wfx.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return wfx.wBitsPerSample == 32 ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_NONE;
    if (wfx.wFormatTag != WAVE_FORMAT_PCM) return AV_SAMPLE_FMT_NONE;
    switch (wfx.wBitsPerSample) {
        case 8: return AV_SAMPLE_FMT_U8;
        case 16: return AV_SAMPLE_FMT_S16;
        case 32: return AV_SAMPLE_FMT_S32;
        default: return AV_SAMPLE_FMT_NONE;
    }
}

LONG Abs(LONG v) { return v < 0 ? -v : v; }
}  // namespace

struct AsfFile::Stream {
    bool video = false;
    AVCodecContext* codec = nullptr;
    AVStream* st = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    // Video.
    AM_MEDIA_TYPE input;
    REFERENCE_TIME interval = 0;
    int64_t lastPts = -1;
    SwsContext* scaler = nullptr;
    // Audio.
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    int inputBlockAlign = 1;
    int64_t nextPts = -1;  // of the first sample waiting in the fifo
    int64_t lastWrittenDts = AV_NOPTS_VALUE;  // in the stream's time base

    ~Stream() {
        avcodec_free_context(&codec);
        av_packet_free(&packet);
        av_frame_free(&frame);
        sws_freeContext(scaler);
        swr_free(&resampler);
        if (fifo) av_audio_fifo_free(fifo);
    }
};

AsfFile::AsfFile() = default;

AsfFile::~AsfFile() { Close(); }

bool AsfFile::IsOpen() const {
    std::lock_guard lock(lock_);
    return headerWritten_;
}

HRESULT AsfFile::CheckWritable(const StreamDescription& s) {
    if (s.IsVideo()) {
        const VIDEOINFOHEADER* vih = s.type.VideoInfo();
        if (!vih) return NS_E_INVALIDPROFILE;
        // The encoder works on whole 2x2 blocks of chroma.
        if (vih->bmiHeader.biWidth % 2 != 0) return NS_E_INVALIDPROFILE;
        return vih->AvgTimePerFrame > 0 ? S_OK : NS_E_INVALIDPROFILE;
    }
    if (s.IsAudio()) {
        const WAVEFORMATEX* wfx = s.type.WaveFormat();
        if (!wfx || wfx->nSamplesPerSec > kMaxAudioRate || wfx->nChannels > kMaxAudioChannels) return NS_E_INVALIDPROFILE;
        return S_OK;
    }
    return NS_E_INVALIDPROFILE;
}

bool AsfFile::AcceptsInput(const StreamDescription& s, const AM_MEDIA_TYPE& type) {
    if (s.IsVideo()) {
        const VIDEOINFOHEADER* vih = type.VideoInfo();
        if (type.majortype != MEDIATYPE_Video || !vih || !IsRawVideo(type.subtype)) return false;
        if (PixelFormatOfSubtype(type.subtype) == AV_PIX_FMT_NONE) return false;
        const BITMAPINFOHEADER& bmi = vih->bmiHeader;
        return bmi.biWidth > 0 && bmi.biWidth <= kMaxInputDimension && bmi.biHeight != 0 &&
               Abs(bmi.biHeight) <= kMaxInputDimension;
    }
    if (s.IsAudio()) {
        const WAVEFORMATEX* wfx = type.WaveFormat();
        if (type.majortype != MEDIATYPE_Audio || !wfx || SampleFormatOf(*wfx) == AV_SAMPLE_FMT_NONE) return false;
        if (wfx->nChannels == 0 || wfx->nChannels > 8) return false;
        if (wfx->nSamplesPerSec < 1000 || wfx->nSamplesPerSec > 384000) return false;
        return wfx->nBlockAlign == wfx->nChannels * wfx->wBitsPerSample / 8;
    }
    return false;
}

HRESULT AsfFile::Open(const std::string& path, const std::vector<AsfInput>& inputs) {
    std::lock_guard lock(lock_);
    ReleaseLocked();
    HRESULT hr = OpenLocked(path, inputs);
    if (FAILED(hr)) {
        ReleaseLocked();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    return hr;
}

HRESULT AsfFile::OpenLocked(const std::string& path, const std::vector<AsfInput>& inputs) {
    if (inputs.empty()) return E_INVALIDARG;
    if (avformat_alloc_output_context2(&format_, nullptr, "asf", nullptr) < 0 || !format_) return E_OUTOFMEMORY;
    for (const AsfInput& input : inputs) {
        HRESULT hr = AddStream(input);
        if (FAILED(hr)) return hr;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return HResultFromLastErrno();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &AsfFile::WritePacket, &AsfFile::SeekPacket)
                 : nullptr;
    if (!io_) {
        av_free(buffer);
        return E_OUTOFMEMORY;
    }
    io_->seekable = AVIO_SEEKABLE_NORMAL;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Each packet reaches the file at once: a reader (the broadcast helper) follows it live.
    format_->flush_packets = 1;
    if (avformat_write_header(format_, nullptr) < 0) return E_FAIL;
    // Set after the header: the muxer resets it to "wait forever" there.
    format_->max_interleave_delta = kMaxInterleaveMicroseconds;
    headerWritten_ = true;
    failed_ = false;
    latestDtsMicroseconds_ = AV_NOPTS_VALUE;
    return S_OK;
}

HRESULT AsfFile::AddStream(const AsfInput& input) {
    auto s = std::make_unique<Stream>();
    const StreamDescription& d = input.stream;
    HRESULT hr = CheckWritable(d);
    if (FAILED(hr)) return hr;
    if (!AcceptsInput(d, input.type)) return NS_E_INVALID_INPUT_FORMAT;
    s->video = d.IsVideo();
    s->packet = av_packet_alloc();
    s->frame = av_frame_alloc();
    if (!s->packet || !s->frame) return E_OUTOFMEMORY;
    const AVCodec* codec = nullptr;
    if (s->video) {
        // No encoder for the version-9 codec exists here: such profiles are written as version 8.
        codec = avcodec_find_encoder(d.type.subtype == WMMEDIASUBTYPE_WMV1 ? AV_CODEC_ID_WMV1 : AV_CODEC_ID_WMV2);
        if (!codec || !(s->codec = avcodec_alloc_context3(codec))) return E_OUTOFMEMORY;
        const VIDEOINFOHEADER* vih = d.type.VideoInfo();
        s->interval = vih->AvgTimePerFrame;
        s->input = input.type;
        AVRational tb;
        av_reduce(&tb.num, &tb.den, s->interval, 10000000, 65535);
        s->codec->time_base = tb;
        s->codec->framerate = av_inv_q(tb);
        s->codec->width = vih->bmiHeader.biWidth;
        s->codec->height = Abs(vih->bmiHeader.biHeight);
        s->codec->pix_fmt = AV_PIX_FMT_YUV420P;
        s->codec->bit_rate = d.bitrate;
        s->codec->max_b_frames = 0;
        int64_t gop = d.maxKeyFrameSpacing > 0 ? d.maxKeyFrameSpacing / s->interval : 5 * 10000000 / s->interval;
        s->codec->gop_size = static_cast<int>(std::clamp<int64_t>(gop, 1, 600));
        s->frame->format = AV_PIX_FMT_YUV420P;
        s->frame->width = s->codec->width;
        s->frame->height = s->codec->height;
        if (av_frame_get_buffer(s->frame, 0) < 0) return E_OUTOFMEMORY;
    } else {
        const WAVEFORMATEX* out = d.type.WaveFormat();
        const WAVEFORMATEX* in = input.type.WaveFormat();
        codec = avcodec_find_encoder(out->wFormatTag == WAVE_FORMAT_WMAUDIO1 ? AV_CODEC_ID_WMAV1 : AV_CODEC_ID_WMAV2);
        if (!codec || !(s->codec = avcodec_alloc_context3(codec))) return E_OUTOFMEMORY;
        s->codec->sample_rate = static_cast<int>(out->nSamplesPerSec);
        av_channel_layout_default(&s->codec->ch_layout, out->nChannels);
        s->codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
        s->codec->bit_rate = std::max<int64_t>(d.bitrate, kMinAudioBitrate);
        s->codec->time_base = AVRational{1, s->codec->sample_rate};
        AVChannelLayout inLayout;
        av_channel_layout_default(&inLayout, in->nChannels);
        int rc = swr_alloc_set_opts2(&s->resampler, &s->codec->ch_layout, AV_SAMPLE_FMT_FLTP, s->codec->sample_rate,
                                     &inLayout, SampleFormatOf(*in), static_cast<int>(in->nSamplesPerSec), 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        if (rc < 0 || swr_init(s->resampler) < 0) return NS_E_INVALID_INPUT_FORMAT;
        s->inputBlockAlign = in->nBlockAlign;
    }
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) s->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(s->codec, codec, nullptr) < 0) return NS_E_INVALIDPROFILE;
    if (!s->video) {
        s->fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, s->codec->ch_layout.nb_channels, s->codec->frame_size * 4);
        if (!s->fifo) return E_OUTOFMEMORY;
        s->frame->format = AV_SAMPLE_FMT_FLTP;
        s->frame->nb_samples = s->codec->frame_size;
        s->frame->sample_rate = s->codec->sample_rate;
        if (av_channel_layout_copy(&s->frame->ch_layout, &s->codec->ch_layout) < 0 || av_frame_get_buffer(s->frame, 0) < 0) {
            return E_OUTOFMEMORY;
        }
    }
    s->st = avformat_new_stream(format_, nullptr);
    if (!s->st || avcodec_parameters_from_context(s->st->codecpar, s->codec) < 0) return E_OUTOFMEMORY;
    s->st->time_base = s->codec->time_base;
    if (s->video) s->st->avg_frame_rate = s->st->r_frame_rate = s->codec->framerate;
    streams_.push_back(std::move(s));
    return S_OK;
}

HRESULT AsfFile::Write(size_t index, const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) {
    std::lock_guard lock(lock_);
    if (!headerWritten_ || failed_) return S_FALSE;
    if (index >= streams_.size() || !data || size <= 0) return E_INVALIDARG;
    Stream& s = *streams_[index];
    HRESULT hr = s.video ? WriteVideo(s, data, size, timed, start) : WriteAudio(s, data, size, timed, start);
    if (FAILED(hr) && hr != E_INVALIDARG) failed_ = true;
    return hr;
}

HRESULT AsfFile::WriteVideo(Stream& s, const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) {
    int64_t pts = s.lastPts + 1;
    if (timed) {
        pts = std::llround(static_cast<double>(std::max<REFERENCE_TIME>(start, 0)) / static_cast<double>(s.interval));
        // A frame that lands in a slot already written is dropped: the file keeps the profile's rate.
        if (pts <= s.lastPts) return S_OK;
    }
    const VIDEOINFOHEADER* vih = s.input.VideoInfo();
    PlaneLayout planes;
    if (!LayOutPlanes(s.input.subtype, vih->bmiHeader, const_cast<BYTE*>(data), size, &planes)) return E_INVALIDARG;
    s.scaler = sws_getCachedContext(s.scaler, vih->bmiHeader.biWidth, Abs(vih->bmiHeader.biHeight),
                                    PixelFormatOfSubtype(s.input.subtype), s.codec->width, s.codec->height,
                                    AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s.scaler) return E_OUTOFMEMORY;
    if (av_frame_make_writable(s.frame) < 0) return E_OUTOFMEMORY;
    const bool sameSize = vih->bmiHeader.biWidth == s.codec->width && Abs(vih->bmiHeader.biHeight) == s.codec->height;
    if (!sameSize || !ConvertPixelsDirect(PixelFormatOfSubtype(s.input.subtype), planes.data, planes.stride,
                                          AV_PIX_FMT_YUV420P, s.frame->data, s.frame->linesize, s.codec->width,
                                          s.codec->height))
        sws_scale(s.scaler, planes.data, planes.stride, 0, Abs(vih->bmiHeader.biHeight), s.frame->data, s.frame->linesize);
    s.frame->pts = pts;
    s.lastPts = pts;
    return Encode(s, false, s.frame);
}

HRESULT AsfFile::WriteAudio(Stream& s, const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) {
    int samples = size / s.inputBlockAlign;
    if (samples <= 0) return S_OK;
    if (s.nextPts < 0) {
        // The first sample's stream time places the audio against the video.
        s.nextPts = timed && start > 0 ? av_rescale(start, s.codec->sample_rate, 10000000) : 0;
    }
    int outMax = swr_get_out_samples(s.resampler, samples);
    if (outMax < 0) return E_FAIL;
    uint8_t** converted = nullptr;
    if (av_samples_alloc_array_and_samples(&converted, nullptr, s.codec->ch_layout.nb_channels, std::max(outMax, 1),
                                           AV_SAMPLE_FMT_FLTP, 0) < 0) {
        return E_OUTOFMEMORY;
    }
    const uint8_t* in[1] = {data};
    int made = swr_convert(s.resampler, converted, outMax, in, samples);
    HRESULT hr = S_OK;
    if (made < 0) hr = E_FAIL;
    else if (made > 0 && av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(converted), made) < made) hr = E_OUTOFMEMORY;
    av_freep(&converted[0]);
    av_freep(&converted);
    return FAILED(hr) ? hr : EncodeAudioFrames(s, false);
}

HRESULT AsfFile::EncodeAudioFrames(Stream& s, bool flush) {
    const int frameSize = s.codec->frame_size;
    while (av_audio_fifo_size(s.fifo) >= frameSize || (flush && av_audio_fifo_size(s.fifo) > 0)) {
        if (av_frame_make_writable(s.frame) < 0) return E_OUTOFMEMORY;
        int got = av_audio_fifo_read(s.fifo, reinterpret_cast<void**>(s.frame->data), frameSize);
        if (got < 0) return E_FAIL;
        if (got < frameSize) {
            // The last, short block is filled with silence: the encoder takes whole blocks only.
            av_samples_set_silence(s.frame->data, got, frameSize - got, s.codec->ch_layout.nb_channels, AV_SAMPLE_FMT_FLTP);
        }
        s.frame->pts = std::max<int64_t>(s.nextPts, 0);
        s.nextPts = s.frame->pts + frameSize;
        HRESULT hr = Encode(s, false, s.frame);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

void AsfFile::KeepInOrder(Stream& s) {
    // A stream that stalls longer than the interleaving window lets the other stream's packets
    // be written ahead of it; its late packets would then go into the file before times already
    // written, which the ASF packetiser does not survive (it aborts the process). They are moved
    // up to the earliest time still open, and each stream's times keep rising.
    AVPacket* packet = s.packet;
    if (packet->dts == AV_NOPTS_VALUE) return;
    const int64_t dtsMicroseconds = av_rescale_q(packet->dts, s.st->time_base, AV_TIME_BASE_Q);
    if (latestDtsMicroseconds_ == AV_NOPTS_VALUE || dtsMicroseconds > latestDtsMicroseconds_)
        latestDtsMicroseconds_ = dtsMicroseconds;
    int64_t earliest =
        av_rescale_q(latestDtsMicroseconds_ - kMaxInterleaveMicroseconds, AV_TIME_BASE_Q, s.st->time_base);
    if (s.lastWrittenDts != AV_NOPTS_VALUE) earliest = std::max(earliest, s.lastWrittenDts + 1);
    if (packet->dts < earliest) {
        const int64_t shift = earliest - packet->dts;
        packet->dts += shift;
        if (packet->pts != AV_NOPTS_VALUE) packet->pts += shift;
    }
    s.lastWrittenDts = packet->dts;
}

HRESULT AsfFile::Encode(Stream& s, bool flush, void* frame) {
    if (avcodec_send_frame(s.codec, flush ? nullptr : static_cast<AVFrame*>(frame)) < 0) return E_FAIL;
    for (;;) {
        int rc = avcodec_receive_packet(s.codec, s.packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return S_OK;
        if (rc < 0) return E_FAIL;
        av_packet_rescale_ts(s.packet, s.codec->time_base, s.st->time_base);
        s.packet->stream_index = s.st->index;
        KeepInOrder(s);
        if (av_interleaved_write_frame(format_, s.packet) < 0) return E_FAIL;
    }
}

HRESULT AsfFile::Close() {
    std::lock_guard lock(lock_);
    HRESULT hr = S_OK;
    if (headerWritten_) {
        if (!failed_) {
            for (auto& s : streams_) {
                if (!s->video) {
                    // What the resampler still holds, then the rest of the fifo.
                    if (s->nextPts < 0) s->nextPts = 0;
                    int pending = swr_get_out_samples(s->resampler, 0);
                    if (pending > 0) {
                        uint8_t** converted = nullptr;
                        if (av_samples_alloc_array_and_samples(&converted, nullptr, s->codec->ch_layout.nb_channels, pending,
                                                               AV_SAMPLE_FMT_FLTP, 0) >= 0) {
                            int made = swr_convert(s->resampler, converted, pending, nullptr, 0);
                            if (made > 0) av_audio_fifo_write(s->fifo, reinterpret_cast<void**>(converted), made);
                            av_freep(&converted[0]);
                            av_freep(&converted);
                        }
                    }
                    if (av_audio_fifo_size(s->fifo) > 0 && FAILED(EncodeAudioFrames(*s, true))) hr = E_FAIL;
                }
                if (FAILED(Encode(*s, true, nullptr))) hr = E_FAIL;
            }
        }
        if (av_write_trailer(format_) < 0) hr = E_FAIL;
        avio_flush(io_);
        headerWritten_ = false;
    }
    ReleaseLocked();
    if (fd_ >= 0 && ::close(fd_) != 0 && SUCCEEDED(hr)) hr = HResultFromLastErrno();
    fd_ = -1;
    return hr;
}

void AsfFile::ReleaseLocked() {
    streams_.clear();
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (format_) {
        format_->pb = nullptr;
        avformat_free_context(format_);
        format_ = nullptr;
    }
    headerWritten_ = false;
}

int AsfFile::WritePacket(void* opaque, uint8_t* data, int size) {
    auto* file = static_cast<AsfFile*>(opaque);
    int done = 0;
    while (done < size) {
        ssize_t n = ::write(file->fd_, data + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return AVERROR(errno);
        }
        done += static_cast<int>(n);
    }
    return size;
}

int64_t AsfFile::SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<AsfFile*>(opaque);
    if (whence & AVSEEK_SIZE) {
        off_t here = ::lseek(file->fd_, 0, SEEK_CUR);
        off_t end = ::lseek(file->fd_, 0, SEEK_END);
        ::lseek(file->fd_, here, SEEK_SET);
        return end < 0 ? AVERROR(errno) : end;
    }
    off_t to = ::lseek(file->fd_, offset, whence & ~AVSEEK_FORCE);
    return to < 0 ? AVERROR(errno) : to;
}
