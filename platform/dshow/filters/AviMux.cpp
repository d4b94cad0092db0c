#include "platform/dshow/filters/AviMux.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/base/Log.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/ByteStreamSink.h"
#include "platform/dshow/filters/PixelLayout.h"

namespace {
constexpr int kIoBufferSize = 64 * 1024;
// A stream that stops delivering (a device that stalls) holds the others back at most this long.
constexpr int64_t kMaxInterleaveMicroseconds = 500000;
// The raw decoder reads positive-height RGB as upright when the stream says "BottomUp".
constexpr char kBottomUp[] = "BottomUp";

bool IsUncompressedRgb(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_ARGB32 ||
           subtype == MEDIASUBTYPE_RGB555 || subtype == MEDIASUBTYPE_RGB565 || subtype == MEDIASUBTYPE_RGB8;
}

AVCodecID PcmCodec(const WAVEFORMATEX& wfx) {
    if (wfx.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return wfx.wBitsPerSample == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_PCM_F32LE;
    switch (wfx.wBitsPerSample) {
        case 8: return AV_CODEC_ID_PCM_U8;
        case 16: return AV_CODEC_ID_PCM_S16LE;
        case 24: return AV_CODEC_ID_PCM_S24LE;
        case 32: return AV_CODEC_ID_PCM_S32LE;
        default: return AV_CODEC_ID_NONE;
    }
}
}  // namespace

// --- pins -------------------------------------------------------------------------------------

AviMuxInputPin::AviMuxInputPin(AviMux* mux, const char* name) : InputPin(mux, name), mux_(mux) {}

HRESULT AviMuxInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type->majortype == MEDIATYPE_Video) {
        const VIDEOINFOHEADER* vih = type->VideoInfo();
        if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    if (type->majortype == MEDIATYPE_Audio) {
        const WAVEFORMATEX* wfx = type->WaveFormat();
        if (!wfx || wfx->nChannels == 0 || wfx->nSamplesPerSec == 0 || wfx->nBlockAlign == 0) {
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
        return S_OK;
    }
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviMuxInputPin::CompleteConnect(IPin* receivePin) {
    HRESULT hr = InputPin::CompleteConnect(receivePin);
    if (SUCCEEDED(hr)) mux_->AddFreeInput();
    return hr;
}

HRESULT AviMuxInputPin::OnReceive(IMediaSample* sample) { return mux_->Receive(this, sample); }

HRESULT AviMuxInputPin::OnEndOfStream() {
    mux_->EndOfStream(this);
    return S_OK;
}

AviMuxOutputPin::AviMuxOutputPin(AviMux* mux) : OutputPin(mux, "AVI Out") {}

HRESULT AviMuxOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type->majortype != MEDIATYPE_Stream) return VFW_E_TYPE_NOT_ACCEPTED;
    return type->subtype.IsNull() || type->subtype == MEDIASUBTYPE_Avi ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviMuxOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = MakePartialType(MEDIATYPE_Stream, MEDIASUBTYPE_Avi, FORMAT_None);
    return S_OK;
}

HRESULT AviMuxOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    // The file's bytes go through IByteStreamSink; samples are never sent.
    request->cBuffers = 1;
    request->cbBuffer = 16;
    request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
}

// --- the multiplexer --------------------------------------------------------------------------

AviMux::AviMux() : WithInterfaces(CLSID_AviDest) {
    AddFreeInput();
    output_ = AddPin(std::make_unique<AviMuxOutputPin>(this));
}

AviMux::~AviMux() {
    std::lock_guard lock(muxLock_);
    FinishFileLocked(false);
}

void AviMux::AddFreeInput() {
    for (int i = 0, n = PinCount(); i < n; ++i) {
        BasePin* pin = GetPin(i);
        if (pin->Direction() == PINDIR_INPUT && !pin->IsConnected()) return;
    }
    char name[24];
    std::snprintf(name, sizeof name, "Input %02d", ++inputCount_);
    AddPin(std::make_unique<AviMuxInputPin>(this, name));
}

HRESULT AviMux::SetMasterStream(LONG stream) {
    if (stream < -1) return E_INVALIDARG;
    masterStream_ = stream;
    return S_OK;
}

