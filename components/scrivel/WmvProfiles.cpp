#include "components/scrivel/WmvProfiles.h"

#include <filesystem>
#include <fstream>

#include "platform/com/ComPtr.h"
#include "platform/wmf/SystemProfiles.h"

namespace {
constexpr std::uintmax_t kMaxProfileFileBytes = 1 << 20;
constexpr HRESULT kPathNotFound = MakeHResult(0x80070003);
}  // namespace

std::vector<const ProfileDescription*> AudioVideoSystemProfiles() {
    std::vector<const ProfileDescription*> found;
    for (const ProfileDescription& profile : SystemProfiles(WMT_VER_8_0)) {
        int audio = 0, video = 0;
        for (const StreamDescription& stream : profile.streams) {
            audio += stream.IsAudio();
            video += stream.IsVideo();
        }
        if (audio == 1 && video == 1) found.push_back(&profile);
    }
    return found;
}

ProfileDescription ProfileForSize(const ProfileDescription& profile, LONG width, LONG height,
                                  REFERENCE_TIME frameInterval) {
    ProfileDescription sized = profile;
    for (StreamDescription& stream : sized.streams)
        if (stream.IsVideo()) stream.type = MakeWmvType(width, height, frameInterval, stream.bitrate);
    return sized;
}

HRESULT LoadProfileFile(const std::string& path, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    std::error_code error;
    // Only a regular file: a FIFO or a device would hang or never end.
    if (!std::filesystem::is_regular_file(path, error)) return kPathNotFound;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxProfileFileBytes) return NS_E_INVALIDPROFILE;
    std::ifstream in(path, std::ios::binary);
    if (!in) return E_ACCESSDENIED;
    // Zero units beyond the content terminate the text (an odd size gets one more byte).
    std::vector<WCHAR> text(static_cast<size_t>(size) / 2 + 2, 0);
    in.read(reinterpret_cast<char*>(text.data()), static_cast<std::streamsize>(size));
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    return manager->LoadProfileByData(text.data(), profile);
}
