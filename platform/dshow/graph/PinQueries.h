#pragma once
// Questions asked about any pin, filter or graph through its interfaces only (it may come from
// another module): its pins, direction, owner, media types, connection and category.
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter);
PIN_DIRECTION DirectionOf(IPin* pin);
ComPtr<IBaseFilter> FilterOf(IPin* pin);
// The types the pin offers (EnumMediaTypes).
std::vector<AM_MEDIA_TYPE> TypesOf(IPin* pin);
ComPtr<IPin> PeerOf(IPin* pin);
bool IsConnected(IPin* pin);
// The pin category through IKsPropertySet; GUID_NULL for a pin without one.
Guid CategoryOf(IPin* pin);
// The connection type's major type, or (unconnected) whether any offered type has it.
bool OffersMajorType(IPin* pin, const Guid& major);
// Breaks the connection on both sides.
void DisconnectPair(IPin* pin);
// The graph's filters, collected first: removing filters while enumerating them would invalidate
// the enumeration.
std::vector<ComPtr<IBaseFilter>> FiltersOf(IFilterGraph* graph);
// The same object? (IUnknown identity)
bool SameObject(IUnknown* a, IUnknown* b);
