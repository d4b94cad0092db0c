#include "platform/com/ClassRegistry.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ModuleLoader.h"
#include "platform/os/RegistryStore.h"

namespace fs = std::filesystem;

namespace {

struct ClassObjectEntry {
    DWORD cookie;
    CLSID clsid;
    DWORD context;
    ComPtr<IUnknown> factory;
};

// What the class registry keeps for the life of the process (or until CoFreeUnusedLibraries):
// the class objects registered in-process and the modules it loaded, by path.
class ClassTable {
public:
    static ClassTable& Instance() {
        static ClassTable table;
        return table;
    }

    ComPtr<IUnknown> FindClassObject(REFCLSID clsid, DWORD context) {
        std::lock_guard lock(mutex_);
        for (const ClassObjectEntry& entry : classObjects_) {
            if (entry.clsid == clsid && (entry.context & context)) return entry.factory;
        }
        return nullptr;
    }

    DWORD AddClassObject(REFCLSID clsid, DWORD context, ComPtr<IUnknown> factory) {
        std::lock_guard lock(mutex_);
        DWORD cookie = nextCookie_++;
        classObjects_.push_back({cookie, clsid, context, std::move(factory)});
        return cookie;
    }

    ComPtr<IUnknown> RemoveClassObject(DWORD cookie) {
        std::lock_guard lock(mutex_);
        for (auto it = classObjects_.begin(); it != classObjects_.end(); ++it) {
            if (it->cookie == cookie) {
                ComPtr<IUnknown> factory = std::move(it->factory);
                classObjects_.erase(it);
                return factory;  // released outside the lock
            }
        }
        return nullptr;
    }

    HRESULT Module(const fs::path& file, HMODULE& module) {
        std::lock_guard lock(mutex_);
        auto it = modules_.find(file.string());
        if (it != modules_.end()) {
            module = it->second;
            return S_OK;
        }
        HRESULT hr = LoadModule(file, module);
        if (SUCCEEDED(hr)) modules_.emplace(file.string(), module);
        return hr;
    }

    void FreeUnused() {
        std::lock_guard lock(mutex_);
        for (auto it = modules_.begin(); it != modules_.end();) {
            auto canUnload = GetProcAddressAs<DllCanUnloadNowFn>(it->second, "DllCanUnloadNow");
            if (canUnload && canUnload() == S_OK) {
                FreeLibrary(it->second);
                it = modules_.erase(it);
            } else {
                ++it;
            }
        }
    }

private:
    // Recursive: a module's constructors may create objects by CLSID while it is being loaded.
    std::recursive_mutex mutex_;
    std::vector<ClassObjectEntry> classObjects_;
    std::map<std::string, HMODULE> modules_;
    DWORD nextCookie_ = 1;
};

fs::path ResolveModulePath(const std::string& registered) {
    fs::path path(registered);
    if (path.is_relative()) path = ExecutablePath().parent_path() / path;
    return path.lexically_normal();
}

}  // namespace

fs::path RegisteredModulePath(REFCLSID clsid) {
    std::string key = "CLSID\\" + clsid.ToString() + "\\InprocServer32";
    std::optional<std::string> module =
        RegistryStore::Default().GetString(HKEY_CLASSES_ROOT, key, "");
    if (!module || module->empty()) return {};
    return ResolveModulePath(*module);
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* /*serverInfo*/, REFIID riid,
                         void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (context == 0) return E_INVALIDARG;

    if (ComPtr<IUnknown> factory = ClassTable::Instance().FindClassObject(clsid, context)) {
        return factory->QueryInterface(riid, object);
    }
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;

    fs::path file = RegisteredModulePath(clsid);
    if (file.empty()) return REGDB_E_CLASSNOTREG;
    HMODULE module = nullptr;
    HRESULT hr = ClassTable::Instance().Module(file, module);
    if (FAILED(hr)) return hr;
    auto getClassObject = GetProcAddressAs<DllGetClassObjectFn>(module, "DllGetClassObject");
    if (!getClassObject) return CO_E_ERRORINDLL;
    try {
        hr = getClassObject(clsid, riid, object);
    } catch (...) {
        // A module must not throw through its C entry; treat it as a broken module.
        hr = CO_E_ERRORINDLL;
    }
    if (FAILED(hr)) *object = nullptr;
    return hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                  factory.ReleaseAndGetVoidAddress());
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    hr = factory->CreateInstance(outer, riid, object);
    if (FAILED(hr)) *object = nullptr;
    return hr;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD /*flags*/,
                              DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!factory || context == 0) return E_INVALIDARG;
    *cookie = ClassTable::Instance().AddClassObject(clsid, context, ComPtr<IUnknown>(factory));
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
    return ClassTable::Instance().RemoveClassObject(cookie) ? S_OK : CO_E_OBJNOTREG;
}

void CoFreeUnusedLibraries() {
    ClassTable::Instance().FreeUnused();
}
