#include "platform/dshow/filters/VideoRenderer.h"

#include <QWidget>

#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/VideoOwner.h"
#include "platform/dshow/filters/VideoWidget.h"
#include "platform/dshow/filters/VideoWindowState.h"

VideoRenderer::VideoRenderer()
    : WithInterfaces(CLSID_VideoRenderer, "Input"), state_(std::make_shared<VideoWindowState>()) {}

VideoRenderer::~VideoRenderer() {
    RunOnUiThread([state = state_] {
        QWidget* widget = nullptr;
        {
            std::lock_guard lock(state->lock);
            widget = state->widget.data();
            state->widget.clear();
            state->frame.Reset();
        }
        std::unique_ptr<QWidget> doomed(widget);
    });
    std::lock_guard lock(state_->lock);
    state_->frame.Reset();
}

void VideoRenderer::Sync() {
    RunOnUiThread([state = state_] { ApplyWindowState(state); });
}

QWidget* VideoRenderer::Widget() const {
    std::lock_guard lock(state_->lock);
    return state_->widget.data();
}

uint64_t VideoRenderer::FramesReceived() const {
    std::lock_guard lock(state_->lock);
    return state_->received;
}

uint64_t VideoRenderer::FramesDropped() const {
    std::lock_guard lock(state_->lock);
    return state_->dropped;
}

uint64_t VideoRenderer::FramesPainted() const {
    std::lock_guard lock(state_->lock);
    return state_->painted;
}

