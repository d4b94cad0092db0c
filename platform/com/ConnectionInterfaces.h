#pragma once
// Connection points: how an object's events reach the sinks its containers advise, and the
// property-change notifications of IPropertyNotifySink.
#include "platform/com/Dispatch.h"
#include "platform/com/Unknown.h"

struct IConnectionPoint;
struct IConnectionPointContainer;
struct ITypeInfo;

struct CONNECTDATA {
    IUnknown* pUnk = nullptr;  // a reference the receiver releases
    DWORD dwCookie = 0;
};

struct IEnumConnections : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B287-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT Next(ULONG count, CONNECTDATA* connections, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** enumerator) = 0;

protected:
    ~IEnumConnections() = default;
};

struct IConnectionPoint : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    // CONNECT_E_CANNOTCONNECT when the sink does not answer the connection interface.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    // CONNECT_E_NOCONNECTION for a cookie that is not advised.
    virtual HRESULT Unadvise(DWORD cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** enumerator) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B285-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT Next(ULONG count, IConnectionPoint** points, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** enumerator) = 0;

protected:
    ~IEnumConnectionPoints() = default;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** enumerator) = 0;
    // CONNECT_E_NOCONNECTION when the object has no point for that interface.
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

struct IPropertyNotifySink : IUnknown {
    static constexpr IID iid = MakeGuid("{9BFBBC02-EFF1-101A-84ED-00AA00C02C4F}");
    virtual HRESULT OnChanged(DISPID dispid) = 0;
    // S_OK lets the property change, S_FALSE refuses it.
    virtual HRESULT OnRequestEdit(DISPID dispid) = 0;

protected:
    ~IPropertyNotifySink() = default;
};

// The type info of an object's coclass: a container finds the default source (event) interface
// among its implemented interfaces.
struct IProvideClassInfo : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B283-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT GetClassInfo(ITypeInfo** info) = 0;

protected:
    ~IProvideClassInfo() = default;
};

inline constexpr DWORD GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1;

struct IProvideClassInfo2 : IProvideClassInfo {
    static constexpr IID iid = MakeGuid("{A6BC3AC0-DBAA-11CE-9DE3-00AA004BB851}");
    using Base = IProvideClassInfo;
    virtual HRESULT GetGUID(DWORD kind, Guid* guid) = 0;

protected:
    ~IProvideClassInfo2() = default;
};
