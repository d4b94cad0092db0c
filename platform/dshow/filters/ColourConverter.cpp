#include "platform/dshow/filters/ColourConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/PixelConversion.h"
#include "platform/dshow/filters/PixelLayout.h"

namespace {
constexpr LONG kOutputBuffers = 3;

bool Contains(const std::vector<Guid>& list, const Guid& g) { return std::find(list.begin(), list.end(), g) != list.end(); }

LONG AbsHeight(const BITMAPINFOHEADER& h) { return h.biHeight < 0 ? -h.biHeight : h.biHeight; }
}  // namespace

const std::vector<Guid>& ColourConverter::Subtypes() {
    static const std::vector<Guid> subtypes = {
        MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_YUY2,   MEDIASUBTYPE_I420,
        MEDIASUBTYPE_UYVY,  MEDIASUBTYPE_YV12,  MEDIASUBTYPE_RGB565, MEDIASUBTYPE_RGB555,
        MEDIASUBTYPE_IYUV,  MEDIASUBTYPE_NV12,  MEDIASUBTYPE_YVYU,
    };
    return subtypes;
}

ColourConverter::ColourConverter() : TransformFilter(CLSID_Colour, "Input", "Output") {}

ColourConverter::~ColourConverter() { FreeResources(); }

void ColourConverter::FreeResources() {
    sws_freeContext(sws_);
    sws_ = nullptr;
    swsFormat_ = -1;
    avcodec_free_context(&decoder_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    av_buffer_pool_uninit(&packetPool_);
    packetPoolSize_ = 0;
}

HRESULT ColourConverter::CheckInputType(const AM_MEDIA_TYPE* in) {
    if (in->majortype != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
    const VIDEOINFOHEADER* vih = in->VideoInfo();
    if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0) return VFW_E_TYPE_NOT_ACCEPTED;
    if (in->subtype == MEDIASUBTYPE_MJPG) return S_OK;
    if (!Contains(Subtypes(), in->subtype) && in->subtype != MEDIASUBTYPE_ARGB32) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT ColourConverter::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) {
    HRESULT hr = CheckInputType(in);
    if (hr != S_OK) return hr;
    if (out->majortype != MEDIATYPE_Video || !Contains(Subtypes(), out->subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
    const VIDEOINFOHEADER* a = in->VideoInfo();
    const VIDEOINFOHEADER* b = out->VideoInfo();
    if (!b) return VFW_E_TYPE_NOT_ACCEPTED;
    // Same picture size; the converter does not scale.
    if (a->bmiHeader.biWidth != b->bmiHeader.biWidth || AbsHeight(a->bmiHeader) != AbsHeight(b->bmiHeader)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (b->bmiHeader.biBitCount != BitCountOfSubtype(out->subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT ColourConverter::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (!Input()->IsConnected()) return E_UNEXPECTED;
    const auto& subtypes = Subtypes();
    if (position >= static_cast<int>(subtypes.size())) return VFW_S_NO_MORE_ITEMS;
    const VIDEOINFOHEADER* in = Input()->CurrentMediaType().VideoInfo();
    *type = MakeVideoType(subtypes[static_cast<size_t>(position)], in->bmiHeader.biWidth, AbsHeight(in->bmiHeader),
                          in->AvgTimePerFrame);
    return S_OK;
}

HRESULT ColourConverter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!Input()->IsConnected()) return E_UNEXPECTED;
    const VIDEOINFOHEADER* out = Output()->CurrentMediaType().VideoInfo();
    if (!out) return E_UNEXPECTED;
    request->cBuffers = std::max(request->cBuffers, kOutputBuffers);
    request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(DibImageSize(out->bmiHeader)));
    if (request->cbAlign < 1) request->cbAlign = 16;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT ColourConverter::StartStreaming() {
    FreeResources();
    if (Input()->CurrentMediaType().subtype != MEDIASUBTYPE_MJPG) return S_OK;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    if (!codec) return VFW_E_NO_DECOMPRESSOR;
    decoder_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!decoder_ || !frame_ || !packet_) {
        FreeResources();
        return E_OUTOFMEMORY;
    }
    decoder_->thread_count = 1;
    if (avcodec_open2(decoder_, codec, nullptr) < 0) {
        FreeResources();
        return VFW_E_NO_DECOMPRESSOR;
    }
    return S_OK;
}

HRESULT ColourConverter::StopStreaming() {
    FreeResources();
    return S_OK;
}

HRESULT ColourConverter::Convert(int sourceFormat, int width, int height, const uint8_t* const* planes,
                                 const int* strides, IMediaSample* out) {
    const AM_MEDIA_TYPE& outType = Output()->CurrentMediaType();
    const VIDEOINFOHEADER* vih = outType.VideoInfo();
    if (!vih) return E_UNEXPECTED;
    BYTE* target = nullptr;
    HRESULT hr = out->GetPointer(&target);
    if (FAILED(hr)) return hr;
    PlaneLayout to;
    if (!LayOutPlanes(outType.subtype, vih->bmiHeader, target, out->GetSize(), &to)) return E_UNEXPECTED;
    const bool sameSize = width == vih->bmiHeader.biWidth && height == AbsHeight(vih->bmiHeader);
    if (!sameSize || !ConvertPixelsDirect(static_cast<AVPixelFormat>(sourceFormat), planes, strides,
                                          PixelFormatOfSubtype(outType.subtype), to.data, to.stride, width, height)) {
        if (!sws_ || swsFormat_ != sourceFormat || swsWidth_ != width || swsHeight_ != height) {
            sws_freeContext(sws_);
            sws_ = sws_getContext(width, height, static_cast<AVPixelFormat>(sourceFormat), vih->bmiHeader.biWidth,
                                  AbsHeight(vih->bmiHeader), PixelFormatOfSubtype(outType.subtype), SWS_BILINEAR,
                                  nullptr, nullptr, nullptr);
            if (!sws_) return E_FAIL;
            swsFormat_ = sourceFormat;
            swsWidth_ = width;
            swsHeight_ = height;
        }
        sws_scale(sws_, planes, strides, 0, height, to.data, to.stride);
    }
    out->SetActualDataLength(static_cast<LONG>(DibImageSize(vih->bmiHeader)));
    out->SetSyncPoint(TRUE);
    return S_OK;
}

HRESULT ColourConverter::Decode(IMediaSample* in, IMediaSample* out) {
    if (!decoder_) return E_UNEXPECTED;
    BYTE* data = nullptr;
    HRESULT hr = in->GetPointer(&data);
    if (FAILED(hr)) return hr;
    int length = in->GetActualDataLength();
    if (length <= 0) return S_FALSE;
    // The decoder reads a little past the end of the data: a padded copy from a reused pool.
    int needed = length + AV_INPUT_BUFFER_PADDING_SIZE;
    if (!packetPool_ || packetPoolSize_ < needed) {
        av_buffer_pool_uninit(&packetPool_);
        packetPoolSize_ = needed * 2;
        packetPool_ = av_buffer_pool_init(static_cast<size_t>(packetPoolSize_), nullptr);
        if (!packetPool_) return E_OUTOFMEMORY;
    }
    AVBufferRef* buffer = av_buffer_pool_get(packetPool_);
    if (!buffer) return E_OUTOFMEMORY;
    std::memcpy(buffer->data, data, static_cast<size_t>(length));
    std::memset(buffer->data + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    av_packet_unref(packet_);
    packet_->buf = buffer;
    packet_->data = buffer->data;
    packet_->size = length;
    int rc = avcodec_send_packet(decoder_, packet_);
    av_packet_unref(packet_);
    if (rc < 0) return S_FALSE;  // a broken frame is dropped, the stream goes on
    rc = avcodec_receive_frame(decoder_, frame_);
    if (rc < 0) return S_FALSE;
    hr = Convert(frame_->format, frame_->width, frame_->height, frame_->data, frame_->linesize, out);
    av_frame_unref(frame_);
    return hr;
}

HRESULT ColourConverter::Transform(IMediaSample* in, IMediaSample* out) {
    const AM_MEDIA_TYPE& inType = Input()->CurrentMediaType();
    if (inType.subtype == MEDIASUBTYPE_MJPG) return Decode(in, out);
    const VIDEOINFOHEADER* vih = inType.VideoInfo();
    BYTE* source = nullptr;
    HRESULT hr = in->GetPointer(&source);
    if (FAILED(hr)) return hr;
    PlaneLayout from;
    if (!LayOutPlanes(inType.subtype, vih->bmiHeader, source, in->GetActualDataLength(), &from)) {
        return S_FALSE;  // a short frame: dropped
    }
    return Convert(PixelFormatOfSubtype(inType.subtype), vih->bmiHeader.biWidth, AbsHeight(vih->bmiHeader), from.data,
                   from.stride, out);
}
