#include "platform/com/ConnectionPoint.h"

#include <algorithm>
#include <new>

#include "platform/com/EnumSnapshot.h"

namespace {
struct StoredConnection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
};
void CopyConnection(const StoredConnection& from, CONNECTDATA* to) {
    to->pUnk = from.sink.Get();
    if (to->pUnk) to->pUnk->AddRef();
    to->dwCookie = from.cookie;
}
using ConnectionEnum =
    EnumSnapshot<IEnumConnections, CONNECTDATA, StoredConnection, &CopyConnection>;
}  // namespace

ConnectionPoint::ConnectionPoint(const IID& iid, IConnectionPointContainer* owner)
    : iid_(iid), owner_(owner) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = owner_;
    if (!owner_) return E_UNEXPECTED;
    owner_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    void* typed = nullptr;
    if (FAILED(sink->QueryInterface(iid_, &typed)) || !typed) return CONNECT_E_CANNOTCONNECT;
    ComPtr<IUnknown> held;
    // Every interface pointer begins with its IUnknown base.
    held.Attach(static_cast<IUnknown*>(typed));
    if (nextCookie_ == 0) nextCookie_ = 1;  // 0 is never a cookie
    DWORD assigned = nextCookie_++;
    try {
        connections_.push_back(Connection{assigned, std::move(held)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *cookie = assigned;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [&](const Connection& c) { return c.cookie == cookie; });
    if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
    // Release after the list no longer holds it: the sink's destructor may call back in.
    ComPtr<IUnknown> released = std::move(it->sink);
    connections_.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    try {
        std::vector<StoredConnection> items;
        for (const Connection& c : connections_)
            items.push_back(StoredConnection{c.sink, c.cookie});
        *enumerator = MakeCom<ConnectionEnum>(std::move(items)).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool ConnectionPoint::IsAdvised(DWORD cookie) const {
    return std::any_of(connections_.begin(), connections_.end(),
                       [&](const Connection& c) { return c.cookie == cookie; });
}

void ConnectionPoint::UnadviseAll() {
    std::vector<Connection> released;
    released.swap(connections_);
}

size_t ConnectionPoint::FireEvent(DISPID dispid, std::vector<Variant> args) {
    if (connections_.empty() || iid_ == IPropertyNotifySink::iid) return 0;
    // DISPPARAMS carries the arguments last first.
    std::vector<Variant> reversed(args.rbegin(), args.rend());
    size_t called = 0;
    for (const Connection& c : Snapshot()) {
        if (!IsAdvised(c.cookie)) continue;
        // A sink may change its arguments (by-reference ones are meant to): each gets a fresh copy.
        std::vector<Variant> copy = reversed;
        DISPPARAMS params;
        params.rgvarg = copy.empty() ? nullptr : copy.data();
        params.cArgs = static_cast<UINT>(copy.size());
        Variant result;
        EXCEPINFO excepInfo;
        UINT argErr = 0;
        auto* dispatch = static_cast<IDispatch*>(c.sink.Get());
        dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                         &excepInfo, &argErr);
        ++called;
    }
    return called;
}

void ConnectionPoint::FireOnChanged(DISPID dispid) {
    if (iid_ != IPropertyNotifySink::iid) return;
    for (const Connection& c : Snapshot()) {
        if (!IsAdvised(c.cookie)) continue;
        static_cast<IPropertyNotifySink*>(c.sink.Get())->OnChanged(dispid);
    }
}

bool ConnectionPoint::FireOnRequestEdit(DISPID dispid) {
    if (iid_ != IPropertyNotifySink::iid) return true;
    for (const Connection& c : Snapshot()) {
        if (!IsAdvised(c.cookie)) continue;
        if (static_cast<IPropertyNotifySink*>(c.sink.Get())->OnRequestEdit(dispid) == S_FALSE)
            return false;
    }
    return true;
}
