#include "platform/wmf/ProfileManager.h"

#include <string_view>

#include "platform/wmf/ProfileParser.h"
#include "platform/wmf/SystemProfiles.h"
#include "platform/wmf/WMProfile.h"

namespace {
HRESULT Hand(ComPtr<IWMProfile> made, IWMProfile** out) { return made.CopyTo(out); }
}  // namespace

HRESULT ProfileManager::CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ProfileDescription d;
    d.version = version;
    return Hand(MakeCom<WMProfile>(std::move(d)), profile);
}

HRESULT ProfileManager::LoadProfileByID(REFGUID id, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    const ProfileDescription* found = FindSystemProfile(id);
    if (!found) return NS_E_INVALIDPROFILE;
    return Hand(MakeCom<WMProfile>(*found), profile);
}

HRESULT ProfileManager::LoadProfileByData(const WCHAR* profileText, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    if (!profileText) return E_POINTER;
    // Bounded scan for the terminator: a text longer than any profile is refused unread.
    size_t length = 0;
    while (length <= kMaxProfileTextLength + 1 && profileText[length] != 0) ++length;
    if (length > kMaxProfileTextLength + 1) return NS_E_INVALIDPROFILE;
    ProfileDescription d;
    HRESULT hr = ParseProfileText(std::u16string_view(profileText, length), &d);
    if (FAILED(hr)) return hr;
    return Hand(MakeCom<WMProfile>(std::move(d)), profile);
}

HRESULT ProfileManager::GetSystemProfileCount(DWORD* count) {
    if (!count) return E_POINTER;
    *count = static_cast<DWORD>(SystemProfiles(version_).size());
    return S_OK;
}

HRESULT ProfileManager::LoadSystemProfile(DWORD index, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    const auto& list = SystemProfiles(version_);
    if (index >= list.size()) return E_INVALIDARG;
    return Hand(MakeCom<WMProfile>(list[index]), profile);
}

HRESULT ProfileManager::GetSystemProfileVersion(WMT_VERSION* version) {
    if (!version) return E_POINTER;
    *version = version_;
    return S_OK;
}

HRESULT ProfileManager::SetSystemProfileVersion(WMT_VERSION version) {
    if (version != WMT_VER_7_0 && version != WMT_VER_8_0) return E_INVALIDARG;
    version_ = version;
    return S_OK;
}

HRESULT WMCreateProfileManager(IWMProfileManager** manager) {
    if (!manager) return E_POINTER;
    *manager = nullptr;
    ComPtr<ProfileManager> created = MakeCom<ProfileManager>();
    return created->QueryInterface(IID_IWMProfileManager, reinterpret_cast<void**>(manager));
}
