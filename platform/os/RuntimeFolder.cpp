#include "platform/os/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

void ReportOnce(const fs::path& folder, HRESULT hr) {
    static std::mutex lock;
    static std::set<std::string> reported;
    std::lock_guard guard(lock);
    if (!reported.insert(folder.string()).second) return;
    std::fprintf(stderr,
                 "orvanta: runtime folder %s is not usable (0x%08X): it must be a folder of this "
                 "user with mode 0700\n",
                 folder.c_str(), static_cast<unsigned>(hr));
}

}  // namespace

fs::path RuntimeFolder::Configured() {
    if (const char* dir = NonEmptyEnv("ORVANTA_RUNTIME_DIR")) return dir;
    if (const char* xdg = NonEmptyEnv("XDG_RUNTIME_DIR")) return fs::path(xdg) / "orvanta";
    return fs::path("/tmp") / ("orvanta-" + std::to_string(::geteuid()));
}

HRESULT RuntimeFolder::Check(const fs::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return HResultFromLastErrno();
    if (!S_ISDIR(info.st_mode)) return E_ACCESSDENIED;
    if (info.st_uid != ::geteuid()) return E_ACCESSDENIED;
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) return E_ACCESSDENIED;
    return S_OK;
}

std::optional<fs::path> RuntimeFolder::Get() {
    fs::path folder = Configured();
    if (folder.is_relative()) folder = fs::absolute(folder);
    std::error_code ignored;
    if (!fs::exists(fs::symlink_status(folder, ignored))) {
        fs::create_directories(folder.parent_path(), ignored);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            ReportOnce(folder, HResultFromLastErrno());
            return std::nullopt;
        }
    }
    HRESULT hr = Check(folder);
    if (FAILED(hr)) {
        ReportOnce(folder, hr);
        return std::nullopt;
    }
    return folder;
}
