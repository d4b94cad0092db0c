#include "platform/com/TypeLibRegistration.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/MemberName.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/ServerRegistration.h"
#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"

namespace fs = std::filesystem;

namespace {

constexpr RegistryRoot kRoot = HKEY_CLASSES_ROOT;

std::string LibKey(const Guid& libid) {
    return "TypeLib\\" + libid.ToString();
}

std::string HexKey(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

// "a.b" in hex, as the version keys are named.
std::optional<std::pair<WORD, WORD>> ParseVersionKey(const std::string& key) {
    size_t dot = key.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= key.size()) return std::nullopt;
    unsigned long major = 0;
    unsigned long minor = 0;
    try {
        size_t used = 0;
        major = std::stoul(key.substr(0, dot), &used, 16);
        if (used != dot) return std::nullopt;
        minor = std::stoul(key.substr(dot + 1), &used, 16);
        if (used != key.size() - dot - 1) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (major > 0xFFFF || minor > 0xFFFF) return std::nullopt;
    return std::make_pair(static_cast<WORD>(major), static_cast<WORD>(minor));
}

bool IsRegisteredInterface(const TYPEATTR& attr) {
    return attr.typekind == TKIND_DISPATCH ||
           (attr.typekind == TKIND_INTERFACE &&
            (attr.wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)));
}

struct InterfaceEntry {
    IID iid;
    std::string name;
    CLSID proxyStub;
};

}  // namespace

HRESULT RegisterTypeLib(ITypeLib* lib, const fs::path& modulePath, const fs::path& helpDir) {
    if (!lib || modulePath.empty()) return E_INVALIDARG;
    TLIBATTR attr;
    HRESULT hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    std::string name;
    std::string helpString;
    lib->GetDocumentation(-1, &name, &helpString, nullptr, nullptr);

    std::vector<InterfaceEntry> interfaces;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR typeAttr;
        if (FAILED(lib->GetTypeInfo(i, info.ReleaseAndGetAddressOf())) ||
            FAILED(info->GetTypeAttr(&typeAttr))) {
            return SELFREG_E_TYPELIB;
        }
        if (!IsRegisteredInterface(typeAttr)) continue;
        std::string typeName;
        info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr);
        interfaces.push_back(InterfaceEntry{
            typeAttr.guid, typeName,
            typeAttr.typekind == TKIND_DISPATCH ? CLSID_PSDispatch : CLSID_PSOAInterface});
    }

    TypeLibRegistration keys;
    keys.libid = attr.guid;
    keys.major = attr.wMajorVerNum;
    keys.minor = attr.wMinorVerNum;
    keys.lcid = attr.lcid;
    // The version key's default value is the library's help string (its name when it has none).
    keys.helpString = helpString.empty() ? name : helpString;
    keys.helpDir = helpDir.empty() ? fs::absolute(modulePath).parent_path() : helpDir;
    keys.flags = attr.wLibFlags;
    keys.modulePath = fs::absolute(modulePath);
    hr = RegisterTypeLibKeys(keys);
    if (FAILED(hr)) return hr;

    std::string version = TypeLibVersionKey(attr.wMajorVerNum, attr.wMinorVerNum);
    hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        for (const InterfaceEntry& entry : interfaces) {
            RegistryKey* key = tree.Create(kRoot, "Interface\\" + entry.iid.ToString());
            if (!key) return E_INVALIDARG;
            key->SetValue("", entry.name);
            key->CreateSubKey("ProxyStubClsid32").SetValue("", entry.proxyStub.ToString());
            RegistryKey& typeLib = key->CreateSubKey("TypeLib");
            typeLib.SetValue("", attr.guid.ToString());
            typeLib.SetValue("Version", version);
        }
        return S_OK;
    });
    if (FAILED(hr)) {
        UnregisterTypeLibKeys(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum);
        return SELFREG_E_TYPELIB;
    }
    return S_OK;
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID) {
    if (libid.IsNull()) return E_INVALIDARG;
    std::string version = TypeLibVersionKey(major, minor);
    RegistryStore store = RegistryStore::Default();
    if (!store.KeyExists(kRoot, LibKey(libid) + "\\" + version)) return TYPE_E_LIBNOTREGISTERED;
    HRESULT hr = store.Update([&](RegistryTree& tree) {
        for (const std::string& iid : tree.EnumSubKeys(kRoot, "Interface")) {
            std::string typeLibKey = "Interface\\" + iid + "\\TypeLib";
            std::optional<std::string> owner = tree.GetString(kRoot, typeLibKey, "");
            std::optional<std::string> ownerVersion = tree.GetString(kRoot, typeLibKey, "Version");
            if (owner && Guid::Parse(*owner) == libid && ownerVersion &&
                MemberNamesEqual(*ownerVersion, version)) {
                tree.DeleteTree(kRoot, "Interface\\" + iid);
            }
        }
        return S_OK;
    });
    if (FAILED(hr)) return SELFREG_E_TYPELIB;
    return UnregisterTypeLibKeys(libid, major, minor);
}

HRESULT QueryPathOfRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, fs::path* path) {
    if (!path) return E_INVALIDARG;
    path->clear();
    std::optional<std::string> found;
    HRESULT hr = RegistryStore::Default().Read([&](const RegistryTree& tree) {
        std::string libKey = LibKey(libid);
        std::optional<WORD> bestMinor;
        std::string bestKey;
        for (const std::string& key : tree.EnumSubKeys(kRoot, libKey)) {
            auto version = ParseVersionKey(key);
            if (!version || version->first != major || version->second < minor) continue;
            if (!bestMinor || version->second > *bestMinor) {
                bestMinor = version->second;
                bestKey = key;
            }
        }
        if (!bestMinor) return;
        std::string versionKey = libKey + "\\" + bestKey;
        for (LCID candidate : {lcid, static_cast<LCID>(lcid & 0x3FF), LCID{0}}) {
            found = tree.GetString(kRoot, versionKey + "\\" + HexKey(candidate) + "\\linux", "");
            if (found && !found->empty()) return;
        }
        found.reset();
    });
    if (FAILED(hr)) return hr;
    if (!found) return TYPE_E_LIBNOTREGISTERED;
    *path = *found;
    return S_OK;
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    *lib = nullptr;
    fs::path module;
    HRESULT hr = QueryPathOfRegTypeLib(libid, major, minor, lcid, &module);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeLib> loaded;
    hr = LoadTypeLib(module, loaded.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    TLIBATTR attr;
    if (FAILED(loaded->GetLibAttr(&attr)) || attr.guid != libid) return TYPE_E_LIBNOTREGISTERED;
    *lib = loaded.Detach();
    return S_OK;
}

HRESULT LoadTypeLib(const fs::path& modulePath, ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    *lib = nullptr;
    HMODULE module = nullptr;
    if (FAILED(LoadModule(modulePath, module)) || !module) return TYPE_E_CANTLOADLIBRARY;
    auto entry = GetProcAddressAs<DllGetTypeLibFn>(module, kDllGetTypeLibName);
    if (!entry) {
        FreeLibrary(module);
        return TYPE_E_CANTLOADLIBRARY;
    }
    ComPtr<ITypeLib> loaded;
    HRESULT hr = entry(loaded.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !loaded) {
        loaded.Reset();
        FreeLibrary(module);
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    *lib = loaded.Detach();
    return S_OK;
}
