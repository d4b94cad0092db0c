#include "platform/codecs/CompressorFilters.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/codecs/CompressorSettings.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/base/TransformFilter.h"
#include "platform/dshow/filters/PixelConversion.h"

namespace {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResampleDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

HRESULT FromAv(int error) { return error >= 0 ? S_OK : HResultFromErrno(AVUNERROR(error) & 0xFFFF); }

// What both compressors share: the encoder opens whenever the input type is set and again at
// every run (so each file starts with a key frame), closes with the input connection, and every
// packet it gives goes out in a buffer of the output pin.
class EncoderFilter : public TransformFilter {
public:
    explicit EncoderFilter(const CompressorInfo& info)
        : TransformFilter(info.clsid, "Input", "Output"), info_(info),
          codec_(avcodec_find_encoder_by_name(info.encoder.c_str())) {}

    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) override {
        if (direction == PINDIR_INPUT) {
            HRESULT hr = OpenEncoder(*type);
            if (FAILED(hr)) return hr;
        }
        return TransformFilter::SetMediaType(direction, type);
    }
    HRESULT BreakConnect(PIN_DIRECTION direction) override {
        if (direction == PINDIR_INPUT) context_.reset();
        return TransformFilter::BreakConnect(direction);
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position < 0) return E_INVALIDARG;
        if (!Input()->IsConnected() || !context_) return E_UNEXPECTED;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = OutputType();
        return S_OK;
    }
    HRESULT Transform(IMediaSample*, IMediaSample*) override { return E_UNEXPECTED; }
    HRESULT EndOfStream() override {
        if (context_ && Output()->IsConnected()) {
            DrainInput();
            avcodec_send_frame(context_.get(), nullptr);
            DeliverPackets();
        }
        return TransformFilter::EndOfStream();
    }

protected:
    // Opens context_ for that input type (and what converts the input for it).
    virtual HRESULT OpenEncoder(const AM_MEDIA_TYPE& type) = 0;
    // The compressed type for the open encoder.
    virtual AM_MEDIA_TYPE OutputType() = 0;
    // Times and sync point of the sample that carries packet_.
    virtual void StampSample(IMediaSample* out) = 0;
    // What the filter still holds before the encoder is drained at end of stream.
    virtual void DrainInput() {}

    // `header` followed by the encoder's private data: the format block of the output type.
    std::vector<BYTE> FormatBlock(const void* header, size_t size) const {
        size_t extra = static_cast<size_t>(std::max(0, context_->extradata_size));
        std::vector<BYTE> block(size + extra);
        std::memcpy(block.data(), header, size);
        if (extra) std::memcpy(block.data() + size, context_->extradata, extra);
        return block;
    }

    HRESULT SizeAllocator(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG buffers, LONG bytes) {
        request->cBuffers = std::max(request->cBuffers, buffers);
        request->cbBuffer = std::max(request->cbBuffer, bytes);
        request->cbAlign = std::max<LONG>(request->cbAlign, 1);
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }

    HRESULT DeliverPackets() {
        for (;;) {
            int r = avcodec_receive_packet(context_.get(), packet_.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return S_OK;
            if (r < 0) return FromAv(r);
            HRESULT hr = DeliverPacket();
            av_packet_unref(packet_.get());
            if (FAILED(hr)) return hr;
        }
    }

    CompressorInfo info_;
    const AVCodec* codec_;
    CodecContext context_;
    Packet packet_;

private:
    HRESULT DeliverPacket() {
        ComPtr<IMediaSample> out;
        HRESULT hr = Output()->GetDeliveryBuffer(out.ReleaseAndGetAddressOf(), nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        if (packet_->size > out->GetSize()) return VFW_E_BUFFER_OVERFLOW;
        BYTE* data = nullptr;
        out->GetPointer(&data);
        std::memcpy(data, packet_->data, static_cast<size_t>(packet_->size));
        out->SetActualDataLength(packet_->size);
        StampSample(out.Get());
        return Output()->Deliver(out.Get());
    }
};

// --- video -------------------------------------------------------------------------------------

AVPixelFormat InputPixelFormat(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
    if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGR0;
    if (subtype == MEDIASUBTYPE_RGB555) return AV_PIX_FMT_RGB555LE;
    if (subtype == MEDIASUBTYPE_YUY2) return AV_PIX_FMT_YUYV422;
    if (subtype == MEDIASUBTYPE_UYVY) return AV_PIX_FMT_UYVY422;
    if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV) return AV_PIX_FMT_YUV420P;
    return AV_PIX_FMT_NONE;
}

