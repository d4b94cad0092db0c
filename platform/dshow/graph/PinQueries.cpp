#include "platform/dshow/graph/PinQueries.h"

#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/Uuids.h"

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    if (!filter || FAILED(filter->EnumPins(e.ReleaseAndGetAddressOf())) || !e) return pins;
    ComPtr<IPin> pin;
    while (e->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) pins.push_back(pin);
    return pins;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
    PIN_DIRECTION dir = PINDIR_INPUT;
    pin->QueryDirection(&dir);
    return dir;
}

ComPtr<IBaseFilter> FilterOf(IPin* pin) {
    PIN_INFO info;
    if (!pin || FAILED(pin->QueryPinInfo(&info))) return nullptr;
    return info.pFilter;
}

std::vector<AM_MEDIA_TYPE> TypesOf(IPin* pin) {
    std::vector<AM_MEDIA_TYPE> types;
    ComPtr<IEnumMediaTypes> e;
    if (FAILED(pin->EnumMediaTypes(e.ReleaseAndGetAddressOf())) || !e) return types;
    AM_MEDIA_TYPE type;
    ULONG fetched = 0;
    while (e->Next(1, &type, &fetched) == S_OK && fetched == 1) types.push_back(type);
    return types;
}

ComPtr<IPin> PeerOf(IPin* pin) {
    ComPtr<IPin> peer;
    if (FAILED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf()))) return nullptr;
    return peer;
}

bool IsConnected(IPin* pin) { return PeerOf(pin) != nullptr; }

Guid CategoryOf(IPin* pin) {
    ComPtr<IKsPropertySet> props = QueryAs<IKsPropertySet>(pin);
    if (!props) return GUID_NULL;
    Guid category;
    DWORD returned = 0;
    if (FAILED(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category, &returned)) ||
        returned < sizeof category) {
        return GUID_NULL;
    }
    return category;
}

bool OffersMajorType(IPin* pin, const Guid& major) {
    AM_MEDIA_TYPE connected;
    if (SUCCEEDED(pin->ConnectionMediaType(&connected))) return connected.majortype == major;
    for (const auto& type : TypesOf(pin)) {
        if (type.majortype == major) return true;
    }
    return false;
}

void DisconnectPair(IPin* pin) {
    if (ComPtr<IPin> peer = PeerOf(pin)) peer->Disconnect();
    pin->Disconnect();
}

std::vector<ComPtr<IBaseFilter>> FiltersOf(IFilterGraph* graph) {
    std::vector<ComPtr<IBaseFilter>> filters;
    ComPtr<IEnumFilters> e;
    if (!graph || FAILED(graph->EnumFilters(e.ReleaseAndGetAddressOf())) || !e) return filters;
    ComPtr<IBaseFilter> f;
    while (e->Next(1, f.ReleaseAndGetAddressOf(), nullptr) == S_OK && f) filters.push_back(f);
    return filters;
}

bool SameObject(IUnknown* a, IUnknown* b) {
    if (a == b) return true;
    if (!a || !b) return false;
    return QueryAs<IUnknown>(a).Get() == QueryAs<IUnknown>(b).Get();
}
