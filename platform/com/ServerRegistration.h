#pragma once
// What a module's DllRegisterServer / DllUnregisterServer write to and remove from the registry
// store (HKEY_CLASSES_ROOT), each call in one atomic change of the store.
//
// A class:
//   CLSID\{clsid}                       default: type name
//     InprocServer32                    default: module path; "ThreadingModel"
//     ProgID, VersionIndependentProgID  default: those names
//     Control, Insertable               empty marker keys
//     MiscStatus                        default: the OLEMISC bits in decimal
//     ToolboxBitmap32                   default: "<module path>, <resource id>"
//     TypeLib, Version                  default: "{libid}", "1.0"
//   <ProgID>                            default: type name; CLSID default: "{clsid}"
//   <VersionIndependentProgID>          the same, plus CurVer default: <ProgID>
// A type library:
//   TypeLib\{libid}\<major>.<minor>     default: help string (version numbers in hex)
//     FLAGS                             default: the flags in decimal
//     HELPDIR                           default: help folder
//     <lcid in hex>\linux               default: module path
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

struct ClassRegistration {
    CLSID clsid;
    std::string typeName;
    // "Apartment", "Both", "Free"; nothing written when empty.
    std::string threadingModel;
    // "Vendor.Class.1" and "Vendor.Class"; nothing written when empty.
    std::string progId;
    std::string versionIndependentProgId;
    bool control = false;
    bool insertable = false;
    std::optional<uint32_t> miscStatus;
    std::optional<int> toolboxBitmap;
    Guid typeLib;         // GUID_NULL: none
    std::string version;  // "1.0"; nothing written when empty
    // Empty: the module (or executable) holding the calling code, which links this layer.
    std::filesystem::path modulePath;
};

struct TypeLibRegistration {
    Guid libid;
    uint16_t major = 1;
    uint16_t minor = 0;
    uint32_t lcid = 0;
    std::string helpString;
    std::filesystem::path helpDir;  // nothing written when empty
    uint32_t flags = 0;
    std::filesystem::path modulePath;  // empty: as for ClassRegistration
};

// S_OK, or SELFREG_E_CLASS when the store cannot take the class (E_INVALIDARG for a null CLSID).
HRESULT RegisterServerClass(const ClassRegistration& registration);
// Removes the class key, and each ProgID key that names this class (never another class's).
// S_OK also when nothing was registered; SELFREG_E_CLASS when the store refuses.
HRESULT UnregisterServerClass(const ClassRegistration& registration);

// S_OK, or SELFREG_E_TYPELIB.
HRESULT RegisterTypeLibKeys(const TypeLibRegistration& registration);
// Removes that version; the library's key goes too when no version is left.
HRESULT UnregisterTypeLibKeys(const Guid& libid, uint16_t major, uint16_t minor);

// The module (or executable) file holding this layer's code as linked into the caller.
std::filesystem::path ThisModulePath();
// "a.b" with both numbers in lower-case hex, as the TypeLib version keys are named.
std::string TypeLibVersionKey(uint16_t major, uint16_t minor);
