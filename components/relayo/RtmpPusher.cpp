#include "components/relayo/RtmpPusher.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "components/mmsh/AsfFileFollower.h"
#include "platform/base/Log.h"

namespace relayo {
namespace {

using namespace std::chrono_literals;

constexpr int kIoBufferSize = 32768;
constexpr auto kSourcePoll = 20ms;
// After a failed connection the next try waits twice as long, from 1 s up to 8 s; after
// kMaxFailures failures in a row the address is given up.
constexpr auto kFirstReconnectDelay = 1s;
constexpr auto kLongestReconnectDelay = 8s;
constexpr int kMaxFailures = 5;
// A reader this far behind the writer jumps to the live edge instead of catching up.
constexpr size_t kMaxBehindBytes = 2 * 1024 * 1024;
constexpr int64_t kDefaultVideoBitRate = 500000;
constexpr int64_t kAudioBitRate = 96000;
// Decoded audio waiting for the encoder; more than this means timestamps went wrong.
constexpr int kMaxFifoSeconds = 5;
constexpr const char* kNetworkTimeoutUs = "5000000";

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const {
        Free(&p);
    }
};
using FramePtr = std::unique_ptr<AVFrame, Deleter<av_frame_free>>;
using PacketPtr = std::unique_ptr<AVPacket, Deleter<av_packet_free>>;
using CodecPtr = std::unique_ptr<AVCodecContext, Deleter<avcodec_free_context>>;
using InputPtr = std::unique_ptr<AVFormatContext, Deleter<avformat_close_input>>;
using SwrPtr = std::unique_ptr<SwrContext, Deleter<swr_free>>;
struct SwsDeleter {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
struct FifoDeleter {
    void operator()(AVAudioFifo* p) const { av_audio_fifo_free(p); }
};
struct IoDeleter {
    void operator()(AVIOContext* p) const {
        av_freep(&p->buffer);
        avio_context_free(&p);
    }
};
struct OutputDeleter {
    void operator()(AVFormatContext* p) const {
        if (p->pb) avio_closep(&p->pb);
        avformat_free_context(p);
    }
};

int Interrupted(void* opaque) {
    return static_cast<const std::atomic<bool>*>(opaque)->load() ? 1 : 0;
}

// The growing file as the byte stream a broadcast client would receive: the header patched for
// broadcast, then data packets from the live edge on, waiting for the writer at the end.
class LiveSource {
public:
    LiveSource(std::filesystem::path file, const std::atomic<bool>& stopping)
        : follower_(std::move(file)), stopping_(stopping) {}

    bool SourceEnded() const {
        AsfFileFollower::State s = follower_.CurrentState();
        return s == AsfFileFollower::State::Failed ||
               (s == AsfFileFollower::State::Ended && follower_.Exhausted());
    }

    int Read(uint8_t* buffer, int size) {
        while (offset_ == pending_.size()) {
            if (stopping_) return AVERROR_EXIT;
            if (!started_) {
                AsfFileFollower::State state = follower_.Poll();
                if (state == AsfFileFollower::State::Following) {
                    pending_ = follower_.Header().broadcastCopy;
                    offset_ = 0;
                    follower_.SkipTo(follower_.CompletePackets());
                    started_ = true;
                    continue;
                }
                if (state != AsfFileFollower::State::WaitingForHeader) return AVERROR_EOF;
                std::this_thread::sleep_for(kSourcePoll);
                continue;
            }
            uint64_t behind = follower_.CompletePackets() -
                              std::min(follower_.CompletePackets(), follower_.NextIndex());
            if (behind * follower_.Header().packetSize > kMaxBehindBytes)
                follower_.SkipTo(follower_.CompletePackets());
            if (std::optional<AsfFilePacket> packet = follower_.Next()) {
                pending_ = std::move(packet->bytes);
                offset_ = 0;
                continue;
            }
            if (follower_.Exhausted()) return AVERROR_EOF;
            std::this_thread::sleep_for(kSourcePoll);
            follower_.Poll();
        }
        size_t n = std::min(static_cast<size_t>(size), pending_.size() - offset_);
        std::memcpy(buffer, pending_.data() + offset_, n);
        offset_ += n;
        return static_cast<int>(n);
    }

    static int ReadPacket(void* opaque, uint8_t* buffer, int size) {
        return static_cast<LiveSource*>(opaque)->Read(buffer, size);
    }

private:
    AsfFileFollower follower_;
    const std::atomic<bool>& stopping_;
    bool started_ = false;
    std::vector<uint8_t> pending_;
    size_t offset_ = 0;
};

CodecPtr OpenDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    CodecPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

int PickSampleRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates) return wanted;
    for (const int* rate = codec->supported_samplerates; *rate; ++rate)
        if (*rate == wanted) return wanted;
    return 44100;
}

