#pragma once
// The container's side of events: a sink that answers one event interface and hands every call
// to a function, a property-change sink, and advising a sink on an object's connection point.
#include <functional>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/ConnectionInterfaces.h"
#include "platform/com/Variant.h"

class EventSink final : public ComObject<IDispatch> {
public:
    // Receives the event's DISPID and its arguments in declaration order; its result is Invoke's.
    using Handler = std::function<HRESULT(DISPID dispid, std::vector<Variant>& args)>;
    EventSink(const IID& eventIid, Handler handler);

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, const char* const* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

protected:
    // The event interface is a dispinterface: it is this object's IDispatch.
    void* QueryExtraInterface(REFIID riid) override;

private:
    IID eventIid_;
    Handler handler_;
};

class PropertyNotifySink final : public ComObject<IPropertyNotifySink> {
public:
    using ChangedHandler = std::function<void(DISPID)>;
    // Returns whether the change may happen.
    using RequestEditHandler = std::function<bool(DISPID)>;
    explicit PropertyNotifySink(ChangedHandler onChanged, RequestEditHandler onRequestEdit = {});

    HRESULT OnChanged(DISPID dispid) override;
    HRESULT OnRequestEdit(DISPID dispid) override;

private:
    ChangedHandler onChanged_;
    RequestEditHandler onRequestEdit_;
};

// Finds the source's connection point for `iid` and advises the sink there.
HRESULT AdviseSink(IUnknown* source, const IID& iid, IUnknown* sink, DWORD* cookie);
HRESULT UnadviseSink(IUnknown* source, const IID& iid, DWORD cookie);
