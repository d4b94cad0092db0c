#pragma once
// The connection points of one object, for its IConnectionPointContainer:
//
//   class Camera : public DispatchObject<Camera, _DCamera, IConnectionPointContainer> {
//       ConnectionPointList points_{this};  // then points_.Add(DIID__DCameraEvents) ...
//       HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** p) override {
//           return points_.FindConnectionPoint(iid, p);
//       }
//       HRESULT EnumConnectionPoints(IEnumConnectionPoints** e) override {
//           return points_.EnumConnectionPoints(e);
//       }
//   };
//
// The list drops its sinks and detaches its points from the owner when it is destroyed, so a
// point a container still holds stays valid and fires nothing.
#include <vector>

#include "platform/com/ConnectionPoint.h"

class ConnectionPointList {
public:
    explicit ConnectionPointList(IConnectionPointContainer* owner) : owner_(owner) {}
    ConnectionPointList(const ConnectionPointList&) = delete;
    ConnectionPointList& operator=(const ConnectionPointList&) = delete;
    ~ConnectionPointList();

    // The point for `iid`, made on first use.
    ConnectionPoint& Add(const IID& iid);
    ConnectionPoint* Find(const IID& iid) const;

    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) const;
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** enumerator) const;

    // Fires on the point for `iid`; nothing when there is none. Arguments in declaration order.
    size_t FireEvent(const IID& iid, DISPID dispid, std::vector<Variant> args = {}) const;

private:
    IConnectionPointContainer* owner_;
    std::vector<ComPtr<ConnectionPoint>> points_;
};
