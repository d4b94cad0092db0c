#pragma once
// The root of every interface. Interfaces are pure virtual with no virtual destructor, so that
// their slot order is the declaration order on every compiler: they can cross module boundaries.
// Each interface names its IID as `static constexpr IID iid` and, when it extends another
// interface than IUnknown, that parent as `using Base = IParent;`.
#include <cstdint>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

struct IUnknown {
    static constexpr IID iid = MakeGuid("{00000000-0000-0000-C000-000000000046}");
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static constexpr IID iid = MakeGuid("{00000001-0000-0000-C000-000000000046}");
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::iid;
inline constexpr IID IID_IClassFactory = IClassFactory::iid;

// Entry points every loadable module exports with C linkage.
extern "C" {
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID riid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
}

#define ORVANTA_EXPORT extern "C" __attribute__((visibility("default")))
