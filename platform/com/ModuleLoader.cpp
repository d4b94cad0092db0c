#include "platform/com/ModuleLoader.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

namespace {
thread_local std::string lastError;

void SetLastError(const char* reason) {
    lastError = reason ? reason : "unknown error";
}
}  // namespace

HMODULE LoadLibrary(const fs::path& file) {
    ::dlerror();
    HMODULE module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) SetLastError(::dlerror());
    return module;
}

void* GetProcAddress(HMODULE module, const char* name) {
    if (!module || !name) {
        SetLastError("no module");
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(module, name);
    if (!symbol) SetLastError(::dlerror());
    return symbol;
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) return FALSE;
    if (::dlclose(module) != 0) {
        SetLastError(::dlerror());
        return FALSE;
    }
    return TRUE;
}

HRESULT LoadModule(const fs::path& file, HMODULE& module) {
    module = nullptr;
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        SetLastError(std::generic_category().message(errno).c_str());
        return CO_E_DLLNOTFOUND;
    }
    module = LoadLibrary(file);
    return module ? S_OK : CO_E_ERRORINDLL;
}

std::string LastModuleError() {
    return lastError;
}

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : path;
}

fs::path ModulePathOf(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map)
        return {};
    // The executable's own entry has an empty name.
    if (!map->l_name || map->l_name[0] == '\0') return ExecutablePath();
    std::error_code ec;
    fs::path path = fs::weakly_canonical(fs::absolute(map->l_name, ec), ec);
    return ec ? fs::path(map->l_name) : path;
}
