#pragma once
// The system device enumerator's interfaces: ICreateDevEnum gives an IEnumMoniker over one
// category; each IMoniker reads its IPropertyBag ("FriendlyName", "DevicePath", "CLSID") with
// BindToStorage and makes the device filter with BindToObject. The moniker keeps only the two
// bind calls of the platform's much larger interface (nothing here parses or composes monikers).
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

struct IBindCtx;
struct IErrorLog;

struct IPropertyBag : IUnknown {
    static constexpr IID iid = MakeGuid("{55272A00-42CB-11CE-8135-00AA004BB851}");
    // `value` may ask for a type (VT_EMPTY: the stored one); E_INVALIDARG for an unknown name.
    virtual HRESULT Read(const char* name, Variant* value, IErrorLog* log) = 0;
    virtual HRESULT Write(const char* name, const Variant* value) = 0;

protected:
    ~IPropertyBag() = default;
};

struct IMoniker : IUnknown {
    static constexpr IID iid = MakeGuid("{0000000F-0000-0000-C000-000000000046}");
    virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, REFIID riid, void** object) = 0;
    virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID riid, void** object) = 0;

protected:
    ~IMoniker() = default;
};

struct IEnumMoniker : IUnknown {
    static constexpr IID iid = MakeGuid("{00000102-0000-0000-C000-000000000046}");
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMoniker** copy) = 0;

protected:
    ~IEnumMoniker() = default;
};

struct ICreateDevEnum : IUnknown {
    static constexpr IID iid = MakeGuid("{29840822-5B84-11D0-BD3B-00A0C911CE86}");
    // S_FALSE and no enumerator for an empty or unknown category, as on Windows.
    virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD flags) = 0;

protected:
    ~ICreateDevEnum() = default;
};
