#include "overlay/OverlayTransformFilter.h"

#include <algorithm>
#include <cstring>

#include "overlay/SharedOverlayText.h"

namespace {
// A flag query answers S_OK or S_FALSE; anything else means the sample cannot be trusted.
HRESULT CopyFlag(HRESULT answer, IMediaSample* out, HRESULT (IMediaSample::*set)(BOOL)) {
    if (answer != S_OK && answer != S_FALSE) return E_UNEXPECTED;
    (out->*set)(answer == S_OK ? TRUE : FALSE);
    return S_OK;
}

// Step 1 of a frame: the input sample's properties onto the output sample.
HRESULT CopySampleProperties(IMediaSample* in, IMediaSample* out) {
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT hr = in->GetTime(&start, &stop);
    if (hr == S_OK) {
        out->SetTime(&start, &stop);
    } else if (hr == VFW_S_NO_STOP_TIME) {
        out->SetTime(&start, nullptr);
    }
    LONGLONG mediaStart = 0, mediaStop = 0;
    if (in->GetMediaTime(&mediaStart, &mediaStop) == S_OK) out->SetMediaTime(&mediaStart, &mediaStop);
    if (FAILED(hr = CopyFlag(in->IsSyncPoint(), out, &IMediaSample::SetSyncPoint))) return hr;
    AM_MEDIA_TYPE changed;
    if (in->GetMediaType(&changed) == S_OK) out->SetMediaType(&changed);
    if (FAILED(hr = CopyFlag(in->IsPreroll(), out, &IMediaSample::SetPreroll))) return hr;
    if (FAILED(hr = CopyFlag(in->IsDiscontinuity(), out, &IMediaSample::SetDiscontinuity))) return hr;
    // The output buffer is as large as the input's when the allocators agreed; never claim more
    // data than it holds.
    LONG length = std::clamp<LONG>(in->GetActualDataLength(), 0, std::max<LONG>(out->GetSize(), 0));
    out->SetActualDataLength(length);
    return S_OK;
}

template <class T>
HRESULT Read(T* out, T value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}
}  // namespace

OverlayTransformFilter::OverlayTransformFilter() : OverlayTransformFilter(SystemLocalTime) {}

OverlayTransformFilter::OverlayTransformFilter(OverlayClock clock)
    : WithInterfaces(CLSID_OverlayTransformFilter, "In", "Out"), clock_(std::move(clock)) {}

HRESULT OverlayTransformFilter::CheckInputType(const AM_MEDIA_TYPE* in) {
    if (!in) return E_POINTER;
    if (in->majortype != MEDIATYPE_Video || in->subtype != MEDIASUBTYPE_RGB24) return E_FAIL;
    if (in->formattype != FORMAT_VideoInfo) return E_INVALIDARG;
    // Frames are sized from the format block: a block too short to hold one cannot be used.
    if (!in->VideoInfo()) return E_INVALIDARG;
    return S_OK;
}

HRESULT OverlayTransformFilter::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) {
    if (!in || !out) return E_POINTER;
    return *in == *out ? S_OK : E_FAIL;
}

HRESULT OverlayTransformFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    TransformInputPin* input = Input();
    if (!input->IsConnected()) return E_UNEXPECTED;
    if (!allocator || !request) return E_POINTER;
    ComPtr<IMemAllocator> upstream = input->Allocator();
    if (!upstream) input->GetAllocator(upstream.ReleaseAndGetAddressOf());
    ALLOCATOR_PROPERTIES inProps;
    if (upstream) {
        HRESULT hr = upstream->GetProperties(&inProps);
        if (FAILED(hr)) return hr;
    }
    request->cBuffers = std::max<LONG>(inProps.cBuffers, 1);
    request->cbBuffer = inProps.cbBuffer;
    const AM_MEDIA_TYPE& type = input->CurrentMediaType();
    if (request->cbBuffer < 1) request->cbBuffer = static_cast<LONG>(type.lSampleSize);
    // A type without a sample size still says how large its frames are.
    if (request->cbBuffer < 1 && type.VideoInfo()) request->cbBuffer = static_cast<LONG>(DibImageSize(type.VideoInfo()->bmiHeader));
    if (request->cbAlign < 1) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer || actual.cbAlign < request->cbAlign)
        return E_FAIL;
    return S_OK;
}

HRESULT OverlayTransformFilter::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    TransformInputPin* input = Input();
    if (!input->IsConnected()) return E_UNEXPECTED;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (!type) return E_POINTER;
    *type = input->CurrentMediaType();
    return S_OK;
}

