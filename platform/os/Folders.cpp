#include "platform/os/Folders.h"

#include <dlfcn.h>
#include <link.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

std::string FolderOf(const fs::path& file) {
    std::string folder = file.parent_path().string();
    return folder.empty() ? "/" : folder;
}

std::string ExecutablePath() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

bool IsWritableFolder(const std::string& folder) {
    std::error_code error;
    return !folder.empty() && fs::is_directory(folder, error) &&
           ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

std::string GetProgramFolder() {
    std::string exe = ExecutablePath();
    return exe.empty() ? std::string() : FolderOf(exe);
}

std::string GetModuleFolder(const void* address) {
    Dl_info info{};
    link_map* module = nullptr;
    if (!address ||
        ::dladdr1(address, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) == 0 ||
        !module) {
        return {};
    }
    // The main program has no name of its own in the loader's list (dladdr reports argv[0]).
    if (!module->l_name || module->l_name[0] == '\0') {
        std::string exe = ExecutablePath();
        return exe.empty() ? std::string() : FolderOf(exe);
    }
    std::error_code error;
    fs::path file = fs::canonical(module->l_name, error);
    return error ? std::string() : FolderOf(file);
}

std::string GetTempFolder() {
    std::error_code error;
    if (const char* dir = NonEmptyEnv("TMPDIR");
        dir && dir[0] == '/' && fs::is_directory(dir, error)) {
        std::string folder = dir;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return folder == "/" ? folder : folder + "/";
    }
    return "/tmp/";
}

std::string GetWindowsFolder() {
    std::string program = GetProgramFolder();
    return program.empty() ? std::string() : program + "/system";
}

std::string GetSettingsFolder() {
    return GetSettingsFolderFor(GetProgramFolder());
}

std::string GetSettingsFolderFor(const std::string& programFolder) {
    if (IsWritableFolder(programFolder)) return programFolder;
    fs::path config;
    if (const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = NonEmptyEnv("HOME");
        if (!home) {
            if (const passwd* user = ::getpwuid(::getuid())) home = user->pw_dir;
        }
        config = fs::path(home ? home : "/tmp") / ".config";
    }
    fs::path folder = config / "orvanta";
    std::error_code error;
    fs::create_directories(folder, error);
    return folder.string();
}
