#include "platform/com/DispatchDriver.h"

#include <string>

HRESULT DispatchDriver::GetIdOfName(std::string_view name, DISPID* dispid) const {
    if (!dispid) return E_POINTER;
    *dispid = DISPID_UNKNOWN;
    if (!dispatch_) return E_POINTER;
    std::string text(name);
    const char* names[] = {text.c_str()};
    return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, dispid);
}

HRESULT DispatchDriver::Invoke(DISPID dispid, WORD flags, std::vector<Variant> args,
                               Variant* result, EXCEPINFO* excepInfo, UINT* argErr) const {
    if (!dispatch_) return E_POINTER;
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put && args.empty()) return E_INVALIDARG;
    // Last first; a put's value (the last argument) is the named one and comes first of all.
    std::vector<Variant> reversed(args.rbegin(), args.rend());
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (put) {
        params.rgdispidNamedArgs = &namedPut;
        params.cNamedArgs = 1;
    }
    UINT ignoredArgErr = 0;
    return dispatch_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                             excepInfo, argErr ? argErr : &ignoredArgErr);
}

HRESULT DispatchDriver::GetProperty(DISPID dispid, Variant* value,
                                    std::vector<Variant> index) const {
    if (!value) return E_POINTER;
    return Invoke(dispid, DISPATCH_PROPERTYGET, std::move(index), value);
}

HRESULT DispatchDriver::PutProperty(DISPID dispid, Variant value,
                                    std::vector<Variant> index) const {
    index.push_back(std::move(value));
    return Invoke(dispid, DISPATCH_PROPERTYPUT, std::move(index));
}

HRESULT DispatchDriver::PutPropertyRef(DISPID dispid, Variant value) const {
    return Invoke(dispid, DISPATCH_PROPERTYPUTREF, {std::move(value)});
}

HRESULT DispatchDriver::Call(DISPID dispid, std::vector<Variant> args, Variant* result) const {
    return Invoke(dispid, DISPATCH_METHOD, std::move(args), result);
}

HRESULT DispatchDriver::GetProperty(std::string_view name, Variant* value) const {
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = GetIdOfName(name, &dispid);
    return FAILED(hr) ? hr : GetProperty(dispid, value);
}

HRESULT DispatchDriver::PutProperty(std::string_view name, Variant value) const {
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = GetIdOfName(name, &dispid);
    return FAILED(hr) ? hr : PutProperty(dispid, std::move(value));
}

HRESULT DispatchDriver::Call(std::string_view name, std::vector<Variant> args,
                             Variant* result) const {
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = GetIdOfName(name, &dispid);
    return FAILED(hr) ? hr : Call(dispid, std::move(args), result);
}
