#pragma once
// Type libraries in the registry store (HKEY_CLASSES_ROOT), so that a container can read the
// type library of a module it does not link:
//   TypeLib\{libid}\<major>.<minor>          the library's keys (ServerRegistration.h): help
//   string,
//                                           FLAGS, HELPDIR, <lcid in hex>\linux = module path
//   Interface\{iid}                          default: the interface's name
//     ProxyStubClsid32                       default: the standard marshaller of its kind
//     TypeLib                                default: {libid}; "Version": "<major>.<minor>"
// The module named there exports DllGetTypeLib (TypeLib.h), which LoadTypeLib calls.
#include <filesystem>

#include "platform/com/TypeLib.h"

// The marshallers the Interface keys name: dispinterfaces, and dual or automation interfaces.
inline constexpr CLSID CLSID_PSDispatch = MakeGuid("{00020420-0000-0000-C000-000000000046}");
inline constexpr CLSID CLSID_PSOAInterface = MakeGuid("{00020424-0000-0000-C000-000000000046}");

// Records the library, its version and module, and every dispatch or automation interface it
// holds. `helpDir` empty: the module's folder. SELFREG_E_TYPELIB when the store refuses.
HRESULT RegisterTypeLib(ITypeLib* lib, const std::filesystem::path& modulePath,
                        const std::filesystem::path& helpDir = {});
// Removes that version of the library and the Interface keys that name it (no others).
// TYPE_E_LIBNOTREGISTERED when that version is not registered; SELFREG_E_TYPELIB when the store
// refuses.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid = LOCALE_NEUTRAL);
// The module of the best registered version: the same major version, the highest minor at
// least `minor`; the locale's own entry, else its language's, else the neutral one.
// TYPE_E_LIBNOTREGISTERED when there is none.
HRESULT QueryPathOfRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid,
                              std::filesystem::path* path);
// QueryPathOfRegTypeLib, then LoadTypeLib; TYPE_E_LIBNOTREGISTERED also when the module holds
// another library.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** lib);
// Loads the module (it stays loaded: the library's code lives there) and asks its DllGetTypeLib.
// TYPE_E_CANTLOADLIBRARY when the file is missing, does not load or has no such entry.
HRESULT LoadTypeLib(const std::filesystem::path& modulePath, ITypeLib** lib);
