#pragma once
// The capture graph builder (CLSID_CaptureGraphBuilder2) on a filter graph:
//
// RenderStream picks the source pin: the pin itself, or the first unconnected output pin of the
// filter with that category and major type. A preview request on a filter without a preview pin
// puts a Smart Tee on its capture pin (or reuses the one there) and renders the tee's preview
// output (VFW_S_NOPREVIEWPIN); a capture request on a capture pin behind such a tee uses the
// tee's capture output. Source -> intermediate -> sink are connected with intelligent connect; a
// null sink renders to the default renderer.
//
// FindInterface asks the filter (unless a category is given), then walks downstream: each output
// pin (of the category and type, at the first level only), its peer pin, the peer's filter, and
// on from there; then upstream likewise. LOOK_UPSTREAM_ONLY / LOOK_DOWNSTREAM_ONLY as category
// restrict the walk. E_NOINTERFACE when no pin of the category exists, else E_FAIL.
//
// UI thread.
#include "platform/com/ComObject.h"
#include "platform/dshow/CaptureInterfaces.h"

class CaptureGraphBuilder final : public ComObject<ICaptureGraphBuilder2> {
public:
    HRESULT SetFiltergraph(IGraphBuilder* graph) override;
    HRESULT GetFiltergraph(IGraphBuilder** graph) override;
    HRESULT SetOutputFileName(const Guid* type, const char* file, IBaseFilter** mux, IFileSinkFilter** sink) override;
    HRESULT FindInterface(const Guid* category, const Guid* type, IBaseFilter* filter, REFIID riid,
                          void** object) override;
    HRESULT RenderStream(const Guid* category, const Guid* type, IUnknown* source, IBaseFilter* intermediate,
                         IBaseFilter* sink) override;
    HRESULT ControlStream(const Guid* category, const Guid* type, IBaseFilter* filter, REFERENCE_TIME* start,
                          REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override;
    HRESULT AllocCapFile(const char* file, LONGLONG size) override;
    HRESULT CopyCaptureFile(const char* oldFile, const char* newFile, int allowEscAbort, IUnknown* callback) override;
    HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const Guid* category, const Guid* type,
                    BOOL unconnected, int index, IPin** pin) override;

private:
    HRESULT EnsureGraph();
    HRESULT FindSourcePin(const Guid* category, const Guid* type, IBaseFilter* filter, ComPtr<IPin>* pin,
                          HRESULT* result);
    HRESULT ConnectToFilter(IPin* output, IBaseFilter* target);
    HRESULT ConnectFromFilter(IBaseFilter* from, IBaseFilter* target);

    ComPtr<IGraphBuilder> graph_;
};
