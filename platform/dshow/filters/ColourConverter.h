#pragma once
// The colour converter (CLSID_Colour): converts between the uncompressed video subtypes (RGB24,
// RGB32, RGB555, RGB565, YUY2, UYVY, YVYU, I420/IYUV, YV12, NV12) and decodes motion JPEG, at
// the same picture size. Intelligent connect inserts it where a source and a consumer disagree
// (a YUY2 camera before an RGB24-only filter, an RGB24 frame before a compressor that wants
// I420). Conversion is libswscale; decoding is FFmpeg's MJPEG decoder. After the first frame no
// memory is allocated per frame.
#include <memory>
#include <vector>

#include "platform/dshow/base/TransformFilter.h"

struct SwsContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVBufferPool;

class ColourConverter final : public TransformFilter {
public:
    ColourConverter();

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;

    // The subtypes it converts from (besides MJPG) and to, in its order of preference.
    static const std::vector<Guid>& Subtypes();

protected:
    ~ColourConverter() override;

private:
    HRESULT Convert(int sourceFormat, int width, int height, const uint8_t* const* planes,
                    const int* strides, IMediaSample* out);
    HRESULT Decode(IMediaSample* in, IMediaSample* out);
    void FreeResources();

    SwsContext* sws_ = nullptr;
    int swsFormat_ = -1;
    int swsWidth_ = 0;
    int swsHeight_ = 0;
    AVCodecContext* decoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVBufferPool* packetPool_ = nullptr;
    int packetPoolSize_ = 0;
};
