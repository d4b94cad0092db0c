#pragma once
// One connection point of an object: the sinks advised for one interface, each under a cookie,
// and the firing of events to them. For an event dispinterface every sink is called through
// IDispatch::Invoke(DISPATCH_METHOD); for IPropertyNotifySink through OnChanged / OnRequestEdit.
// Firing walks a snapshot of the sinks, each kept alive for its call, and skips a sink that was
// unadvised meanwhile: a sink may unadvise itself or others while an event runs.
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/ConnectionInterfaces.h"
#include "platform/com/Variant.h"

class ConnectionPoint final : public ComObject<IConnectionPoint> {
public:
    // `owner` is the object whose point this is; it must call DetachOwner before it goes.
    ConnectionPoint(const IID& iid, IConnectionPointContainer* owner);

    HRESULT GetConnectionInterface(IID* iid) override;
    // E_UNEXPECTED once the owner is gone.
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** enumerator) override;

    const IID& Iid() const { return iid_; }
    size_t SinkCount() const { return connections_.size(); }
    bool IsAdvised(DWORD cookie) const;
    void DetachOwner() { owner_ = nullptr; }
    // Drops every sink (the owner going away).
    void UnadviseAll();

    // Calls every sink's Invoke(dispid, DISPATCH_METHOD) with these arguments, given in
    // declaration order. Nothing happens without sinks. Returns the number of sinks called.
    size_t FireEvent(DISPID dispid, std::vector<Variant> args = {});
    // IPropertyNotifySink sinks: OnChanged to each.
    void FireOnChanged(DISPID dispid);
    // IPropertyNotifySink sinks: false as soon as one answers S_FALSE.
    bool FireOnRequestEdit(DISPID dispid);

private:
    struct Connection {
        DWORD cookie;
        // The sink as the connection interface (its IUnknown base).
        ComPtr<IUnknown> sink;
    };
    std::vector<Connection> Snapshot() const { return connections_; }

    IID iid_;
    IConnectionPointContainer* owner_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};
