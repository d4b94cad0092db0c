#pragma once
// The profile manager (IWMProfileManager2): system profiles by index or identifier, profiles
// from .prx text, empty profiles. Created by WMCreateProfileManager (WmfInterfaces.h).
#include "platform/com/ComObject.h"
#include "platform/wmf/WmfInterfaces.h"

class ProfileManager final : public ComObject<IWMProfileManager2> {
public:
    HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
    HRESULT LoadProfileByID(REFGUID id, IWMProfile** profile) override;
    HRESULT LoadProfileByData(const WCHAR* profileText, IWMProfile** profile) override;
    HRESULT GetSystemProfileCount(DWORD* count) override;
    HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile) override;
    HRESULT GetSystemProfileVersion(WMT_VERSION* version) override;
    HRESULT SetSystemProfileVersion(WMT_VERSION version) override;

private:
    WMT_VERSION version_ = WMT_VER_8_0;
};