bool IsRgb(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_RGB555;
}

// The layout the encoder takes: its first, except where a better one for capture exists.
AVPixelFormat EncoderPixelFormat(const AVCodec* codec) {
    if (!codec->pix_fmts) return AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == AV_PIX_FMT_YUV420P || *p == AV_PIX_FMT_YUVJ420P) return *p;
    return codec->pix_fmts[0];
}

class VideoCompressor final : public EncoderFilter {
public:
    explicit VideoCompressor(const CompressorInfo& info) : EncoderFilter(info) {}

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override {
        const VIDEOINFOHEADER* vih = in->VideoInfo();
        if (in->majortype != MEDIATYPE_Video || !vih || InputPixelFormat(in->subtype) == AV_PIX_FMT_NONE)
            return VFW_E_TYPE_NOT_ACCEPTED;
        LONG w = vih->bmiHeader.biWidth, h = std::labs(vih->bmiHeader.biHeight);
        // msvideo1 codes 4x4 blocks; 4:2:0 encoders need even sizes.
        int multiple = info_.encoder == "msvideo1" ? 4 : 2;
        if (w <= 0 || h <= 0 || w % multiple || h % multiple) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override {
        if (CheckInputType(in) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        if (out->majortype != MEDIATYPE_Video || out->subtype != Guid::FromFourCC(info_.fourCC)) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    AM_MEDIA_TYPE OutputType() override {
        const VIDEOINFOHEADER* in = Input()->CurrentMediaType().VideoInfo();
        VIDEOINFOHEADER vih;
        vih.AvgTimePerFrame = in->AvgTimePerFrame;
        // The private data follows the bitmap header, which counts it in biSize.
        vih.bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + std::max(0, context_->extradata_size));
        vih.bmiHeader.biWidth = in->bmiHeader.biWidth;
        vih.bmiHeader.biHeight = std::labs(in->bmiHeader.biHeight);
        vih.bmiHeader.biPlanes = 1;
        vih.bmiHeader.biBitCount = 24;
        vih.bmiHeader.biCompression = info_.fourCC;
        vih.bmiHeader.biSizeImage = static_cast<DWORD>(vih.bmiHeader.biWidth * vih.bmiHeader.biHeight * 3);
        if (context_->bit_rate > 0) vih.dwBitRate = static_cast<DWORD>(context_->bit_rate);
        std::vector<BYTE> block = FormatBlock(&vih, sizeof vih);
        AM_MEDIA_TYPE out;
        out.majortype = MEDIATYPE_Video;
        out.subtype = Guid::FromFourCC(info_.fourCC);
        out.formattype = FORMAT_VideoInfo;
        out.bFixedSizeSamples = FALSE;
        out.bTemporalCompression = (info_.flags & VIDCF_TEMPORAL) ? TRUE : FALSE;
        out.lSampleSize = 0;
        out.SetFormat(block.data(), static_cast<ULONG>(block.size()));
        return out;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        const VIDEOINFOHEADER* in = Input()->CurrentMediaType().VideoInfo();
        LONG w = in->bmiHeader.biWidth, h = std::labs(in->bmiHeader.biHeight);
        // Worst case of any of these encoders on noise, with room for headers.
        return SizeAllocator(allocator, request, 4, w * h * 4 + 65536);
    }
    HRESULT StartStreaming() override {
        // A fresh encoder per run: the first frame of every file is a key frame.
        HRESULT hr = OpenEncoder(Input()->CurrentMediaType());
        frameNumber_ = 0;
        return hr;
    }

    HRESULT Receive(IMediaSample* sample) override {
        if (!context_ || !Output()->IsConnected()) return S_OK;
        BYTE* data = nullptr;
        HRESULT hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        REFERENCE_TIME start = 0, stop = 0;
        bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
        hr = Convert(data, sample->GetActualDataLength());
        if (FAILED(hr)) return hr;
        frame_->pts = frameNumber_++;
        if (timed) times_.push_back({frame_->pts, start, stop});
        int r = avcodec_send_frame(context_.get(), frame_.get());
        if (r < 0) return FromAv(r);
        return DeliverPackets();
    }

private:
    struct Times {
        int64_t pts;
        REFERENCE_TIME start, stop;
    };

    HRESULT OpenEncoder(const AM_MEDIA_TYPE& type) override {
        context_.reset();
        if (!codec_) return VFW_E_NO_TYPES;
        const VIDEOINFOHEADER* vih = type.VideoInfo();
        if (!vih) return VFW_E_TYPE_NOT_ACCEPTED;
        CodecContext context(avcodec_alloc_context3(codec_));
        if (!context) return E_OUTOFMEMORY;
        CompressorSettings settings = SettingsOf(info_.friendlyName);
        REFERENCE_TIME interval = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : UNITS / 30;
        // MPEG-4 allows time base denominators up to 65535: 29.97 fps is 30000/1001, not 10^7/333667.
        AVRational fps = av_d2q(static_cast<double>(UNITS) / static_cast<double>(interval), 65535);
        context->time_base = av_inv_q(fps);
        context->framerate = fps;
        context->width = vih->bmiHeader.biWidth;
        context->height = std::labs(vih->bmiHeader.biHeight);
        context->pix_fmt = EncoderPixelFormat(codec_);
        context->gop_size = std::max(1, settings.keyFrameEvery);
        context->max_b_frames = 0;
        context->codec_tag = info_.fourCC;
        context->thread_count = 1;
        if (settings.bitRateKbps > 0) {
            context->bit_rate = static_cast<int64_t>(settings.bitRateKbps) * 1000;
        } else if (info_.flags & VIDCF_QUALITY) {
            // Quality 10000 is the finest quantiser, 0 the coarsest.
            int q = 2 + (10000 - std::clamp(settings.quality, 0, 10000)) * 29 / 10000;
            context->flags |= AV_CODEC_FLAG_QSCALE;
            context->global_quality = FF_QP2LAMBDA * q;
        }
        AVDictionary* options = nullptr;
        if (info_.encoder == "libx264") {
            av_dict_set(&options, "preset", "veryfast", 0);
            av_dict_set(&options, "tune", "zerolatency", 0);
            if (settings.bitRateKbps <= 0) {
                int crf = 51 - std::clamp(settings.quality, 0, 10000) * 51 / 10000;
                av_dict_set_int(&options, "crf", std::max(crf, 10), 0);
            }
            context->flags &= ~AV_CODEC_FLAG_QSCALE;
            context->global_quality = 0;
        }
        // FFV1 version 3: its parameters (and per-slice CRCs) travel as private data after the
        // bitmap header, which AVI Mux writes into the stream format.
        if (info_.encoder == "ffv1") av_dict_set(&options, "level", "3", 0);
        int r = avcodec_open2(context.get(), codec_, &options);
        av_dict_free(&options);
        if (r < 0) return FromAv(r);

        AVPixelFormat source = InputPixelFormat(type.subtype);
        scale_.reset(sws_getContext(context->width, context->height, source, context->width, context->height,
                                    context->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!scale_) return E_OUTOFMEMORY;
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!frame_ || !packet_) return E_OUTOFMEMORY;
        frame_->format = context->pix_fmt;
        frame_->width = context->width;
        frame_->height = context->height;
        r = av_frame_get_buffer(frame_.get(), 0);
        if (r < 0) return FromAv(r);
        // Written once here, while the graph is not yet running, so that the first frame's
        // conversion does not pay for faulting the fresh picture's pages in.
        for (AVBufferRef* buffer : frame_->buf)
            if (buffer) std::memset(buffer->data, 0, buffer->size);
        sourceSubtype_ = type.subtype;
        sourceFormat_ = source;
        sourceBottomUp_ = IsRgb(type.subtype) && vih->bmiHeader.biHeight > 0;
        sourceStride_ = IsRgb(type.subtype) ? DibStride(vih->bmiHeader.biWidth, vih->bmiHeader.biBitCount)
                                            : (type.subtype == MEDIASUBTYPE_I420 || type.subtype == MEDIASUBTYPE_IYUV
                                                   ? vih->bmiHeader.biWidth
                                                   : vih->bmiHeader.biWidth * 2);
        times_.clear();
        context_ = std::move(context);
        return S_OK;
    }

    HRESULT Convert(const BYTE* data, LONG length) {
        int w = context_->width, h = context_->height;
        const uint8_t* planes[4] = {};
        int strides[4] = {};
        if (sourceSubtype_ == MEDIASUBTYPE_I420 || sourceSubtype_ == MEDIASUBTYPE_IYUV) {
            if (length < w * h * 3 / 2) return E_INVALIDARG;
            planes[0] = data;
            planes[1] = data + w * h;
            planes[2] = planes[1] + w * h / 4;
            strides[0] = w;
            strides[1] = strides[2] = w / 2;
        } else {
            if (length < sourceStride_ * h) return E_INVALIDARG;
            // A bottom-up DIB is read from its last row with a negative stride.
            planes[0] = sourceBottomUp_ ? data + static_cast<ptrdiff_t>(sourceStride_) * (h - 1) : data;
            strides[0] = sourceBottomUp_ ? -sourceStride_ : sourceStride_;
        }
        int r = av_frame_make_writable(frame_.get());
        if (r < 0) return FromAv(r);
        if (!ConvertPixelsDirect(sourceFormat_, planes, strides, context_->pix_fmt, frame_->data, frame_->linesize, w, h))
            sws_scale(scale_.get(), planes, strides, 0, h, frame_->data, frame_->linesize);
        return S_OK;
    }

    void StampSample(IMediaSample* out) override {
        out->SetSyncPoint((packet_->flags & AV_PKT_FLAG_KEY) ? TRUE : FALSE);
        auto it = std::find_if(times_.begin(), times_.end(), [&](const Times& t) { return t.pts == packet_->pts; });
        if (it != times_.end()) {
            out->SetTime(&it->start, &it->stop);
            times_.erase(times_.begin(), it + 1);
        }
    }

    std::unique_ptr<SwsContext, ScaleDeleter> scale_;
    Frame frame_;
    Guid sourceSubtype_;
    AVPixelFormat sourceFormat_ = AV_PIX_FMT_NONE;
    bool sourceBottomUp_ = false;
    int sourceStride_ = 0;
    int64_t frameNumber_ = 0;
    std::vector<Times> times_;
};

// --- audio -------------------------------------------------------------------------------------

class AudioCompressor final : public EncoderFilter {
public:
    explicit AudioCompressor(const CompressorInfo& info) : EncoderFilter(info) {}

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override {
        const WAVEFORMATEX* w = in->WaveFormat();
        if (in->majortype != MEDIATYPE_Audio || in->subtype != MEDIASUBTYPE_PCM || !w) return VFW_E_TYPE_NOT_ACCEPTED;
        if (w->wBitsPerSample != 16 || w->nChannels < 1 || w->nChannels > 2) return VFW_E_TYPE_NOT_ACCEPTED;
        if (info_.encoder == "libmp3lame") {
            static constexpr DWORD rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
            if (std::find(std::begin(rates), std::end(rates), w->nSamplesPerSec) == std::end(rates)) return VFW_E_TYPE_NOT_ACCEPTED;
        }
        return S_OK;
    }
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override {
        if (CheckInputType(in) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        const WAVEFORMATEX* w = out->WaveFormat();
        if (out->majortype != MEDIATYPE_Audio || !w || w->wFormatTag != info_.formatTag) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    AM_MEDIA_TYPE OutputType() override {
        int extra = std::max(0, context_->extradata_size);
        WAVEFORMATEX wfx;
        wfx.wFormatTag = info_.formatTag;
        wfx.nChannels = static_cast<WORD>(context_->ch_layout.nb_channels);
        wfx.nSamplesPerSec = static_cast<DWORD>(context_->sample_rate);
        int bits = av_get_bits_per_sample(context_->codec_id);
        wfx.wBitsPerSample = static_cast<WORD>(bits);
        if (info_.encoder == "pcm_s16le") {
            wfx.nBlockAlign = static_cast<WORD>(wfx.nChannels * 2);
            wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
        } else if (context_->block_align > 0) {
            // ADPCM: one block of frame_size samples per block_align bytes.
            wfx.nBlockAlign = static_cast<WORD>(context_->block_align);
            wfx.nAvgBytesPerSec = static_cast<DWORD>(static_cast<int64_t>(context_->block_align) * context_->sample_rate /
                                                     std::max(1, context_->frame_size));
        } else {
            wfx.nBlockAlign = 1;
            wfx.nAvgBytesPerSec = static_cast<DWORD>(context_->bit_rate / 8);
        }
        wfx.cbSize = static_cast<WORD>(extra);
        std::vector<BYTE> block = FormatBlock(&wfx, sizeof wfx);
        AM_MEDIA_TYPE out;
        out.majortype = MEDIATYPE_Audio;
        out.subtype = Guid::FromFourCC(info_.formatTag);
        out.formattype = FORMAT_WaveFormatEx;
        out.bFixedSizeSamples = info_.encoder == "pcm_s16le" ? TRUE : FALSE;
        out.lSampleSize = wfx.nBlockAlign;
        out.SetFormat(block.data(), static_cast<ULONG>(block.size()));
        return out;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        const WAVEFORMATEX* in = Input()->CurrentMediaType().WaveFormat();
        return SizeAllocator(allocator, request, 8, static_cast<LONG>(in->nAvgBytesPerSec / 2 + 16384));
    }
    HRESULT StartStreaming() override {
        samplesIn_ = samplesOut_ = 0;
        return OpenEncoder(Input()->CurrentMediaType());
    }

    HRESULT Receive(IMediaSample* sample) override {
        if (!context_ || !Output()->IsConnected()) return S_OK;
        BYTE* data = nullptr;
        HRESULT hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        const WAVEFORMATEX* in = Input()->CurrentMediaType().WaveFormat();
        int frames = sample->GetActualDataLength() / in->nBlockAlign;
        if (frames <= 0) return S_OK;
        // Interleaved 16-bit in, the encoder's layout into the FIFO.
        std::vector<uint8_t*> planes(static_cast<size_t>(context_->ch_layout.nb_channels));
        int r = av_samples_alloc(planes.data(), nullptr, context_->ch_layout.nb_channels, frames, context_->sample_fmt, 0);
        if (r < 0) return FromAv(r);
        const uint8_t* source = data;
        r = swr_convert(resample_.get(), planes.data(), frames, &source, frames);
        if (r > 0) av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes.data()), r);
        av_freep(&planes[0]);
        if (r < 0) return FromAv(r);
        return EncodeFromFifo(false);
    }

private:
    void DrainInput() override { EncodeFromFifo(true); }

    HRESULT OpenEncoder(const AM_MEDIA_TYPE& type) override {
        context_.reset();
        if (!codec_) return VFW_E_NO_TYPES;
        const WAVEFORMATEX* in = type.WaveFormat();
        if (!in) return VFW_E_TYPE_NOT_ACCEPTED;
        CodecContext context(avcodec_alloc_context3(codec_));
        if (!context) return E_OUTOFMEMORY;
        context->sample_rate = static_cast<int>(in->nSamplesPerSec);
        av_channel_layout_default(&context->ch_layout, in->nChannels);
        context->sample_fmt = codec_->sample_fmts ? codec_->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        context->time_base = AVRational{1, context->sample_rate};
        CompressorSettings settings = SettingsOf(info_.friendlyName);
        if (info_.encoder == "libmp3lame") context->bit_rate = settings.bitRateKbps > 0 ? settings.bitRateKbps * 1000 : 128000;
        int r = avcodec_open2(context.get(), codec_, nullptr);
        if (r < 0) return FromAv(r);
        SwrContext* swr = nullptr;
        AVChannelLayout layout;
        av_channel_layout_default(&layout, in->nChannels);
        r = swr_alloc_set_opts2(&swr, &context->ch_layout, context->sample_fmt, context->sample_rate, &layout,
                                AV_SAMPLE_FMT_S16, static_cast<int>(in->nSamplesPerSec), 0, nullptr);
        if (r < 0 || !swr || swr_init(swr) < 0) {
            swr_free(&swr);
            return E_FAIL;
        }
        resample_.reset(swr);
        frameSize_ = context->frame_size > 0 ? context->frame_size : 1024;
        fifo_.reset(av_audio_fifo_alloc(context->sample_fmt, context->ch_layout.nb_channels, frameSize_ * 4));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!fifo_ || !frame_ || !packet_) return E_OUTOFMEMORY;
        context_ = std::move(context);
        return S_OK;
    }

    HRESULT EncodeFromFifo(bool flush) {
        // An encoder that takes any frame size (PCM) gets everything at once: holding samples
        // back would lose them when the graph stops, which it does downstream first.
        bool variable = codec_->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
        while (av_audio_fifo_size(fifo_.get()) >= frameSize_ ||
               ((flush || variable) && av_audio_fifo_size(fifo_.get()) > 0)) {
            int count = variable ? av_audio_fifo_size(fifo_.get()) : std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
            frame_.reset(av_frame_alloc());
            frame_->nb_samples = (count < frameSize_ && !variable && context_->frame_size > 0) ? frameSize_ : count;
            frame_->format = context_->sample_fmt;
            av_channel_layout_copy(&frame_->ch_layout, &context_->ch_layout);
            frame_->sample_rate = context_->sample_rate;
            int r = av_frame_get_buffer(frame_.get(), 0);
            if (r < 0) return FromAv(r);
            // A short last block is padded with silence.
            av_samples_set_silence(frame_->data, 0, frame_->nb_samples, context_->ch_layout.nb_channels, context_->sample_fmt);
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), count);
            frame_->pts = samplesIn_;
            samplesIn_ += frame_->nb_samples;
            r = avcodec_send_frame(context_.get(), frame_.get());
            if (r < 0) return FromAv(r);
            HRESULT hr = DeliverPackets();
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    void StampSample(IMediaSample* out) override {
        out->SetSyncPoint(TRUE);
        int64_t duration = packet_->duration > 0 ? packet_->duration : frameSize_;
        REFERENCE_TIME start = samplesOut_ * UNITS / context_->sample_rate;
        REFERENCE_TIME stop = (samplesOut_ + duration) * UNITS / context_->sample_rate;
        samplesOut_ += duration;
        out->SetTime(&start, &stop);
    }

    std::unique_ptr<SwrContext, ResampleDeleter> resample_;
    std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
    Frame frame_;
    int frameSize_ = 1024;
    int64_t samplesIn_ = 0;
    int64_t samplesOut_ = 0;
};

}  // namespace

HRESULT CreateCompressorFilter(const CompressorInfo& info, IBaseFilter** filter) {
    if (!filter) return E_POINTER;
    *filter = nullptr;
    if (!avcodec_find_encoder_by_name(info.encoder.c_str())) return REGDB_E_CLASSNOTREG;
    if (info.kind == CompressorKind::Video) *filter = MakeCom<VideoCompressor>(info).Detach();
    else *filter = MakeCom<AudioCompressor>(info).Detach();
    return S_OK;
}
