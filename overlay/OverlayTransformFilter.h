#pragma once
// The overlay transform filter: passes 24-bit RGB frames through unchanged in type, size and
// timing, and draws the image, text and date overlays onto each copy. Configured through
// IOverlayConfig from the application's thread while frames stream through it; a configuration
// call holds the settings lock only for its field copy, and each frame draws from a snapshot
// taken the same way, so neither side waits on the other for longer than a copy.
#include <mutex>

#include "overlay/DateFormat.h"
#include "platform/contracts/OverlayConfig.h"
#include "overlay/OverlayParams.h"
#include "overlay/OverlayRenderer.h"
#include "platform/dshow/base/TransformFilter.h"
#include "platform/dshow/base/WithInterfaces.h"

class OverlayTransformFilter final : public WithInterfaces<TransformFilter, IOverlayConfig> {
public:
    // The date overlay reads the system clock.
    OverlayTransformFilter();
    explicit OverlayTransformFilter(OverlayClock clock);

    // TransformFilter
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

    // IOverlayConfig
    HRESULT GetTextPosition(int* x, int* y) override;
    HRESULT SetTextPosition(int x, int y) override;
    HRESULT SetDatePosition(int x, int y) override;
    HRESULT SetShowText(int flag) override;
    HRESULT SetText(const char* text) override;
    HRESULT GetText(char* buffer) override;
    HRESULT SetTextFont(const char* face, int size) override;
    HRESULT GetTextFont(char* face, int* size) override;
    HRESULT SetDateFont(const char* face, int size) override;
    HRESULT SetDateColor(int r, int g, int b) override;
    HRESULT SetTextColor(int r, int g, int b) override;
    HRESULT GetTextColor(int* r, int* g, int* b) override;
    HRESULT SetOutlineBackColor(int r, int g, int b) override;
    HRESULT SetOutlineBorderColor(int r, int g, int b) override;
    HRESULT SetTextureImage(const char* path) override;
    HRESULT SetHatchBrush(int style, int foreR, int foreG, int foreB, int backR, int backG, int backB) override;
    HRESULT SetDateFormat(int index) override;
    HRESULT SetDateFontStyle(int style) override;
    HRESULT SetTextFontStyle(int style) override;
    HRESULT SetTextStyle(int style) override;
    HRESULT GetImagePosition(int* x, int* y) override;
    HRESULT SetImagePosition(int x, int y) override;
    HRESULT SetShowImage(int flag) override;
    HRESULT SetShowDate(int flag) override;
    HRESULT SetImagePath(const char* path) override;
    HRESULT GetImagePath(char* buffer) override;
    HRESULT SetImageKey(int r, int g, int b, int alpha) override;
    HRESULT GetImageKey(int* r, int* g, int* b, int* alpha) override;
    HRESULT SetImageKeyEnabled(int flag) override;
    HRESULT GetImageKeyEnabled(int* flag) override;

    // The settings the next frame will be drawn with.
    OverlayParams Params() const;

private:
    ~OverlayTransformFilter() override = default;

    template <class Change>
    HRESULT Store(Change change) {
        std::lock_guard guard(paramsLock_);
        change(params_);
        return S_OK;
    }
    HRESULT StorePath(PathField OverlayParams::*field, const char* path);

    mutable std::mutex paramsLock_;
    OverlayParams params_;
    OverlayClock clock_;
    // Streaming thread only.
    OverlayRenderer renderer_;
};
