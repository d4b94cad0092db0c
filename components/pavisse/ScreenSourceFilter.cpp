#include "components/pavisse/ScreenSourceFilter.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

#include "components/pavisse/ScreenGeometry.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/PixelConversion.h"

namespace {
constexpr size_t kDroppedInfoKept = 256;
constexpr LONG kMaxOutputDimension = 8192;
}  // namespace

// --- the pin ----------------------------------------------------------------------------------

ScreenSourcePin::ScreenSourcePin(ScreenSourceFilter* filter)
    : WithInterfaces(filter, "Capture", PIN_CATEGORY_CAPTURE), filter_(filter) {}

ScreenSourcePin::~ScreenSourcePin() { sws_freeContext(scaler_); }

HRESULT ScreenSourcePin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (*type == filter_->MediaType(MEDIASUBTYPE_RGB32) || *type == filter_->MediaType(MEDIASUBTYPE_RGB24)) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ScreenSourcePin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 1) return VFW_S_NO_MORE_ITEMS;
    // RGB32 first: it is what the screen holds, so an unscaled frame is a plain copy.
    *type = filter_->MediaType(position == 0 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24);
    return S_OK;
}

HRESULT ScreenSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    request->cBuffers = std::max<LONG>(request->cBuffers, 3);
    request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(CurrentMediaType().lSampleSize));
    return SourcePin::DecideBufferSize(allocator, request);
}

HRESULT ScreenSourcePin::Active() {
    if (IsConnected()) {
        ScreenSourceFilter::Settings settings = filter_->Current();
        if (!grabber_.Open(settings.displayName)) {
            filter_->SetError(grabber_.Error());
            return E_FAIL;
        }
        filter_->SetError({});
        nextFrame_ = 0;
        dropped_ = 0;
        delivered_ = 0;
        bytesDelivered_ = 0;
        std::lock_guard lock(droppedLock_);
        droppedFrames_.clear();
    }
    HRESULT hr = SourcePin::Active();
    if (FAILED(hr)) grabber_.Close();
    return hr;
}

HRESULT ScreenSourcePin::Inactive() {
    HRESULT hr = SourcePin::Inactive();
    grabber_.Close();  // the streaming thread has ended
    return hr;
}

HRESULT ScreenSourcePin::FillBuffer(IMediaSample* sample) {
    const ScreenSourceFilter::Settings settings = filter_->Current();
    const REFERENCE_TIME interval = settings.interval;
    uint64_t n = nextFrame_;
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(n) * interval;
    HRESULT hr = WaitForStreamTime(start);
    if (hr != S_OK) return hr;
    REFERENCE_TIME now = 0;
    if (SUCCEEDED(filter_->StreamTime(&now)) && now >= start + interval) {
        // Frames whose whole interval has passed are gone; the next one is taken on time.
        const uint64_t missed = static_cast<uint64_t>((now - start) / interval);
        {
            std::lock_guard lock(droppedLock_);
            for (uint64_t k = 0; k < missed && droppedFrames_.size() < kDroppedInfoKept; ++k)
                droppedFrames_.push_back(static_cast<LONG>(n + k));
        }
        dropped_ += static_cast<LONG>(missed);
        n += missed;
        start = static_cast<REFERENCE_TIME>(n) * interval;
    }

    const RECT rect = filter_->FittedRect(grabber_.ScreenWidth(), grabber_.ScreenHeight());
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!grabber_.Grab(rect.left, rect.top, width, height, settings.cursor)) {
        filter_->SetError(grabber_.Error());
        return E_FAIL;
    }
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const AM_MEDIA_TYPE& type = CurrentMediaType();
    if (static_cast<LONG>(type.lSampleSize) > sample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    hr = Convert(grabber_.Pixels(), grabber_.Stride(), width, height, data);
    if (FAILED(hr)) return hr;
    REFERENCE_TIME stop = start + interval;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetActualDataLength(static_cast<LONG>(type.lSampleSize));
    nextFrame_ = n + 1;
    ++delivered_;
    bytesDelivered_ += type.lSampleSize;
    return S_OK;
}

HRESULT ScreenSourcePin::Convert(const uint8_t* pixels, int stride, int width, int height, BYTE* out) {
    const AM_MEDIA_TYPE& type = CurrentMediaType();
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    const int outWidth = vih->bmiHeader.biWidth;
    const int outHeight = vih->bmiHeader.biHeight;
    const bool rgb32 = type.subtype == MEDIASUBTYPE_RGB32;
    const int outStride = DibStride(outWidth, rgb32 ? 32 : 24);
    if (rgb32 && width == outWidth && height == outHeight) {
        // The common case: the rows turned bottom-up, nothing else.
        for (int y = 0; y < height; ++y)
            std::memcpy(out + static_cast<ptrdiff_t>(outHeight - 1 - y) * outStride,
                        pixels + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(width) * 4);
        return S_OK;
    }
    const uint8_t* source[4] = {pixels, nullptr, nullptr, nullptr};
    const int sourceStride[4] = {stride, 0, 0, 0};
    uint8_t* target[4] = {out + static_cast<ptrdiff_t>(outHeight - 1) * outStride, nullptr, nullptr, nullptr};
    const int targetStride[4] = {-outStride, 0, 0, 0};
    if (!rgb32 && width == outWidth && height == outHeight &&
        ConvertPixelsDirect(AV_PIX_FMT_BGRA, source, sourceStride, AV_PIX_FMT_BGR24, target, targetStride, width, height))
        return S_OK;
    scaler_ = sws_getCachedContext(scaler_, width, height, AV_PIX_FMT_BGRA, outWidth, outHeight,
                                   rgb32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr,
                                   nullptr);
    if (!scaler_) return E_OUTOFMEMORY;
    sws_scale(scaler_, source, sourceStride, 0, height, target, targetStride);
    return S_OK;
}

