#pragma once
// Compressor filters over FFmpeg encoders.
//
// A video compressor takes uncompressed video (its encoder's own layout, or RGB24, RGB32, YUY2,
// UYVY or I420 that it converts) and gives the compressed type AVI writes: subtype and
// biCompression the compressor's FourCC, the encoder's private data after the bitmap header.
// An audio compressor takes 16-bit PCM and gives WAVEFORMATEX with the compressor's format tag,
// block alignment and private data (cbSize bytes after the header). Temporal encoders are run
// without reordering delay, so every frame in gives one frame out at the input's times; what an
// encoder still holds at end of stream is drained before the end is passed on.
//
// Threads: as every transform filter (Receive on the upstream streaming thread).
#include "platform/codecs/CompressorCatalog.h"
#include "platform/base/HResult.h"

struct IBaseFilter;
struct AM_MEDIA_TYPE;

HRESULT CreateCompressorFilter(const CompressorInfo& info, IBaseFilter** filter);
