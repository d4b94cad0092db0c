#pragma once
// The IDispatch of an object whose members a dispatch table lists: derive from
// DispatchObject<Derived, IYourDispInterface, ...> and give Derived
//   static const DispatchTable& GetDispatchTable();
// (built with DispatchMap<Derived>, DispatchMap.h). Type information comes from the same table;
// a class whose interface lives in a type library may override GetTypeInfo.
#include "platform/com/ComObject.h"
#include "platform/com/DispatchTable.h"
#include "platform/com/TypeLib.h"

template <class Derived, class... Interfaces>
class DispatchObject : public ComObject<Interfaces...> {
public:
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_INVALIDARG;
        *count = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_INVALIDARG;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Derived::GetDispatchTable().GetTypeInfo(info);
    }
    HRESULT GetIDsOfNames(REFIID riid, const char* const* names, UINT count, LCID,
                          DISPID* ids) override {
        return Derived::GetDispatchTable().GetIDsOfNames(riid, names, count, ids);
    }
    HRESULT Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
        // A handler may drop the caller's last reference (an event sink unadvising, a collection
        // emptied): the object lives until its handler has returned.
        ComPtr<Derived> self(static_cast<Derived*>(this));
        return Derived::GetDispatchTable().Invoke(self.Get(), member, riid, flags, params, result,
                                                  excepInfo, argErr);
    }
};