HRESULT ScreenSourcePin::GetNumDropped(LONG* dropped) {
    if (!dropped) return E_POINTER;
    *dropped = dropped_;
    return S_OK;
}

HRESULT ScreenSourcePin::GetNumNotDropped(LONG* notDropped) {
    if (!notDropped) return E_POINTER;
    *notDropped = delivered_;
    return S_OK;
}

HRESULT ScreenSourcePin::GetDroppedInfo(LONG size, LONG* frames, LONG* copied) {
    if (!frames || !copied) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    std::lock_guard lock(droppedLock_);
    const LONG n = std::min<LONG>(size, static_cast<LONG>(droppedFrames_.size()));
    std::copy_n(droppedFrames_.begin(), n, frames);
    *copied = n;
    return S_OK;
}

HRESULT ScreenSourcePin::GetAverageFrameSize(LONG* averageSize) {
    if (!averageSize) return E_POINTER;
    const LONG count = delivered_;
    *averageSize = count > 0 ? static_cast<LONG>(bytesDelivered_ / count) : 0;
    return S_OK;
}

// --- the filter -------------------------------------------------------------------------------

ScreenSourceFilter::ScreenSourceFilter() : WithInterfaces(CLSID_ScreenSource) {
    pin_ = AddPin(std::make_unique<ScreenSourcePin>(this));
}

ScreenSourceFilter::Settings ScreenSourceFilter::Current() const {
    std::lock_guard lock(configLock_);
    return settings_;
}

AM_MEDIA_TYPE ScreenSourceFilter::MediaType(const Guid& subtype) const {
    Settings s = Current();
    return MakeVideoType(subtype, s.width, s.height, s.interval);
}

RECT ScreenSourceFilter::FittedRect(LONG screenWidth, LONG screenHeight) {
    std::lock_guard lock(configLock_);
    fitted_ = FitRectToScreen(settings_.requested, screenWidth, screenHeight);
    return fitted_;
}

void ScreenSourceFilter::SetError(std::string text) {
    std::lock_guard lock(configLock_);
    lastError_ = std::move(text);
}

HRESULT ScreenSourceFilter::SetDisplayName(const char* name) {
    std::lock_guard lock(configLock_);
    settings_.displayName = name ? name : "";
    return S_OK;
}

HRESULT ScreenSourceFilter::GetScreenSize(LONG* width, LONG* height) {
    if (!width || !height) return E_POINTER;
    X11ScreenGrabber probe;
    if (!probe.Open(Current().displayName)) {
        SetError(probe.Error());
        return E_FAIL;
    }
    *width = probe.ScreenWidth();
    *height = probe.ScreenHeight();
    return S_OK;
}

HRESULT ScreenSourceFilter::SetSourceRect(const RECT* rect) {
    if (!rect) return E_POINTER;
    std::lock_guard lock(configLock_);
    settings_.requested = *rect;
    return S_OK;
}

HRESULT ScreenSourceFilter::GetSourceRect(RECT* rect) {
    if (!rect) return E_POINTER;
    std::lock_guard lock(configLock_);
    *rect = fitted_;
    return S_OK;
}

HRESULT ScreenSourceFilter::SetOutputSize(LONG width, LONG height) {
    if (width < 2 || height < 2 || width > kMaxOutputDimension || height > kMaxOutputDimension || width % 2 ||
        height % 2)
        return E_INVALIDARG;
    if (pin_->IsConnected()) return VFW_E_ALREADY_CONNECTED;
    std::lock_guard lock(configLock_);
    settings_.width = width;
    settings_.height = height;
    return S_OK;
}

HRESULT ScreenSourceFilter::SetFrameInterval(REFERENCE_TIME interval) {
    if (interval < UNITS / 120 || interval > UNITS) return E_INVALIDARG;
    if (pin_->IsConnected()) return VFW_E_ALREADY_CONNECTED;
    std::lock_guard lock(configLock_);
    settings_.interval = interval;
    return S_OK;
}

HRESULT ScreenSourceFilter::SetCaptureCursor(BOOL capture) {
    std::lock_guard lock(configLock_);
    settings_.cursor = capture != FALSE;
    return S_OK;
}

HRESULT ScreenSourceFilter::GetLastError(std::string* text) {
    if (!text) return E_POINTER;
    std::lock_guard lock(configLock_);
    *text = lastError_;
    return S_OK;
}
