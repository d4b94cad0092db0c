// LoadProfileByData on arbitrary bytes taken as a UTF-16 text (as a .prx file is read), then a
// walk of whatever profile it accepted, as the session walks profiles.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/wmf/WmfInterfaces.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2 + 1, u'\0');
    if (size >= 2) std::memcpy(text.data(), data, size - size % 2);
    ComPtr<IWMProfileManager> manager;
    if (FAILED(WMCreateProfileManager(manager.ReleaseAndGetAddressOf()))) return 0;
    ComPtr<IWMProfile> profile;
    if (FAILED(manager->LoadProfileByData(text.c_str(), profile.ReleaseAndGetAddressOf()))) return 0;
    DWORD count = 0;
    profile->GetStreamCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMStreamConfig> stream;
        if (FAILED(profile->GetStream(i, stream.ReleaseAndGetAddressOf()))) __builtin_trap();
        ComPtr<IWMMediaProps> props = QueryAs<IWMMediaProps>(stream.Get());
        DWORD typeSize = 0;
        if (!props || FAILED(props->GetMediaType(nullptr, &typeSize))) __builtin_trap();
        WM_MEDIA_TYPE type;
        if (FAILED(props->GetMediaType(&type, &typeSize))) __builtin_trap();
        // An accepted profile always carries a complete format block of its kind.
        if (!type.VideoInfo() && !type.WaveFormat()) __builtin_trap();
    }
    DWORD length = 0;
    profile->GetName(nullptr, &length);
    std::string name(length, '\0');
    profile->GetName(name.data(), &length);
    return 0;
}
