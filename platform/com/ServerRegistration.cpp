#include "platform/com/ServerRegistration.h"

#include <cstdio>

#include "platform/com/ModuleLoader.h"
#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"

namespace fs = std::filesystem;

namespace {

constexpr RegistryRoot kRoot = HKEY_CLASSES_ROOT;

// Internal linkage: its address lies in whichever module or executable this code is linked into.
const char kModuleMarker = 0;

// A name that can stand as one key name.
bool IsKeyName(const std::string& name) {
    return name.find('\\') == std::string::npos;
}

fs::path ModuleOrThis(const fs::path& given) {
    return given.empty() ? ThisModulePath() : given;
}

void SetOrRemoveDefault(RegistryKey& key, const char* subKey, bool present,
                        std::string value = {}) {
    if (present) {
        RegistryKey& sub = key.CreateSubKey(subKey);
        if (!value.empty()) sub.SetValue("", std::move(value));
    } else {
        key.DeleteSubKey(subKey);
    }
}

void WriteProgIdKey(RegistryTree& tree, const std::string& progId, const ClassRegistration& r,
                    const std::string& curVer) {
    RegistryKey* key = tree.Create(kRoot, progId);
    if (!key) return;
    key->SetValue("", r.typeName);
    key->CreateSubKey("CLSID").SetValue("", r.clsid.ToString());
    if (!curVer.empty()) key->CreateSubKey("CurVer").SetValue("", curVer);
}

// Removes a ProgID key only when it names this class.
void RemoveProgIdKey(RegistryTree& tree, const std::string& progId, const CLSID& clsid) {
    if (progId.empty() || !IsKeyName(progId)) return;
    std::optional<std::string> named = tree.GetString(kRoot, progId + "\\CLSID", "");
    if (named && Guid::Parse(*named) == clsid) tree.DeleteTree(kRoot, progId);
}

}  // namespace

fs::path ThisModulePath() {
    return ModulePathOf(&kModuleMarker);
}

std::string TypeLibVersionKey(uint16_t major, uint16_t minor) {
    char text[16];
    std::snprintf(text, sizeof text, "%x.%x", major, minor);
    return text;
}

HRESULT RegisterServerClass(const ClassRegistration& r) {
    if (r.clsid.IsNull() || !IsKeyName(r.progId) || !IsKeyName(r.versionIndependentProgId)) {
        return E_INVALIDARG;
    }
    fs::path module = ModuleOrThis(r.modulePath);
    if (module.empty()) return SELFREG_E_CLASS;
    HRESULT hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        RegistryKey* key = tree.Create(kRoot, "CLSID\\" + r.clsid.ToString());
        if (!key) return E_INVALIDARG;
        key->SetValue("", r.typeName);

        RegistryKey& server = key->CreateSubKey("InprocServer32");
        server.SetValue("", module.string());
        if (r.threadingModel.empty()) {
            server.DeleteValue("ThreadingModel");
        } else {
            server.SetValue("ThreadingModel", r.threadingModel);
        }

        SetOrRemoveDefault(*key, "ProgID", !r.progId.empty(), r.progId);
        SetOrRemoveDefault(*key, "VersionIndependentProgID", !r.versionIndependentProgId.empty(),
                           r.versionIndependentProgId);
        SetOrRemoveDefault(*key, "Control", r.control);
        SetOrRemoveDefault(*key, "Insertable", r.insertable);
        SetOrRemoveDefault(*key, "MiscStatus", r.miscStatus.has_value(),
                           r.miscStatus ? std::to_string(*r.miscStatus) : std::string());
        SetOrRemoveDefault(*key, "ToolboxBitmap32", r.toolboxBitmap.has_value(),
                           r.toolboxBitmap
                               ? module.string() + ", " + std::to_string(*r.toolboxBitmap)
                               : std::string());
        SetOrRemoveDefault(*key, "TypeLib", !r.typeLib.IsNull(), r.typeLib.ToString());
        SetOrRemoveDefault(*key, "Version", !r.version.empty(), r.version);

        if (!r.progId.empty()) WriteProgIdKey(tree, r.progId, r, {});
        if (!r.versionIndependentProgId.empty()) {
            WriteProgIdKey(tree, r.versionIndependentProgId, r, r.progId);
        }
        return S_OK;
    });
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterServerClass(const ClassRegistration& r) {
    if (r.clsid.IsNull()) return E_INVALIDARG;
    HRESULT hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        std::string classKey = "CLSID\\" + r.clsid.ToString();
        // The ProgIDs the store recorded for the class, and those the caller names.
        for (const char* sub : {"\\ProgID", "\\VersionIndependentProgID"}) {
            if (auto progId = tree.GetString(kRoot, classKey + sub, "")) {
                RemoveProgIdKey(tree, *progId, r.clsid);
            }
        }
        RemoveProgIdKey(tree, r.progId, r.clsid);
        RemoveProgIdKey(tree, r.versionIndependentProgId, r.clsid);
        tree.DeleteTree(kRoot, classKey);
        return S_OK;
    });
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegisterTypeLibKeys(const TypeLibRegistration& r) {
    if (r.libid.IsNull()) return E_INVALIDARG;
    fs::path module = ModuleOrThis(r.modulePath);
    if (module.empty()) return SELFREG_E_TYPELIB;
    HRESULT hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        RegistryKey* version = tree.Create(
            kRoot, "TypeLib\\" + r.libid.ToString() + "\\" + TypeLibVersionKey(r.major, r.minor));
        if (!version) return E_INVALIDARG;
        version->SetValue("", r.helpString);
        version->CreateSubKey("FLAGS").SetValue("", std::to_string(r.flags));
        if (r.helpDir.empty()) {
            version->DeleteSubKey("HELPDIR");
        } else {
            version->CreateSubKey("HELPDIR").SetValue("", r.helpDir.string());
        }
        char lcid[16];
        std::snprintf(lcid, sizeof lcid, "%x", r.lcid);
        version->CreateSubKey(lcid).CreateSubKey("linux").SetValue("", module.string());
        return S_OK;
    });
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
}

HRESULT UnregisterTypeLibKeys(const Guid& libid, uint16_t major, uint16_t minor) {
    if (libid.IsNull()) return E_INVALIDARG;
    HRESULT hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        std::string libKey = "TypeLib\\" + libid.ToString();
        tree.DeleteTree(kRoot, libKey + "\\" + TypeLibVersionKey(major, minor));
        if (const RegistryKey* lib = tree.Find(kRoot, libKey); lib && lib->IsEmpty()) {
            tree.DeleteTree(kRoot, libKey);
        }
        return S_OK;
    });
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
}