// One push session: the live input, its decoders, the FLV encoders and the RTMP output.
class Session {
public:
    Session(const std::atomic<bool>& stopping, std::atomic<uint64_t>& packets)
        : stopping_(stopping),
          packets_(packets),
          packet_(av_packet_alloc()),
          frame_(av_frame_alloc()) {}

    // Input and output opened, header written.
    bool Open(LiveSource& source, const std::string& url) {
        if (!packet_ || !frame_) return false;
        io_.reset(avio_alloc_context(static_cast<unsigned char*>(av_malloc(kIoBufferSize)),
                                     kIoBufferSize, 0, &source, &LiveSource::ReadPacket, nullptr,
                                     nullptr));
        if (!io_ || !io_->buffer) return false;
        AVFormatContext* in = avformat_alloc_context();
        if (!in) return false;
        in->pb = io_.get();
        in->flags |= AVFMT_FLAG_CUSTOM_IO;
        in->interrupt_callback = {&Interrupted, const_cast<std::atomic<bool>*>(&stopping_)};
        if (avformat_open_input(&in, nullptr, av_find_input_format("asf"), nullptr) < 0)
            return false;
        input_.reset(in);

        int video = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        int audio = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (video >= 0) videoDecoder_ = OpenDecoder(in->streams[video]);
        if (audio >= 0) audioDecoder_ = OpenDecoder(in->streams[audio]);
        if (videoDecoder_) videoIn_ = video;
        if (audioDecoder_) audioIn_ = audio;
        if (!videoDecoder_ && !audioDecoder_) return false;

        AVFormatContext* out = nullptr;
        if (avformat_alloc_output_context2(&out, nullptr, "flv", url.c_str()) < 0 || !out)
            return false;
        output_.reset(out);
        out->interrupt_callback = {&Interrupted, const_cast<std::atomic<bool>*>(&stopping_)};
        if (videoDecoder_ && !OpenVideoEncoder()) return false;
        if (audioDecoder_ && !OpenAudioEncoder())
            audioIn_ = -1;  // video alone is still a broadcast
        if (!videoEncoder_ && !audioEncoder_) return false;

        AVDictionary* options = nullptr;
        av_dict_set(&options, "rw_timeout", kNetworkTimeoutUs, 0);
        int opened =
            avio_open2(&out->pb, url.c_str(), AVIO_FLAG_WRITE, &out->interrupt_callback, &options);
        av_dict_free(&options);
        if (opened < 0) {
            failure = "cannot connect to " + url + ": " + ErrorText(opened);
            return false;
        }
        int written = avformat_write_header(out, nullptr);
        if (written < 0) failure = url + " refused the stream: " + ErrorText(written);
        return written >= 0;
    }