HRESULT OverlayTransformFilter::Transform(IMediaSample* in, IMediaSample* out) {
    if (!in || !out) return E_POINTER;
    HRESULT hr = CopySampleProperties(in, out);
    if (FAILED(hr)) return hr;
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    if (FAILED(hr = in->GetPointer(&source))) return hr;
    if (FAILED(hr = out->GetPointer(&target))) return hr;
    if (!source || !target) return E_POINTER;

    // The connection type changes only while stopped, when no frame is in here (stopping waits
    // for the receive in progress), so the streaming thread reads it without the filter lock.
    const VIDEOINFOHEADER* info = Input()->IsConnected() ? Input()->CurrentMediaType().VideoInfo() : nullptr;
    if (!info) return VFW_E_NOT_CONNECTED;
    std::optional<FrameLayout> layout = Rgb24Layout(info->bmiHeader.biWidth, info->bmiHeader.biHeight);
    const size_t inSize = static_cast<size_t>(std::max<LONG>(in->GetSize(), 0));
    const size_t outSize = static_cast<size_t>(std::max<LONG>(out->GetSize(), 0));
    const size_t length = static_cast<size_t>(std::max<LONG>(in->GetActualDataLength(), 0));
    CopyFrame(source, inSize, target, outSize, length, layout ? layout->ImageBytes() : 0);
    // A buffer smaller than its format says holds no picture to draw on; the copy is delivered.
    if (!layout || layout->ImageBytes() > std::min(inSize, outSize)) return S_OK;

    OverlayParams params = Params();
    if (!params.showText && !params.showImage && !params.showDate) return S_OK;
    OverlayTextBytes text{};
    if (params.showText) SharedOverlayText::CopyTo(text);
    LocalDateTime now;
    if (params.showDate) now = clock_();
    renderer_.Draw(target, *layout, params, text, now);
    return S_OK;
}

OverlayParams OverlayTransformFilter::Params() const {
    std::lock_guard guard(paramsLock_);
    return params_;
}

HRESULT OverlayTransformFilter::StorePath(PathField OverlayParams::*field, const char* path) {
    if (!path) return E_POINTER;
    PathField value;
    // A path that does not fit its field is refused whole rather than cut to another file's name.
    if (!value.Assign(path)) return E_INVALIDARG;
    return Store([&](OverlayParams& p) { p.*field = value; });
}

HRESULT OverlayTransformFilter::GetTextPosition(int* x, int* y) {
    if (!x || !y) return E_POINTER;
    OverlayParams p = Params();
    *x = p.textX;
    *y = p.textY;
    return S_OK;
}

HRESULT OverlayTransformFilter::SetTextPosition(int x, int y) {
    return Store([&](OverlayParams& p) {
        p.textX = x;
        p.textY = y;
    });
}

HRESULT OverlayTransformFilter::SetDatePosition(int x, int y) {
    return Store([&](OverlayParams& p) {
        p.dateX = x;
        p.dateY = y;
    });
}

HRESULT OverlayTransformFilter::SetShowText(int flag) {
    return Store([&](OverlayParams& p) { p.showText = static_cast<uint8_t>(flag); });
}

HRESULT OverlayTransformFilter::SetText(const char* text) {
    if (!text) return E_POINTER;
    SharedOverlayText::Set(text);
    return S_OK;
}

HRESULT OverlayTransformFilter::GetText(char* buffer) {
    if (!buffer) return E_POINTER;
    OverlayTextBytes text;
    SharedOverlayText::CopyTo(text);
    std::memcpy(buffer, text.data(), std::strlen(text.data()) + 1);
    return S_OK;
}

HRESULT OverlayTransformFilter::SetTextFont(const char* face, int size) {
    if (!face) return E_POINTER;
    PathField name;
    if (!name.Assign(face)) return E_INVALIDARG;
    return Store([&](OverlayParams& p) {
        p.textFontName = name;
        p.textFontSize = size;
    });
}

HRESULT OverlayTransformFilter::GetTextFont(char* face, int* size) {
    if (!face || !size) return E_POINTER;
    OverlayParams p = Params();
    std::memcpy(face, p.textFontName.bytes.data(), p.textFontName.View().size() + 1);
    *size = p.textFontSize;
    return S_OK;
}

HRESULT OverlayTransformFilter::SetDateFont(const char* face, int size) {
    if (!face) return E_POINTER;
    PathField name;
    if (!name.Assign(face)) return E_INVALIDARG;
    return Store([&](OverlayParams& p) {
        p.dateFontName = name;
        p.dateFontSize = size;
    });
}

