#pragma once
// One stream of a profile (IWMStreamConfig, IWMMediaProps, and IWMVideoMediaProps for video):
// a copy of the stream's description that the caller may change and hand back to the profile.
#include "platform/com/ComObject.h"
#include "platform/wmf/ProfileDescription.h"

class WMStreamConfig final : public ComObject<IWMStreamConfig, IWMVideoMediaProps> {
public:
    explicit WMStreamConfig(StreamDescription description);

    // Video streams only answer IWMVideoMediaProps.
    HRESULT QueryInterface(REFIID riid, void** object) override;

    // IWMStreamConfig
    HRESULT GetStreamType(Guid* type) override;
    HRESULT GetStreamNumber(WORD* number) override;
    HRESULT SetStreamNumber(WORD number) override;
    HRESULT GetStreamName(char* name, WORD* length) override;
    HRESULT SetStreamName(const char* name) override;
    HRESULT GetConnectionName(char* name, WORD* length) override;
    HRESULT SetConnectionName(const char* name) override;
    HRESULT GetBitrate(DWORD* bitrate) override;
    HRESULT SetBitrate(DWORD bitrate) override;
    HRESULT GetBufferWindow(DWORD* window) override;
    HRESULT SetBufferWindow(DWORD window) override;
    // IWMMediaProps
    HRESULT GetType(Guid* type) override;
    HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
    HRESULT SetMediaType(const WM_MEDIA_TYPE* type) override;
    // IWMVideoMediaProps
    HRESULT GetMaxKeyFrameSpacing(LONGLONG* spacing) override;
    HRESULT SetMaxKeyFrameSpacing(LONGLONG spacing) override;
    HRESULT GetQuality(DWORD* quality) override;
    HRESULT SetQuality(DWORD quality) override;

    const StreamDescription& Description() const { return description_; }

private:
    StreamDescription description_;
};

// The description of any IWMStreamConfig, read through its interfaces.
HRESULT DescribeStream(IWMStreamConfig* config, StreamDescription* description);
