#pragma once
// The class factory every module hands out from DllGetClassObject, and the module's answer to
// DllCanUnloadNow. Header-only on purpose: each module compiles its own copy, so the counts below
// are that module's own (modules are built with hidden symbols).
#include <atomic>
#include <new>

#include "platform/com/ComObject.h"

namespace com_detail {
// LockServer(TRUE) calls not yet balanced by LockServer(FALSE), in this module.
inline std::atomic<long>& ModuleLockCount() {
    static std::atomic<long> count{0};
    return count;
}
}  // namespace com_detail

// S_OK when this module holds no live object (factories included) and no server lock.
inline HRESULT ModuleCanUnloadNow() {
    return com_detail::ModuleObjectCount() == 0 && com_detail::ModuleLockCount() == 0 ? S_OK
                                                                                      : S_FALSE;
}

// Creates T with MakeCom<T>(); T that declares `HRESULT FinalConstruct()` gets it called before
// the object is handed out, and a failure there is the creation's result. Aggregation is refused.
template <class T>
class ClassFactory final : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            ComPtr<T> instance = MakeCom<T>();
            if constexpr (requires(T & t) { t.FinalConstruct(); }) {
                HRESULT hr = instance->FinalConstruct();
                if (FAILED(hr)) return hr;
            }
            return instance->QueryInterface(riid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT LockServer(BOOL lock) override {
        if (lock) {
            ++com_detail::ModuleLockCount();
        } else if (com_detail::ModuleLockCount().fetch_sub(1) <= 0) {
            ++com_detail::ModuleLockCount();  // more unlocks than locks: keep the count at zero
            return E_UNEXPECTED;
        }
        return S_OK;
    }
};

// For DllGetClassObject: a new factory of T, asked for `riid`.
template <class T>
HRESULT GetClassFactory(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        return MakeCom<ClassFactory<T>>()->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
