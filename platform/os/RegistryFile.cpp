#include "platform/os/RegistryFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace fs = std::filesystem;

namespace {

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

HRESULT WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return HResultFromLastErrno();
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return S_OK;
}

void SyncFolder(const fs::path& folder) {
    int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// rename() that never replaces an existing file.
bool RenameNoReplace(const fs::path& from, const fs::path& to, int& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    error = errno;
    if (error != EINVAL && error != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: link refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) {
        error = errno;
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace

RegistryFileLock::~RegistryFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the flock
}

HRESULT RegistryFileLock::Acquire(const fs::path& lockFile, Mode mode) {
    if (fd_ >= 0) return E_UNEXPECTED;
    int fd = OpenRetrying(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd < 0 && mode == Mode::Shared) {
        fd = OpenRetrying(lockFile.c_str(), O_RDONLY);
        if (fd < 0) return S_FALSE;
    }
    if (fd < 0) return HResultFromLastErrno();
    int operation = mode == Mode::Exclusive ? LOCK_EX : LOCK_SH;
    while (::flock(fd, operation) != 0) {
        if (errno == EINTR) continue;
        HRESULT hr = HResultFromLastErrno();
        ::close(fd);
        return hr;
    }
    fd_ = fd;
    return S_OK;
}

HRESULT ReadWholeFile(const fs::path& file, std::string& text) {
    text.clear();
    int fd = OpenRetrying(file.c_str(), O_RDONLY);
    if (fd < 0) return errno == ENOENT ? S_FALSE : HResultFromLastErrno();
    char buffer[65536];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            HRESULT hr = HResultFromLastErrno();
            ::close(fd);
            return hr;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return S_OK;
}

HRESULT ReplaceFileAtomically(const fs::path& file, std::string_view text) {
    fs::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    // Built by appending: prepending to a temporary makes GCC's -O3 see an overlapping copy.
    std::string name = ".";
    name.append(file.filename().string()).append(".tmp-XXXXXX");
    std::string temp = (folder / name).string();
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return HResultFromLastErrno();

    mode_t mode = 0600;
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0) mode = existing.st_mode & 07777;

    HRESULT hr = WriteAll(fd, text);
    if (SUCCEEDED(hr) && ::fchmod(fd, mode) != 0) hr = HResultFromLastErrno();
    if (SUCCEEDED(hr) && ::fsync(fd) != 0) hr = HResultFromLastErrno();
    if (::close(fd) != 0 && SUCCEEDED(hr)) hr = HResultFromLastErrno();
    if (SUCCEEDED(hr) && ::rename(temp.c_str(), file.c_str()) != 0) hr = HResultFromLastErrno();
    if (FAILED(hr)) ::unlink(temp.c_str());
    // The folder is not synced: after a crash the rename may be lost, leaving the previous
    // complete file, which costs less than a second sync on every change.
    return hr;
}

HRESULT MoveFileAside(const fs::path& file, fs::path& movedTo) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = file.string() + ".corrupt-" + stamp;
    for (int attempt = 1; attempt < 1000; ++attempt) {
        fs::path target =
            attempt == 1 ? fs::path(base) : fs::path(base + "-" + std::to_string(attempt));
        int error = 0;
        if (RenameNoReplace(file, target, error)) {
            movedTo = target;
            SyncFolder(file.parent_path().empty() ? fs::path(".") : file.parent_path());
            return S_OK;
        }
        if (error != EEXIST) return HResultFromErrno(error);
    }
    return HResultFromErrno(EEXIST);
}
