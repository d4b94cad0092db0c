#include "platform/dshow/filters/NullRenderer.h"

#include "platform/dshow/Uuids.h"

NullRenderer::NullRenderer() : RendererFilter(CLSID_NullRenderer, "In") {}

HRESULT NullRenderer::RenderSample(IMediaSample*) {
    ++received_;
    return S_OK;
}

HRESULT NullRenderer::CheckMediaType(const AM_MEDIA_TYPE*) { return S_OK; }
