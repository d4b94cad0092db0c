#pragma once
// IDispatch: late-bound calls by member identifier, and the argument block they carry.
// Arguments travel in reverse order (rgvarg[cArgs - 1] is the first); named arguments come first in
// rgvarg with their identifiers in rgdispidNamedArgs. A property put passes its new value as the
// named argument DISPID_PROPERTYPUT.
#include "platform/com/AutomationTypes.h"
#include "platform/com/Unknown.h"

class Variant;
using VARIANT = Variant;
using VARIANTARG = Variant;
struct ITypeInfo;

struct DISPPARAMS {
    VARIANTARG* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

// Filled by Invoke when it returns DISP_E_EXCEPTION (and, as a courtesy, with other failures that
// carry an error of the member itself).
struct EXCEPINFO {
    WORD wCode = 0;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext = 0;
    SCODE scode = 0;
};

struct IDispatch : IUnknown {
    static constexpr IID iid = MakeGuid("{00020400-0000-0000-C000-000000000046}");
    // 1 when the object offers type information, else 0.
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    // names[0] is a member, the others its parameters; names compare case-insensitively.
    // riid must be IID_NULL.
    virtual HRESULT GetIDsOfNames(REFIID riid, const char* const* names, UINT count, LCID lcid,
                                  DISPID* ids) = 0;
    // argErr receives the rgvarg index of the argument that failed to convert or was not found.
    virtual HRESULT Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;

protected:
    ~IDispatch() = default;
};

inline constexpr IID IID_IDispatch = IDispatch::iid;
