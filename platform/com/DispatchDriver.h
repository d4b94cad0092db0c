#pragma once
// The caller's side of late binding: property get and put and method calls on an IDispatch, with
// the arguments given in declaration order (they are reversed into DISPPARAMS here) and the
// property put's value passed as the named DISPID_PROPERTYPUT argument.
#include <string_view>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/Variant.h"

class DispatchDriver {
public:
    DispatchDriver() = default;
    explicit DispatchDriver(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

    void Attach(ComPtr<IDispatch> dispatch) { dispatch_ = std::move(dispatch); }
    IDispatch* Get() const { return dispatch_.Get(); }
    explicit operator bool() const { return static_cast<bool>(dispatch_); }

    // E_POINTER without an object.
    HRESULT GetIdOfName(std::string_view name, DISPID* dispid) const;
    HRESULT Invoke(DISPID dispid, WORD flags, std::vector<Variant> args, Variant* result = nullptr,
                   EXCEPINFO* excepInfo = nullptr, UINT* argErr = nullptr) const;

    HRESULT GetProperty(DISPID dispid, Variant* value, std::vector<Variant> index = {}) const;
    HRESULT PutProperty(DISPID dispid, Variant value, std::vector<Variant> index = {}) const;
    HRESULT PutPropertyRef(DISPID dispid, Variant value) const;
    HRESULT Call(DISPID dispid, std::vector<Variant> args = {}, Variant* result = nullptr) const;

    // The same by name (resolved through GetIDsOfNames at every call).
    HRESULT GetProperty(std::string_view name, Variant* value) const;
    HRESULT PutProperty(std::string_view name, Variant value) const;
    HRESULT Call(std::string_view name, std::vector<Variant> args = {},
                 Variant* result = nullptr) const;

private:
    ComPtr<IDispatch> dispatch_;
};
