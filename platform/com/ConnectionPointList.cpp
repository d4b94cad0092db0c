#include "platform/com/ConnectionPointList.h"

#include <new>

#include "platform/com/EnumSnapshot.h"

namespace {
void CopyPoint(const ComPtr<IConnectionPoint>& from, IConnectionPoint** to) {
    from.CopyTo(to);
}
using PointEnum =
    EnumSnapshot<IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>, &CopyPoint>;
}  // namespace

ConnectionPointList::~ConnectionPointList() {
    for (const ComPtr<ConnectionPoint>& point : points_) {
        point->DetachOwner();
        point->UnadviseAll();
    }
}

ConnectionPoint& ConnectionPointList::Add(const IID& iid) {
    if (ConnectionPoint* existing = Find(iid)) return *existing;
    points_.push_back(MakeCom<ConnectionPoint>(iid, owner_));
    return *points_.back();
}

ConnectionPoint* ConnectionPointList::Find(const IID& iid) const {
    for (const ComPtr<ConnectionPoint>& point : points_) {
        if (point->Iid() == iid) return point.Get();
    }
    return nullptr;
}

HRESULT ConnectionPointList::FindConnectionPoint(REFIID iid, IConnectionPoint** point) const {
    if (!point) return E_POINTER;
    *point = nullptr;
    ConnectionPoint* found = Find(iid);
    if (!found) return CONNECT_E_NOCONNECTION;
    *point = found;
    found->AddRef();
    return S_OK;
}

HRESULT ConnectionPointList::EnumConnectionPoints(IEnumConnectionPoints** enumerator) const {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    try {
        std::vector<ComPtr<IConnectionPoint>> items;
        for (const ComPtr<ConnectionPoint>& point : points_) items.emplace_back(point.Get());
        *enumerator = MakeCom<PointEnum>(std::move(items)).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

size_t ConnectionPointList::FireEvent(const IID& iid, DISPID dispid,
                                      std::vector<Variant> args) const {
    ConnectionPoint* point = Find(iid);
    return point ? point->FireEvent(dispid, std::move(args)) : 0;
}