HRESULT AviMux::GetMasterStream(LONG* stream) {
    if (!stream) return E_POINTER;
    *stream = masterStream_;
    return S_OK;
}

HRESULT AviMux::SetOutputCompatibilityIndex(BOOL oldIndex) {
    // The old-style index is always written (every player reads it); the setting is kept.
    compatibilityIndex_ = oldIndex;
    return S_OK;
}

HRESULT AviMux::GetOutputCompatibilityIndex(BOOL* oldIndex) {
    if (!oldIndex) return E_POINTER;
    *oldIndex = compatibilityIndex_;
    return S_OK;
}

HRESULT AviMux::Pause() {
    std::lock_guard lock(FilterLock());
    bool starting = State() == State_Stopped;
    HRESULT hr = BaseFilter::Pause();
    if (FAILED(hr) || !starting) return hr;
    hr = StartFile();
    if (FAILED(hr)) BaseFilter::Stop();
    return hr;
}

HRESULT AviMux::Stop() {
    std::lock_guard lock(FilterLock());
    // The inputs go inactive first: no Receive is in progress when the file is finished.
    HRESULT hr = BaseFilter::Stop();
    std::lock_guard mux(muxLock_);
    FinishFileLocked(false);
    return hr;
}

int AviMux::WritePacket(void* opaque, uint8_t* data, int size) {
    auto* mux = static_cast<AviMux*>(opaque);
    HRESULT hr = mux->sink_->Write(data, static_cast<ULONG>(size));
    if (SUCCEEDED(hr)) return size;
    // The writer's own cause (a full disk, an I/O error) is what the graph is told.
    if (SUCCEEDED(mux->writeError_)) mux->writeError_ = hr;
    return AVERROR(EIO);
}

int64_t AviMux::SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* mux = static_cast<AviMux*>(opaque);
    if (whence & AVSEEK_SIZE) return -1;
    int origin = (whence & ~AVSEEK_FORCE) == SEEK_CUR ? STREAM_SEEK_CUR
                 : (whence & ~AVSEEK_FORCE) == SEEK_END ? STREAM_SEEK_END
                                                        : STREAM_SEEK_SET;
    LONGLONG position = 0;
    return SUCCEEDED(mux->sink_->Seek(offset, origin, &position)) ? position : AVERROR(EIO);
}

HRESULT AviMux::StartFile() {
    std::lock_guard lock(muxLock_);
    ReleaseLocked();
    if (!output_->IsConnected()) return S_OK;  // nowhere to write: the inputs are consumed
    sink_ = QueryAs<IByteStreamSink>(output_->ConnectedPin());
    if (!sink_) return E_NOINTERFACE;
    HRESULT hr = sink_->Open();
    if (FAILED(hr)) {
        sink_.Reset();
        return hr;
    }
    if (avformat_alloc_output_context2(&format_, nullptr, "avi", nullptr) < 0 || !format_) {
        ReleaseLocked();
        return E_OUTOFMEMORY;
    }
    for (int i = 0, n = PinCount(); i < n; ++i) {
        BasePin* pin = GetPin(i);
        if (pin->Direction() != PINDIR_INPUT || !pin->IsConnected()) continue;
        AddStream(static_cast<AviMuxInputPin*>(pin));
    }
    if (streams_.empty()) {
        // Nothing connected: an empty file, completed at once.
        sink_->Close();
        ReleaseLocked();
        return S_OK;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &AviMux::WritePacket, &AviMux::SeekPacket)
                 : nullptr;
    if (!io_) {
        av_free(buffer);
        ReleaseLocked();
        return E_OUTOFMEMORY;
    }
    io_->seekable = AVIO_SEEKABLE_NORMAL;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Each packet reaches the file at once: a recording cut short keeps what was captured.
    format_->flush_packets = 1;
    format_->max_interleave_delta = kMaxInterleaveMicroseconds;
    if (avformat_write_header(format_, nullptr) < 0) {
        sink_->Close();
        ReleaseLocked();
        return E_FAIL;
    }
    headerWritten_ = true;
    return S_OK;
}