    // Pushes until the source ends (false) or the connection fails or we stop (true: retry).
    bool Pump() {
        for (;;) {
            if (stopping_) return false;
            int read = av_read_frame(input_.get(), packet_.get());
            if (read == AVERROR_EXIT) return false;
            if (read < 0) {
                Finish();
                return false;
            }
            bool ok = true;
            if (packet_->stream_index == videoIn_)
                ok = Decode(videoDecoder_.get(), true);
            else if (packet_->stream_index == audioIn_)
                ok = Decode(audioDecoder_.get(), false);
            av_packet_unref(packet_.get());
            if (!ok) return !stopping_;
        }
    }

private:
    bool OpenVideoEncoder() {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLV1);
        if (!codec) return false;
        CodecPtr enc(avcodec_alloc_context3(codec));
        if (!enc) return false;
        enc->width = videoDecoder_->width & ~1;
        enc->height = videoDecoder_->height & ~1;
        if (enc->width <= 0 || enc->height <= 0) return false;
        enc->pix_fmt = AV_PIX_FMT_YUV420P;
        enc->time_base = {1, 1000};
        enc->bit_rate =
            videoDecoder_->bit_rate > 0 ? videoDecoder_->bit_rate : kDefaultVideoBitRate;
        enc->gop_size = 50;
        enc->max_b_frames = 0;
        if (output_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(enc.get(), codec, nullptr) < 0) return false;
        AVStream* st = avformat_new_stream(output_.get(), nullptr);
        if (!st || avcodec_parameters_from_context(st->codecpar, enc.get()) < 0) return false;
        st->time_base = enc->time_base;
        videoOut_ = st->index;
        scaled_.reset(av_frame_alloc());
        if (!scaled_) return false;
        scaled_->format = enc->pix_fmt;
        scaled_->width = enc->width;
        scaled_->height = enc->height;
        if (av_frame_get_buffer(scaled_.get(), 0) < 0) return false;
        videoEncoder_ = std::move(enc);
        return true;
    }

    bool OpenAudioEncoder() {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!codec) return false;
        CodecPtr enc(avcodec_alloc_context3(codec));
        if (!enc) return false;
        int channels = std::clamp(audioDecoder_->ch_layout.nb_channels, 1, 2);
        av_channel_layout_default(&enc->ch_layout, channels);
        enc->sample_rate = PickSampleRate(
            codec, audioDecoder_->sample_rate > 0 ? audioDecoder_->sample_rate : 44100);
        enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        enc->bit_rate = kAudioBitRate;
        enc->time_base = {1, enc->sample_rate};
        if (output_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(enc.get(), codec, nullptr) < 0) return false;
        AVStream* st = avformat_new_stream(output_.get(), nullptr);
        if (!st || avcodec_parameters_from_context(st->codecpar, enc.get()) < 0) return false;
        st->time_base = enc->time_base;
        audioOut_ = st->index;
        fifo_.reset(av_audio_fifo_alloc(enc->sample_fmt, channels,
                                        enc->frame_size > 0 ? enc->frame_size * 4 : 4096));
        if (!fifo_) return false;
        audioEncoder_ = std::move(enc);
        return true;
    }

    // Milliseconds since the first frame this session saw, or nothing for a frame before it.
    std::optional<int64_t> SessionMs(const AVFrame* frame, int streamIndex) {
        int64_t ts = frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) return std::nullopt;
        int64_t ms = av_rescale_q(ts, input_->streams[streamIndex]->time_base, {1, 1000});
        if (!origin_) origin_ = ms;
        if (ms < *origin_) return std::nullopt;
        return ms - *origin_;
    }

    bool Decode(AVCodecContext* decoder, bool video) {
        if (avcodec_send_packet(decoder, packet_.get()) < 0)
            return true;  // a damaged packet: skip it
        while (avcodec_receive_frame(decoder, frame_.get()) >= 0) {
            bool ok = video ? OnVideo() : OnAudio();
            av_frame_unref(frame_.get());
            if (!ok) return false;
        }
        return true;
    }

    bool OnVideo() {
        if (!videoEncoder_) return true;
        // Joined mid-stream: pictures before the first key frame are damaged.
        if (!videoStarted_ && frame_->pict_type != AV_PICTURE_TYPE_I) return true;
        std::optional<int64_t> ms = SessionMs(frame_.get(), videoIn_);
        if (!ms || *ms <= lastVideoMs_) return true;
        videoStarted_ = true;
        lastVideoMs_ = *ms;
        sws_.reset(sws_getCachedContext(sws_.release(), frame_->width, frame_->height,
                                        static_cast<AVPixelFormat>(frame_->format), scaled_->width,
                                        scaled_->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                        nullptr, nullptr));
        if (!sws_ || av_frame_make_writable(scaled_.get()) < 0) return true;
        sws_scale(sws_.get(), frame_->data, frame_->linesize, 0, frame_->height, scaled_->data,
                  scaled_->linesize);
        scaled_->pts = *ms;
        return Encode(videoEncoder_.get(), scaled_.get(), videoOut_);
    }

    bool OnAudio() {
        if (!audioEncoder_) return true;
        AVCodecContext* enc = audioEncoder_.get();
        if (!audioStarted_) {
            std::optional<int64_t> ms = SessionMs(frame_.get(), audioIn_);
            if (!ms) return true;
            audioStarted_ = true;
            nextAudioPts_ = av_rescale(*ms, enc->sample_rate, 1000);
        }
        if (!swr_) {
            SwrContext* swr = nullptr;
            if (swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                    &frame_->ch_layout, static_cast<AVSampleFormat>(frame_->format),
                                    frame_->sample_rate, 0, nullptr) < 0 ||
                swr_init(swr) < 0) {
                swr_free(&swr);
                audioEncoder_.reset();  // audio this machine cannot convert: carry on with video
                return true;
            }
            swr_.reset(swr);
        }
        int room = swr_get_out_samples(swr_.get(), frame_->nb_samples);
        if (room <= 0) return true;
        uint8_t** converted = nullptr;
        if (av_samples_alloc_array_and_samples(&converted, nullptr, enc->ch_layout.nb_channels,
                                               room, enc->sample_fmt, 0) < 0)
            return true;
        int got =
            swr_convert(swr_.get(), converted, room,
                        const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
        if (got > 0) {
            if (av_audio_fifo_size(fifo_.get()) > enc->sample_rate * kMaxFifoSeconds)
                av_audio_fifo_reset(fifo_.get());
            av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted), got);
        }
        av_freep(&converted[0]);
        av_freep(&converted);
        return DrainFifo(false);
    }

    bool DrainFifo(bool all) {
        AVCodecContext* enc = audioEncoder_.get();
        int frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
        while (av_audio_fifo_size(fifo_.get()) >= frameSize ||
               (all && av_audio_fifo_size(fifo_.get()) > 0)) {
            FramePtr frame(av_frame_alloc());
            if (!frame) return true;
            frame->nb_samples = std::min(frameSize, av_audio_fifo_size(fifo_.get()));
            frame->format = enc->sample_fmt;
            frame->sample_rate = enc->sample_rate;
            if (av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 ||
                av_frame_get_buffer(frame.get(), 0) < 0)
                return true;
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data),
                               frame->nb_samples);
            frame->pts = nextAudioPts_;
            nextAudioPts_ += frame->nb_samples;
            if (!Encode(enc, frame.get(), audioOut_)) return false;
        }
        return true;
    }

    // Encodes one frame (null: drain) and writes what comes out; false when the output failed.
    bool Encode(AVCodecContext* enc, const AVFrame* frame, int outIndex) {
        if (avcodec_send_frame(enc, frame) < 0) return true;
        PacketPtr out(av_packet_alloc());
        if (!out) return true;
        while (avcodec_receive_packet(enc, out.get()) >= 0) {
            av_packet_rescale_ts(out.get(), enc->time_base, output_->streams[outIndex]->time_base);
            out->stream_index = outIndex;
            if (av_interleaved_write_frame(output_.get(), out.get()) < 0) return false;
            ++packets_;
        }
        return true;
    }

    void Finish() {
        if (audioEncoder_) {
            DrainFifo(true);
            Encode(audioEncoder_.get(), nullptr, audioOut_);
        }
        if (videoEncoder_) Encode(videoEncoder_.get(), nullptr, videoOut_);
        av_write_trailer(output_.get());
    }