HRESULT OverlayTransformFilter::SetDateColor(int r, int g, int b) {
    return Store([&](OverlayParams& p) { p.dateColor = Rgb::FromInts(r, g, b); });
}

HRESULT OverlayTransformFilter::SetTextColor(int r, int g, int b) {
    return Store([&](OverlayParams& p) { p.textColor = Rgb::FromInts(r, g, b); });
}

HRESULT OverlayTransformFilter::GetTextColor(int* r, int* g, int* b) {
    if (!r || !g || !b) return E_POINTER;
    Rgb c = Params().textColor;
    *r = c.r;
    *g = c.g;
    *b = c.b;
    return S_OK;
}

HRESULT OverlayTransformFilter::SetOutlineBackColor(int r, int g, int b) {
    return Store([&](OverlayParams& p) { p.outlineBackColor = Rgb::FromInts(r, g, b); });
}

HRESULT OverlayTransformFilter::SetOutlineBorderColor(int r, int g, int b) {
    return Store([&](OverlayParams& p) { p.outlineBorderColor = Rgb::FromInts(r, g, b); });
}

HRESULT OverlayTransformFilter::SetTextureImage(const char* path) {
    return StorePath(&OverlayParams::textureImagePath, path);
}

HRESULT OverlayTransformFilter::SetHatchBrush(int style, int foreR, int foreG, int foreB, int backR, int backG,
                                              int backB) {
    return Store([&](OverlayParams& p) {
        p.hatchStyle = style;
        p.hatchForeColor = Rgb::FromInts(foreR, foreG, foreB);
        p.hatchBackColor = Rgb::FromInts(backR, backG, backB);
    });
}

HRESULT OverlayTransformFilter::SetDateFormat(int index) {
    return Store([&](OverlayParams& p) { p.dateFormat = index; });
}

HRESULT OverlayTransformFilter::SetDateFontStyle(int style) {
    return Store([&](OverlayParams& p) { p.dateFontStyle = style; });
}

HRESULT OverlayTransformFilter::SetTextFontStyle(int style) {
    return Store([&](OverlayParams& p) { p.textFontStyle = style; });
}

HRESULT OverlayTransformFilter::SetTextStyle(int style) {
    return Store([&](OverlayParams& p) { p.textStyle = style; });
}

HRESULT OverlayTransformFilter::GetImagePosition(int* x, int* y) {
    if (!x || !y) return E_POINTER;
    OverlayParams p = Params();
    *x = p.imageX;
    *y = p.imageY;
    return S_OK;
}

HRESULT OverlayTransformFilter::SetImagePosition(int x, int y) {
    return Store([&](OverlayParams& p) {
        p.imageX = x;
        p.imageY = y;
    });
}

HRESULT OverlayTransformFilter::SetShowImage(int flag) {
    return Store([&](OverlayParams& p) { p.showImage = static_cast<uint8_t>(flag); });
}

HRESULT OverlayTransformFilter::SetShowDate(int flag) {
    return Store([&](OverlayParams& p) { p.showDate = static_cast<uint8_t>(flag); });
}

HRESULT OverlayTransformFilter::SetImagePath(const char* path) {
    return StorePath(&OverlayParams::imagePath, path);
}

HRESULT OverlayTransformFilter::GetImagePath(char* buffer) {
    if (!buffer) return E_POINTER;
    OverlayParams p = Params();
    std::memcpy(buffer, p.imagePath.bytes.data(), p.imagePath.View().size() + 1);
    return S_OK;
}

HRESULT OverlayTransformFilter::SetImageKey(int r, int g, int b, int alpha) {
    return Store([&](OverlayParams& p) {
        p.keyColor = Rgb::FromInts(r, g, b);
        p.imageAlpha = static_cast<uint8_t>(alpha);
    });
}

HRESULT OverlayTransformFilter::GetImageKey(int* r, int* g, int* b, int* alpha) {
    if (!r || !g || !b || !alpha) return E_POINTER;
    OverlayParams p = Params();
    *r = p.keyColor.r;
    *g = p.keyColor.g;
    *b = p.keyColor.b;
    *alpha = p.imageAlpha;
    return S_OK;
}

HRESULT OverlayTransformFilter::SetImageKeyEnabled(int flag) {
    return Store([&](OverlayParams& p) { p.keyEnabled = static_cast<uint8_t>(flag); });
}

HRESULT OverlayTransformFilter::GetImageKeyEnabled(int* flag) {
    // The flag is a signed byte (on when negative), read back as such: 0xFF reads as -1.
    return Read(flag, static_cast<int>(static_cast<int8_t>(Params().keyEnabled)));
}
