#include "platform/dshow/base/BasePin.h"

#include <cstring>
#include <vector>

#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/Enumerators.h"

namespace {
void CopyName(char* target, size_t size, const std::string& name) {
    size_t n = name.size() < size - 1 ? name.size() : size - 1;
    std::memcpy(target, name.data(), n);
    target[n] = '\0';
}
}  // namespace

BasePin::BasePin(BaseFilter* filter, const char* name, PIN_DIRECTION direction)
    : filter_(filter), name_(name ? name : ""), direction_(direction) {}

BasePin::~BasePin() = default;

HRESULT BasePin::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    void* found = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPin) {
        found = static_cast<IPin*>(this);
    } else {
        found = QueryExtraInterface(riid);
    }
    if (!found) return E_NOINTERFACE;
    *object = found;
    AddRef();
    return S_OK;
}

ULONG BasePin::AddRef() { return filter_->AddRef(); }

ULONG BasePin::Release() { return filter_->Release(); }

void* BasePin::QueryExtraInterface(REFIID) { return nullptr; }

bool BasePin::FilterStopped() const { return filter_->State() == State_Stopped; }

HRESULT BasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (!receivePin) return E_POINTER;
    if (direction_ != PINDIR_OUTPUT) return E_UNEXPECTED;
    std::lock_guard lock(filter_->FilterLock());
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (!FilterStopped()) return VFW_E_NOT_STOPPED;
    return AgreeMediaType(receivePin, type);
}

HRESULT BasePin::AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (type && IsFullySpecified(*type)) return AttemptConnection(receivePin, *type);
    // The receiving pin's preferences first, then ours.
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int round = 0; round < 2; ++round) {
        ComPtr<IEnumMediaTypes> types;
        HRESULT hr = round == 0 ? receivePin->EnumMediaTypes(types.ReleaseAndGetAddressOf())
                                : EnumMediaTypes(types.ReleaseAndGetAddressOf());
        if (FAILED(hr) || !types) continue;
        hr = TryMediaTypes(receivePin, type, types.Get());
        if (SUCCEEDED(hr)) return S_OK;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES) last = hr;
    }
    return last == VFW_E_TYPE_NOT_ACCEPTED ? VFW_E_NO_ACCEPTABLE_TYPES : last;
}

HRESULT BasePin::TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* pattern, IEnumMediaTypes* types) {
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    AM_MEDIA_TYPE candidate;
    ULONG fetched = 0;
    while (types->Next(1, &candidate, &fetched) == S_OK && fetched == 1) {
        if (pattern && !MediaTypeMatches(candidate, *pattern)) continue;
        HRESULT hr = AttemptConnection(receivePin, candidate);
        if (SUCCEEDED(hr)) return S_OK;
        // Keep the most telling failure: anything but a refused type.
        if (hr != VFW_E_TYPE_NOT_ACCEPTED && hr != E_FAIL && hr != S_FALSE) result = hr;
    }
    return result;
}

HRESULT BasePin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type) {
    HRESULT hr = CheckConnect(receivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(&type);
    if (hr != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    connected_ = receivePin;
    type_ = type;
    hr = SetMediaType(&type);
    if (SUCCEEDED(hr)) hr = receivePin->ReceiveConnection(this, &type);
    if (FAILED(hr)) {
        connected_.Reset();
        type_ = AM_MEDIA_TYPE();
        BreakConnect();
        return hr;
    }
    hr = CompleteConnect(receivePin);
    if (FAILED(hr)) {
        receivePin->Disconnect();
        connected_.Reset();
        type_ = AM_MEDIA_TYPE();
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT BasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type) return E_POINTER;
    if (direction_ != PINDIR_INPUT) return E_UNEXPECTED;
    std::lock_guard lock(filter_->FilterLock());
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (!FilterStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    connected_ = connector;
    type_ = *type;
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        connected_.Reset();
        type_ = AM_MEDIA_TYPE();
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT BasePin::Disconnect() {
    std::lock_guard lock(filter_->FilterLock());
    if (!FilterStopped()) return VFW_E_NOT_STOPPED;
    if (!connected_) return S_FALSE;
    BreakConnect();
    connected_.Reset();
    type_ = AM_MEDIA_TYPE();
    return S_OK;
}

HRESULT BasePin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    std::lock_guard lock(filter_->FilterLock());
    *pin = nullptr;
    if (!connected_) return VFW_E_NOT_CONNECTED;
    return connected_.CopyTo(pin);
}

HRESULT BasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard lock(filter_->FilterLock());
    if (!connected_) {
        *type = AM_MEDIA_TYPE();
        return VFW_E_NOT_CONNECTED;
    }
    *type = type_;
    return S_OK;
}

HRESULT BasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = static_cast<IBaseFilter*>(filter_);
    info->dir = direction_;
    CopyName(info->achName, sizeof info->achName, name_);
    return S_OK;
}

HRESULT BasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = direction_;
    return S_OK;
}

HRESULT BasePin::QueryId(char* id, ULONG size) {
    if (!id || size == 0) return E_POINTER;
    if (name_.size() + 1 > size) return E_OUTOFMEMORY;
    CopyName(id, size, name_);
    return S_OK;
}

HRESULT BasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return CheckMediaType(type) == S_OK ? S_OK : S_FALSE;
}

HRESULT BasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    std::vector<AM_MEDIA_TYPE> list;
    for (int position = 0;; ++position) {
        AM_MEDIA_TYPE type;
        if (GetMediaType(position, &type) != S_OK) break;
        list.push_back(std::move(type));
    }
    *types = MakeCom<MediaTypeEnumerator>(std::move(list)).Detach();
    return S_OK;
}

HRESULT BasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT BasePin::EndOfStream() { return S_OK; }
HRESULT BasePin::BeginFlush() { return S_OK; }
HRESULT BasePin::EndFlush() { return S_OK; }

HRESULT BasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    segmentStart_ = start;
    segmentStop_ = stop;
    segmentRate_ = rate;
    return S_OK;
}

HRESULT BasePin::GetMediaType(int position, AM_MEDIA_TYPE*) {
    return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT BasePin::SetMediaType(const AM_MEDIA_TYPE*) { return S_OK; }

HRESULT BasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION other;
    HRESULT hr = pin->QueryDirection(&other);
    if (FAILED(hr)) return hr;
    return other == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT BasePin::BreakConnect() { return S_OK; }
HRESULT BasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT BasePin::Active() { return S_OK; }
HRESULT BasePin::Inactive() { return S_OK; }
HRESULT BasePin::Run(REFERENCE_TIME) { return S_OK; }
void BasePin::Paused() {}
