#include "platform/wmf/WMStreamConfig.h"

#include <vector>

#include "platform/wmf/NameBuffer.h"

WMStreamConfig::WMStreamConfig(StreamDescription description) : description_(std::move(description)) {}

HRESULT WMStreamConfig::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IWMVideoMediaProps && !description_.IsVideo()) {
        if (object) *object = nullptr;
        return object ? E_NOINTERFACE : E_POINTER;
    }
    return ComObject::QueryInterface(riid, object);
}

HRESULT WMStreamConfig::GetStreamType(Guid* type) {
    if (!type) return E_POINTER;
    *type = description_.majorType;
    return S_OK;
}

HRESULT WMStreamConfig::GetStreamNumber(WORD* number) {
    if (!number) return E_POINTER;
    *number = description_.streamNumber;
    return S_OK;
}

HRESULT WMStreamConfig::SetStreamNumber(WORD number) {
    if (number == 0 || number > profile_limits::kMaxStreamNumber) return E_INVALIDARG;
    description_.streamNumber = number;
    return S_OK;
}

HRESULT WMStreamConfig::GetStreamName(char* name, WORD* length) { return CopyName(description_.streamName, name, length); }

HRESULT WMStreamConfig::SetStreamName(const char* name) {
    if (!name) return E_POINTER;
    description_.streamName = name;
    return S_OK;
}

HRESULT WMStreamConfig::GetConnectionName(char* name, WORD* length) {
    return CopyName(description_.connectionName, name, length);
}

HRESULT WMStreamConfig::SetConnectionName(const char* name) {
    if (!name) return E_POINTER;
    description_.connectionName = name;
    return S_OK;
}

HRESULT WMStreamConfig::GetBitrate(DWORD* bitrate) {
    if (!bitrate) return E_POINTER;
    *bitrate = description_.bitrate;
    return S_OK;
}

HRESULT WMStreamConfig::SetBitrate(DWORD bitrate) {
    description_.bitrate = bitrate;
    return S_OK;
}

HRESULT WMStreamConfig::GetBufferWindow(DWORD* window) {
    if (!window) return E_POINTER;
    *window = description_.bufferWindow;
    return S_OK;
}

HRESULT WMStreamConfig::SetBufferWindow(DWORD window) {
    description_.bufferWindow = window;
    return S_OK;
}

HRESULT WMStreamConfig::GetType(Guid* type) { return GetStreamType(type); }

HRESULT WMStreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
    if (!size) return E_POINTER;
    DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + description_.type.cbFormat());
    if (!type) {
        *size = needed;
        return S_OK;
    }
    if (*size < needed) {
        *size = needed;
        return ASF_E_BUFFERTOOSMALL;
    }
    *type = description_.type;
    *size = needed;
    return S_OK;
}

HRESULT WMStreamConfig::SetMediaType(const WM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (type->majortype != description_.majorType) return E_INVALIDARG;
    description_.type = *type;
    return S_OK;
}

HRESULT WMStreamConfig::GetMaxKeyFrameSpacing(LONGLONG* spacing) {
    if (!spacing) return E_POINTER;
    *spacing = description_.maxKeyFrameSpacing;
    return S_OK;
}

HRESULT WMStreamConfig::SetMaxKeyFrameSpacing(LONGLONG spacing) {
    if (spacing < 0) return E_INVALIDARG;
    description_.maxKeyFrameSpacing = spacing;
    return S_OK;
}

HRESULT WMStreamConfig::GetQuality(DWORD* quality) {
    if (!quality) return E_POINTER;
    *quality = description_.quality;
    return S_OK;
}

HRESULT WMStreamConfig::SetQuality(DWORD quality) {
    if (quality > 100) return E_INVALIDARG;
    description_.quality = quality;
    return S_OK;
}

namespace {
template <class Getter>
HRESULT ReadName(Getter get, std::string* out) {
    WORD length = 0;
    HRESULT hr = get(nullptr, &length);
    if (FAILED(hr)) return hr;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    length = static_cast<WORD>(buffer.size() - 1);
    hr = get(buffer.data(), &length);
    if (FAILED(hr)) return hr;
    out->assign(buffer.data());
    return S_OK;
}
}  // namespace

HRESULT DescribeStream(IWMStreamConfig* config, StreamDescription* d) {
    if (!config || !d) return E_POINTER;
    if (auto* own = dynamic_cast<WMStreamConfig*>(config)) {
        *d = own->Description();
        return S_OK;
    }
    // Someone else's stream object: read it the way any caller would.
    HRESULT hr = config->GetStreamType(&d->majorType);
    if (SUCCEEDED(hr)) hr = config->GetStreamNumber(&d->streamNumber);
    if (SUCCEEDED(hr)) hr = config->GetBitrate(&d->bitrate);
    if (SUCCEEDED(hr)) hr = config->GetBufferWindow(&d->bufferWindow);
    if (SUCCEEDED(hr)) hr = ReadName([&](char* b, WORD* l) { return config->GetStreamName(b, l); }, &d->streamName);
    if (SUCCEEDED(hr)) hr = ReadName([&](char* b, WORD* l) { return config->GetConnectionName(b, l); }, &d->connectionName);
    if (FAILED(hr)) return hr;
    ComPtr<IWMMediaProps> props = QueryAs<IWMMediaProps>(config);
    if (!props) return E_NOINTERFACE;
    DWORD size = 0;
    hr = props->GetMediaType(nullptr, &size);
    if (SUCCEEDED(hr)) hr = props->GetMediaType(&d->type, &size);
    if (FAILED(hr)) return hr;
    if (ComPtr<IWMVideoMediaProps> video = QueryAs<IWMVideoMediaProps>(config)) {
        video->GetMaxKeyFrameSpacing(&d->maxKeyFrameSpacing);
        video->GetQuality(&d->quality);
    }
    return S_OK;
}