public:
    // Why Open failed, when it was the server's doing.
    std::string failure;

private:
    static std::string ErrorText(int error) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(error, text, sizeof text);
        return text;
    }

    const std::atomic<bool>& stopping_;
    std::atomic<uint64_t>& packets_;
    PacketPtr packet_;
    FramePtr frame_;
    // Declared before the input so the input is closed first.
    std::unique_ptr<AVIOContext, IoDeleter> io_;
    InputPtr input_;
    std::unique_ptr<AVFormatContext, OutputDeleter> output_;
    CodecPtr videoDecoder_, audioDecoder_, videoEncoder_, audioEncoder_;
    int videoIn_ = -1, audioIn_ = -1, videoOut_ = -1, audioOut_ = -1;
    FramePtr scaled_;
    std::unique_ptr<SwsContext, SwsDeleter> sws_;
    SwrPtr swr_;
    std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
    std::optional<int64_t> origin_;
    bool videoStarted_ = false;
    bool audioStarted_ = false;
    int64_t lastVideoMs_ = -1;
    int64_t nextAudioPts_ = 0;
};

}  // namespace

RtmpPusher::RtmpPusher(std::filesystem::path file, std::string url, RtmpFailureHandler onFailure)
    : file_(std::move(file)), url_(std::move(url)), onFailure_(std::move(onFailure)), thread_([this] { Run(); }) {}

RtmpPusher::~RtmpPusher() {
    stopping_ = true;
    thread_.join();
}

void RtmpPusher::Run() {
    int failures = 0;
    auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(kFirstReconnectDelay);
    while (!stopping_) {
        bool again = true;
        std::string failure;
        try {
            again = PushOnce(&failure);
        } catch (const std::exception& e) {
            // Out of memory in one session must not end the helper; try again later.
            failure = std::string("the stream to ") + url_ + " failed: " + e.what();
        }
        if (!again) return;
        if (failure.empty()) {
            // A session that ran and dropped: the server was there, so start counting afresh.
            failures = 0;
            delay = kFirstReconnectDelay;
        } else if (++failures >= kMaxFailures) {
            const std::string reason = failure + "; giving up after " + std::to_string(failures) + " attempts";
            LogError("relayo", reason);
            failed_ = true;
            if (onFailure_) onFailure_(reason);
            return;
        } else {
            const std::string reason = failure + "; trying again in " + std::to_string(delay.count() / 1000) + " s";
            LogWarning("relayo", reason);
            if (failures == 1 && onFailure_) onFailure_(reason);
        }
        for (auto waited = 0ms; waited < delay && !stopping_; waited += 50ms) std::this_thread::sleep_for(50ms);
        if (!failure.empty()) delay = std::min<std::chrono::milliseconds>(delay * 2, kLongestReconnectDelay);
    }
}

bool RtmpPusher::PushOnce(std::string* failure) {
    LiveSource source(file_, stopping_);
    auto session = std::make_unique<Session>(stopping_, packets_);
    if (!session->Open(source, url_)) {
        *failure = session->failure;
        return !stopping_ && !source.SourceEnded();
    }
    ++sessions_;
    bool again = session->Pump();
    return again && !source.SourceEnded();
}

}  // namespace relayo