HRESULT AviMux::AddStream(AviMuxInputPin* pin) {
    const AM_MEDIA_TYPE& type = pin->CurrentMediaType();
    Stream stream;
    stream.pin = pin;
    AVStream* st = avformat_new_stream(format_, nullptr);
    if (!st) return E_OUTOFMEMORY;
    AVCodecParameters* par = st->codecpar;
    if (type.majortype == MEDIATYPE_Video) {
        const VIDEOINFOHEADER* vih = type.VideoInfo();
        const BITMAPINFOHEADER& bmi = vih->bmiHeader;
        stream.video = true;
        stream.frameInterval = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : UNITS / 30;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->width = bmi.biWidth;
        par->height = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
        par->bits_per_coded_sample = bmi.biBitCount;
        if (IsUncompressedRgb(type.subtype)) {
            par->codec_id = AV_CODEC_ID_RAWVIDEO;
            par->codec_tag = 0;
            par->format = PixelFormatOfSubtype(type.subtype);
            stream.keyFrames = true;
            if (bmi.biHeight > 0) {
                par->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kBottomUp + AV_INPUT_BUFFER_PADDING_SIZE));
                if (!par->extradata) return E_OUTOFMEMORY;
                std::memcpy(par->extradata, kBottomUp, sizeof kBottomUp);
                par->extradata_size = sizeof kBottomUp;
            }
        } else {
            par->codec_tag = bmi.biCompression;
            const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
            par->codec_id = av_codec_get_id(tags, bmi.biCompression);
            if (par->codec_id == AV_CODEC_ID_NONE) par->codec_id = AV_CODEC_ID_RAWVIDEO;
            if (par->codec_id == AV_CODEC_ID_RAWVIDEO) {
                par->format = PixelFormatOfSubtype(type.subtype);
                stream.keyFrames = true;
            }
            // A compressor's private data follows the bitmap header (biSize counts it).
            size_t extra = bmi.biSize > sizeof(BITMAPINFOHEADER) ? bmi.biSize - sizeof(BITMAPINFOHEADER) : 0;
            if (type.cbFormat() < sizeof(VIDEOINFOHEADER) + extra) extra = type.cbFormat() - sizeof(VIDEOINFOHEADER);
            if (extra > 0) {
                par->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
                if (!par->extradata) return E_OUTOFMEMORY;
                std::memcpy(par->extradata, type.pbFormat() + sizeof(VIDEOINFOHEADER), extra);
                par->extradata_size = static_cast<int>(extra);
            }
        }
        AVRational rate;
        av_reduce(&rate.num, &rate.den, stream.frameInterval, UNITS, INT32_MAX);
        st->time_base = rate;
        st->avg_frame_rate = st->r_frame_rate = av_inv_q(rate);
        stream.poolSize = static_cast<int>(bmi.biSizeImage ? bmi.biSizeImage : DibImageSize(bmi));
    } else {
        const WAVEFORMATEX* wfx = type.WaveFormat();
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
        par->codec_id = wfx->wFormatTag == WAVE_FORMAT_PCM || wfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT
                            ? PcmCodec(*wfx)
                            : av_codec_get_id(tags, wfx->wFormatTag);
        if (par->codec_id == AV_CODEC_ID_NONE) return VFW_E_TYPE_NOT_ACCEPTED;
        par->codec_tag = wfx->wFormatTag;
        par->sample_rate = static_cast<int>(wfx->nSamplesPerSec);
        av_channel_layout_default(&par->ch_layout, wfx->nChannels);
        par->block_align = wfx->nBlockAlign;
        par->bit_rate = static_cast<int64_t>(wfx->nAvgBytesPerSec) * 8;
        par->bits_per_coded_sample = wfx->wBitsPerSample;
        if (wfx->cbSize > 0 && type.cbFormat() >= sizeof(WAVEFORMATEX) + wfx->cbSize) {
            par->extradata = static_cast<uint8_t*>(av_mallocz(wfx->cbSize + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!par->extradata) return E_OUTOFMEMORY;
            std::memcpy(par->extradata, type.pbFormat() + sizeof(WAVEFORMATEX), wfx->cbSize);
            par->extradata_size = wfx->cbSize;
        }
        stream.blockAlign = wfx->nBlockAlign;
        stream.keyFrames = true;
        st->time_base = AVRational{1, static_cast<int>(wfx->nSamplesPerSec)};
        stream.poolSize = static_cast<int>(wfx->nAvgBytesPerSec / 4);  // grows with the first larger buffer
    }
    stream.index = st->index;
    stream.packet = av_packet_alloc();
    if (!stream.packet) return E_OUTOFMEMORY;
    streams_.push_back(stream);
    return S_OK;
}

