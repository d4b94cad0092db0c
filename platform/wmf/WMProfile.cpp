#include "platform/wmf/WMProfile.h"

#include <algorithm>
#include <vector>

#include "platform/wmf/NameBuffer.h"
#include "platform/wmf/WMStreamConfig.h"

namespace {
HRESULT Hand(ComPtr<IWMStreamConfig> made, IWMStreamConfig** out) { return made.CopyTo(out); }
}  // namespace

WMProfile::WMProfile(ProfileDescription description) : description_(std::move(description)) {}

HRESULT WMProfile::GetVersion(WMT_VERSION* version) {
    if (!version) return E_POINTER;
    *version = description_.version;
    return S_OK;
}

HRESULT WMProfile::GetName(char* name, DWORD* length) { return CopyName(description_.name, name, length); }

HRESULT WMProfile::SetName(const char* name) {
    if (!name) return E_POINTER;
    description_.name = name;
    return S_OK;
}

HRESULT WMProfile::GetDescription(char* description, DWORD* length) {
    return CopyName(description_.description, description, length);
}

HRESULT WMProfile::SetDescription(const char* description) {
    if (!description) return E_POINTER;
    description_.description = description;
    return S_OK;
}

HRESULT WMProfile::GetStreamCount(DWORD* count) {
    if (!count) return E_POINTER;
    *count = static_cast<DWORD>(description_.streams.size());
    return S_OK;
}

HRESULT WMProfile::GetStream(DWORD index, IWMStreamConfig** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    if (index >= description_.streams.size()) return E_INVALIDARG;
    return Hand(MakeCom<WMStreamConfig>(description_.streams[index]), config);
}

HRESULT WMProfile::GetStreamByNumber(WORD number, IWMStreamConfig** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    for (const StreamDescription& s : description_.streams) {
        if (s.streamNumber == number) return Hand(MakeCom<WMStreamConfig>(s), config);
    }
    return ASF_E_NOTFOUND;
}

HRESULT WMProfile::RemoveStream(IWMStreamConfig* config) {
    if (!config) return E_POINTER;
    WORD number = 0;
    HRESULT hr = config->GetStreamNumber(&number);
    return FAILED(hr) ? hr : RemoveStreamByNumber(number);
}

HRESULT WMProfile::RemoveStreamByNumber(WORD number) {
    auto& streams = description_.streams;
    auto it = std::find_if(streams.begin(), streams.end(), [&](const StreamDescription& s) { return s.streamNumber == number; });
    if (it == streams.end()) return ASF_E_NOTFOUND;
    streams.erase(it);
    return S_OK;
}

HRESULT WMProfile::AddStream(IWMStreamConfig* config) {
    StreamDescription s;
    HRESULT hr = DescribeStream(config, &s);
    if (FAILED(hr)) return hr;
    if (s.streamNumber == 0 || s.streamNumber > profile_limits::kMaxStreamNumber) return NS_E_INVALIDPROFILE;
    for (const StreamDescription& existing : description_.streams) {
        if (existing.streamNumber == s.streamNumber) return NS_E_INVALIDPROFILE;
    }
    if (description_.streams.size() >= profile_limits::kMaxStreams) return NS_E_INVALIDPROFILE;
    description_.streams.push_back(std::move(s));
    return S_OK;
}

HRESULT WMProfile::ReconfigStream(IWMStreamConfig* config) {
    StreamDescription s;
    HRESULT hr = DescribeStream(config, &s);
    if (FAILED(hr)) return hr;
    for (StreamDescription& existing : description_.streams) {
        if (existing.streamNumber == s.streamNumber) {
            existing = std::move(s);
            return S_OK;
        }
    }
    return ASF_E_NOTFOUND;
}

HRESULT WMProfile::CreateNewStream(REFGUID type, IWMStreamConfig** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    if (type != WMMEDIATYPE_Audio && type != WMMEDIATYPE_Video) return E_INVALIDARG;
    StreamDescription s;
    s.majorType = type;
    s.type.majortype = type;
    return Hand(MakeCom<WMStreamConfig>(std::move(s)), config);
}

HRESULT WMProfile::GetProfileID(Guid* id) {
    if (!id) return E_POINTER;
    *id = description_.id;
    return S_OK;
}

HRESULT DescribeProfile(IWMProfile* profile, ProfileDescription* d) {
    if (!profile || !d) return E_POINTER;
    if (auto* own = dynamic_cast<WMProfile*>(profile)) {
        *d = own->Description();
        return S_OK;
    }
    *d = ProfileDescription();
    HRESULT hr = profile->GetVersion(&d->version);
    if (FAILED(hr)) return hr;
    for (auto [text, get] : {std::pair{&d->name, &IWMProfile::GetName}, std::pair{&d->description, &IWMProfile::GetDescription}}) {
        DWORD length = 0;
        hr = (profile->*get)(nullptr, &length);
        if (FAILED(hr)) return hr;
        if (length > profile_limits::kMaxNameLength + 1) return NS_E_INVALIDPROFILE;
        std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
        length = static_cast<DWORD>(buffer.size() - 1);
        hr = (profile->*get)(buffer.data(), &length);
        if (FAILED(hr)) return hr;
        text->assign(buffer.data());
    }
    if (ComPtr<IWMProfile2> withId = QueryAs<IWMProfile2>(profile)) withId->GetProfileID(&d->id);
    DWORD count = 0;
    hr = profile->GetStreamCount(&count);
    if (FAILED(hr)) return hr;
    if (count > profile_limits::kMaxStreams) return NS_E_INVALIDPROFILE;
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMStreamConfig> config;
        hr = profile->GetStream(i, config.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        StreamDescription s;
        hr = DescribeStream(config.Get(), &s);
        if (FAILED(hr)) return hr;
        d->streams.push_back(std::move(s));
    }
    return S_OK;
}