HRESULT VideoRenderer::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type->majortype != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
    if (type->subtype != MEDIASUBTYPE_RGB24 && type->subtype != MEDIASUBTYPE_RGB32) return VFW_E_TYPE_NOT_ACCEPTED;
    const VIDEOINFOHEADER* vih = type->VideoInfo();
    if (!vih) return VFW_E_TYPE_NOT_ACCEPTED;
    const BITMAPINFOHEADER& bmi = vih->bmiHeader;
    if (bmi.biWidth <= 0 || bmi.biHeight == 0 || bmi.biCompression != BI_RGB) return VFW_E_TYPE_NOT_ACCEPTED;
    if (bmi.biBitCount != (type->subtype == MEDIASUBTYPE_RGB24 ? 24 : 32)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT VideoRenderer::SetMediaType(const AM_MEDIA_TYPE* type) {
    const VIDEOINFOHEADER* vih = type->VideoInfo();
    if (!vih) return VFW_E_TYPE_NOT_ACCEPTED;
    {
        std::lock_guard lock(state_->lock);
        const BITMAPINFOHEADER& bmi = vih->bmiHeader;
        state_->videoWidth = bmi.biWidth;
        state_->videoHeight = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
        state_->bottomUp = bmi.biHeight > 0;
        state_->bitCount = bmi.biBitCount;
        state_->stride = DibStride(bmi.biWidth, bmi.biBitCount);
        state_->avgTimePerFrame = vih->AvgTimePerFrame;
        state_->defaultSource = true;
        if (!state_->sizeSet) {
            state_->window.right = state_->window.left + state_->videoWidth;
            state_->window.bottom = state_->window.top + state_->videoHeight;
        }
    }
    Sync();
    return S_OK;
}

void VideoRenderer::BreakConnect() {
    std::lock_guard lock(state_->lock);
    state_->frame.Reset();
    state_->still.clear();
    state_->videoWidth = state_->videoHeight = 0;
}

HRESULT VideoRenderer::RenderSample(IMediaSample* sample) {
    bool post = false;
    {
        std::lock_guard lock(state_->lock);
        ++state_->received;
        if (state_->updateQueued && state_->frame) ++state_->dropped;
        state_->frame = sample;
        state_->still.clear();
        if (!state_->updateQueued && state_->widget) {
            state_->updateQueued = true;
            post = true;
        }
    }
    if (post) {
        RunOnUiThread([state = state_] {
            VideoWidget* widget = nullptr;
            {
                std::lock_guard lock(state->lock);
                widget = state->widget.data();
                if (!widget) state->updateQueued = false;
            }
            if (widget) widget->update();
        });
    }
    return S_OK;
}

HRESULT VideoRenderer::Pause() {
    std::lock_guard lock(FilterLock());
    bool starting = State() == State_Stopped;
    HRESULT hr = RendererFilter::Pause();
    if (SUCCEEDED(hr) && starting) {
        bool show = false;
        {
            std::lock_guard guard(state_->lock);
            if (state_->autoShow && !state_->visible) show = state_->visible = true;
        }
        if (show) Sync();
    }
    return hr;
}

HRESULT VideoRenderer::Stop() {
    HRESULT hr = RendererFilter::Stop();
    std::lock_guard lock(state_->lock);
    if (state_->frame) {
        BYTE* data = nullptr;
        if (SUCCEEDED(state_->frame->GetPointer(&data))) {
            state_->still.assign(data, data + state_->frame->GetActualDataLength());
        }
        state_->frame.Reset();
    }
    return hr;
}

HRESULT VideoRenderer::SetOwnerWidget(QWidget* owner) { return put_Owner(RegisterVideoOwner(owner)); }

// IVideoWindow

HRESULT VideoRenderer::put_Caption(const char* caption) {
    if (!caption) return E_POINTER;
    {
        std::lock_guard lock(state_->lock);
        state_->caption = caption;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Caption(std::string* caption) {
    if (!caption) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *caption = state_->caption;
    return S_OK;
}

HRESULT VideoRenderer::put_WindowStyle(LONG style) {
    {
        std::lock_guard lock(state_->lock);
        state_->style = style;
        if (style & VW_WS_VISIBLE) state_->visible = true;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(LONG* style) {
    if (!style) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *style = state_->style | (state_->visible ? VW_WS_VISIBLE : 0);
    return S_OK;
}

HRESULT VideoRenderer::put_AutoShow(LONG autoShow) {
    std::lock_guard lock(state_->lock);
    state_->autoShow = autoShow != OAFALSE;
    return S_OK;
}

HRESULT VideoRenderer::get_AutoShow(LONG* autoShow) {
    if (!autoShow) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *autoShow = state_->autoShow ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT VideoRenderer::put_Visible(LONG visible) {
    {
        std::lock_guard lock(state_->lock);
        state_->visible = visible != OAFALSE;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Visible(LONG* visible) {
    if (!visible) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *visible = state_->visible ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT VideoRenderer::put_Left(LONG left) {
    {
        std::lock_guard lock(state_->lock);
        LONG width = state_->ClientWidth();
        state_->window.left = left;
        state_->window.right = left + width;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Left(LONG* left) {
    if (!left) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *left = state_->window.left;
    return S_OK;
}

HRESULT VideoRenderer::put_Width(LONG width) {
    if (width < 0) return E_INVALIDARG;
    {
        std::lock_guard lock(state_->lock);
        state_->window.right = state_->window.left + width;
        state_->sizeSet = true;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Width(LONG* width) {
    if (!width) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *width = state_->ClientWidth();
    return S_OK;
}

HRESULT VideoRenderer::put_Top(LONG top) {
    {
        std::lock_guard lock(state_->lock);
        LONG height = state_->ClientHeight();
        state_->window.top = top;
        state_->window.bottom = top + height;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Top(LONG* top) {
    if (!top) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *top = state_->window.top;
    return S_OK;
}

HRESULT VideoRenderer::put_Height(LONG height) {
    if (height < 0) return E_INVALIDARG;
    {
        std::lock_guard lock(state_->lock);
        state_->window.bottom = state_->window.top + height;
        state_->sizeSet = true;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Height(LONG* height) {
    if (!height) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *height = state_->ClientHeight();
    return S_OK;
}

HRESULT VideoRenderer::put_Owner(OAHWND owner) {
    {
        std::lock_guard lock(state_->lock);
        state_->owner = owner;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::get_Owner(OAHWND* owner) {
    if (!owner) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *owner = state_->owner;
    return S_OK;
}

HRESULT VideoRenderer::put_MessageDrain(OAHWND drain) {
    std::lock_guard lock(state_->lock);
    state_->drain = drain;
    return S_OK;
}

HRESULT VideoRenderer::get_MessageDrain(OAHWND* drain) {
    if (!drain) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *drain = state_->drain;
    return S_OK;
}

HRESULT VideoRenderer::get_BorderColor(LONG* color) {
    if (!color) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *color = state_->borderColor;
    return S_OK;
}

HRESULT VideoRenderer::put_BorderColor(LONG color) {
    {
        std::lock_guard lock(state_->lock);
        state_->borderColor = color;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::SetWindowForeground(LONG focus) {
    if (focus != OATRUE && focus != OAFALSE) return E_INVALIDARG;
    {
        std::lock_guard lock(state_->lock);
        state_->foreground = focus == OATRUE;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
    if (width < 0 || height < 0) return E_INVALIDARG;
    {
        std::lock_guard lock(state_->lock);
        state_->window = RECT{left, top, left + width, top + height};
        state_->sizeSet = true;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    if (!left || !top || !width || !height) return E_POINTER;
    std::lock_guard lock(state_->lock);
    *left = state_->window.left;
    *top = state_->window.top;
    *width = state_->ClientWidth();
    *height = state_->ClientHeight();
    return S_OK;
}

// IBasicVideo2

HRESULT VideoRenderer::get_AvgTimePerFrame(REFTIME* seconds) {
    if (!seconds) return E_POINTER;
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard lock(state_->lock);
    *seconds = static_cast<double>(state_->avgTimePerFrame) / UNITS;
    return S_OK;
}

HRESULT VideoRenderer::get_VideoWidth(LONG* width) {
    if (!width) return E_POINTER;
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard lock(state_->lock);
    *width = state_->videoWidth;
    return S_OK;
}

HRESULT VideoRenderer::get_VideoHeight(LONG* height) {
    if (!height) return E_POINTER;
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard lock(state_->lock);
    *height = state_->videoHeight;
    return S_OK;
}

HRESULT VideoRenderer::SetSourcePosition(LONG left, LONG top, LONG width, LONG height) {
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    {
        std::lock_guard lock(state_->lock);
        if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > state_->videoWidth ||
            top + height > state_->videoHeight) {
            return E_INVALIDARG;
        }
        state_->source = RECT{left, top, left + width, top + height};
        state_->defaultSource = false;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    if (!left || !top || !width || !height) return E_POINTER;
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard lock(state_->lock);
    RECT r = state_->SourceRect();
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

HRESULT VideoRenderer::SetDefaultSourcePosition() {
    {
        std::lock_guard lock(state_->lock);
        state_->defaultSource = true;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) {
    if (width <= 0 || height <= 0) return E_INVALIDARG;
    {
        std::lock_guard lock(state_->lock);
        state_->destination = RECT{left, top, left + width, top + height};
        state_->defaultDestination = false;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    if (!left || !top || !width || !height) return E_POINTER;
    std::lock_guard lock(state_->lock);
    RECT r = state_->DestinationRect();
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

HRESULT VideoRenderer::SetDefaultDestinationPosition() {
    {
        std::lock_guard lock(state_->lock);
        state_->defaultDestination = true;
    }
    Sync();
    return S_OK;
}

HRESULT VideoRenderer::GetVideoSize(LONG* width, LONG* height) {
    if (!width || !height) return E_POINTER;
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard lock(state_->lock);
    *width = state_->videoWidth;
    *height = state_->videoHeight;
    return S_OK;
}

HRESULT VideoRenderer::IsUsingDefaultSource() {
    std::lock_guard lock(state_->lock);
    return state_->defaultSource ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::IsUsingDefaultDestination() {
    std::lock_guard lock(state_->lock);
    return state_->defaultDestination ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::GetPreferredAspectRatio(LONG* x, LONG* y) {
    if (!x || !y) return E_POINTER;
    if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard lock(state_->lock);
    *x = state_->videoWidth;
    *y = state_->videoHeight;
    return S_OK;
}