HRESULT AviMux::Receive(AviMuxInputPin* pin, IMediaSample* sample) {
    std::lock_guard lock(muxLock_);
    if (!headerWritten_ || writeFailed_) return S_OK;
    Stream* stream = nullptr;
    for (auto& s : streams_) {
        if (s.pin == pin) stream = &s;
    }
    if (!stream || stream->ended) return S_OK;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return S_OK;
    int length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;

    // Copied into a pooled buffer: libavformat keeps packets while it interleaves, and the
    // sample must go back to its (small) pool at once.
    if (!stream->pool || stream->poolSize < length) {
        av_buffer_pool_uninit(&stream->pool);
        if (stream->poolSize < length) stream->poolSize = length;
        stream->pool = av_buffer_pool_init(static_cast<size_t>(stream->poolSize), nullptr);
        if (!stream->pool) return E_OUTOFMEMORY;
    }
    AVBufferRef* buffer = av_buffer_pool_get(stream->pool);
    if (!buffer) return E_OUTOFMEMORY;
    std::memcpy(buffer->data, data, static_cast<size_t>(length));

    AVPacket* packet = stream->packet;
    av_packet_unref(packet);
    packet->buf = buffer;
    packet->data = buffer->data;
    packet->size = length;
    packet->stream_index = stream->index;
    if (stream->video) {
        REFERENCE_TIME start = 0, stop = 0;
        int64_t pts = stream->nextPts;
        if (SUCCEEDED(sample->GetTime(&start, &stop)) && start >= 0) {
            pts = static_cast<int64_t>(std::llround(static_cast<double>(start) / static_cast<double>(stream->frameInterval)));
        }
        if (pts < stream->nextPts) pts = stream->nextPts;  // strictly increasing
        packet->pts = packet->dts = pts;
        packet->duration = 1;
        stream->nextPts = pts + 1;
    } else {
        int64_t samples = length / stream->blockAlign;
        packet->pts = packet->dts = stream->nextPts;
        packet->duration = samples;
        stream->nextPts += samples;
    }
    if (stream->keyFrames || sample->IsSyncPoint() == S_OK) packet->flags |= AV_PKT_FLAG_KEY;
    // Each packet goes to the file at once, so that the end of the last whole one is known: a
    // recording whose writes fail (a full disk) is cut back to it and stays readable.
    bool written = av_interleaved_write_frame(format_, packet) >= 0;
    if (written) {
        avio_flush(io_);
        written = io_->error >= 0;
    }
    if (!written) {
        writeFailed_ = true;
        NotifyEvent(EC_ERRORABORT, FAILED(writeError_) ? writeError_ : E_FAIL, 0);
    } else {
        lastWholePacketEnd_ = avio_tell(io_);
    }
    return S_OK;
}

void AviMux::EndOfStream(AviMuxInputPin* pin) {
    std::lock_guard lock(muxLock_);
    bool all = !streams_.empty();
    for (auto& s : streams_) {
        if (s.pin == pin) s.ended = true;
        all = all && s.ended;
    }
    if (all) FinishFileLocked(true);
}

void AviMux::FinishFileLocked(bool notify) {
    if (headerWritten_) {
        av_write_trailer(format_);
        avio_flush(io_);
        headerWritten_ = false;
    }
    if (sink_ && writeFailed_ && lastWholePacketEnd_ > 0) {
        if (HRESULT hr = sink_->Truncate(lastWholePacketEnd_); FAILED(hr))
            LogWarning("dshow", "AVI Mux: the file could not be cut back to its last whole frame (" + HResultText(hr) + ")");
    }
    if (sink_) sink_->Close();
    ReleaseLocked();
    // The writer reports the end of its stream to the graph (EC_COMPLETE).
    if (notify && output_->IsConnected()) output_->DeliverEndOfStream();
}

void AviMux::ReleaseLocked() {
    for (auto& s : streams_) {
        av_packet_free(&s.packet);
        av_buffer_pool_uninit(&s.pool);
    }
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
    writeFailed_ = false;
    writeError_ = S_OK;
    lastWholePacketEnd_ = 0;
    sink_.Reset();
}
