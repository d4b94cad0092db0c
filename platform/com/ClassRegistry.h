#pragma once
// Creating objects by class identifier. A class is found, in this order:
//  1. among the class objects this process registered with CoRegisterClassObject (classes built
//     into the program or into a module that wants them reachable by CLSID);
//  2. in the registry store: HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, whose default value is
//     the module file (an absolute path; a relative one is taken from the program folder). The
//     module is loaded once per process and asked through its DllGetClassObject.
// Results as Windows gives them: REGDB_E_CLASSNOTREG for a class nobody registered (or not for
// the context asked), CO_E_DLLNOTFOUND for a registered module file that is gone,
// CO_E_ERRORINDLL for one that cannot be loaded or exports no DllGetClassObject, and the module's
// own answer otherwise (CLASS_E_CLASSNOTAVAILABLE for a class it does not know).
// Thread-safe.
#include <filesystem>

#include "platform/com/ComPtr.h"
#include "platform/com/Unknown.h"

// Server contexts (CLSCTX).
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// CoRegisterClassObject flags. Every registration serves any number of creations.
inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

// Only in-process servers exist here: a context without CLSCTX_INPROC_SERVER finds nothing that
// the registry store lists (REGDB_E_CLASSNOTREG); a context of 0 is E_INVALIDARG.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID riid,
                         void** object);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         void** object);

template <class T>
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, ComPtr<T>* out) {
    if (!out) return E_POINTER;
    return CoCreateInstance(clsid, outer, context, T::iid, out->ReleaseAndGetVoidAddress());
}

// Makes `factory` (an IClassFactory) answer for `clsid` in this process until revoked; `context`
// says which requests it answers (usually CLSCTX_INPROC_SERVER). E_INVALIDARG without a factory.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags,
                              DWORD* cookie);
// CO_E_OBJNOTREG for an unknown cookie.
HRESULT CoRevokeClassObject(DWORD cookie);

// Unloads every module loaded for the class registry whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

// The module file registered for a class, as CoGetClassObject would load it; empty when the
// class has no InprocServer32 entry.
std::filesystem::path RegisteredModulePath(REFCLSID clsid);

inline constexpr HRESULT CO_E_OBJNOTREG = MakeHResult(0x800401FB);
