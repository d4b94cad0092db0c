#pragma once
// A profile object (IWMProfile, IWMProfile2) over a ProfileDescription.
#include "platform/com/ComObject.h"
#include "platform/wmf/ProfileDescription.h"

class WMProfile final : public ComObject<IWMProfile2> {
public:
    explicit WMProfile(ProfileDescription description);

    // IWMProfile
    HRESULT GetVersion(WMT_VERSION* version) override;
    HRESULT GetName(char* name, DWORD* length) override;
    HRESULT SetName(const char* name) override;
    HRESULT GetDescription(char* description, DWORD* length) override;
    HRESULT SetDescription(const char* description) override;
    HRESULT GetStreamCount(DWORD* count) override;
    HRESULT GetStream(DWORD index, IWMStreamConfig** config) override;
    HRESULT GetStreamByNumber(WORD number, IWMStreamConfig** config) override;
    HRESULT RemoveStream(IWMStreamConfig* config) override;
    HRESULT RemoveStreamByNumber(WORD number) override;
    HRESULT AddStream(IWMStreamConfig* config) override;
    HRESULT ReconfigStream(IWMStreamConfig* config) override;
    HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** config) override;
    // IWMProfile2
    HRESULT GetProfileID(Guid* id) override;

    const ProfileDescription& Description() const { return description_; }

private:
    ProfileDescription description_;
};

// The description of any IWMProfile, read through its interfaces (GUID_NULL as the id when it
// has no IWMProfile2).
HRESULT DescribeProfile(IWMProfile* profile, ProfileDescription* description);
