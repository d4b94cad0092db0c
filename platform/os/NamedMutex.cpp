#include "platform/os/NamedMutex.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/os/RuntimeFolder.h"

namespace {

constexpr off_t kGuardByte = 0;
constexpr off_t kHolderByte = 1;
constexpr off_t kOwnerByte = 2;
constexpr size_t kMaxFileName = 200;

bool TryLock(int fd, short type, off_t byte) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void Unlock(int fd, off_t byte) {
    TryLock(fd, F_UNLCK, byte);
}

bool LockWithin(int fd, short type, off_t byte, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!TryLock(fd, type, byte)) {
        if ((errno != EAGAIN && errno != EACCES) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// True when some description other than ours holds a handle lock.
bool HoldersExist(const std::filesystem::path& file) {
    int probe = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (probe < 0) return false;
    bool free = TryLock(probe, F_WRLCK, kHolderByte);
    ::close(probe);
    return !free;
}

void SetError(DWORD* lastError, DWORD value) {
    if (lastError) *lastError = value;
}

}  // namespace

std::filesystem::path NamedMutex::LockFile(const std::filesystem::path& folder,
                                           std::string_view name) {
    static const char digits[] = "0123456789ABCDEF";
    std::string file = "mutex-";
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                     (byte >= '0' && byte <= '9') || byte == '_' || byte == '-';
        if (plain) {
            file += c;
        } else {
            file += '%';
            file += digits[byte >> 4];
            file += digits[byte & 15];
        }
    }
    if (name.empty() || file.size() > kMaxFileName) return {};
    return folder / (file + ".lock");
}

std::unique_ptr<NamedMutex> NamedMutex::Create(std::string_view name, bool initialOwner,
                                               DWORD* lastError) {
    auto folder = RuntimeFolder::Get();
    if (!folder) {
        SetError(lastError, ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::filesystem::path file = LockFile(*folder, name);
    if (file.empty()) {
        SetError(lastError, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 || !LockWithin(fd, F_WRLCK, kGuardByte, std::chrono::seconds(2))) {
        SetError(lastError, ERROR_ACCESS_DENIED);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    bool existed = HoldersExist(file);
    bool held = TryLock(fd, F_RDLCK, kHolderByte);
    bool owned = held && initialOwner && !existed && TryLock(fd, F_WRLCK, kOwnerByte);
    Unlock(fd, kGuardByte);
    if (!held) {
        SetError(lastError, ERROR_ACCESS_DENIED);
        ::close(fd);
        return nullptr;
    }
    SetError(lastError, existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return std::make_unique<NamedMutex>(Passkey{}, fd, owned);
}

std::unique_ptr<NamedMutex> NamedMutex::Open(std::string_view name, DWORD* lastError) {
    auto folder = RuntimeFolder::Get();
    std::filesystem::path file = folder ? LockFile(*folder, name) : std::filesystem::path();
    if (file.empty()) {
        SetError(lastError, folder ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        SetError(lastError, ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (!LockWithin(fd, F_WRLCK, kGuardByte, std::chrono::seconds(2))) {
        SetError(lastError, ERROR_ACCESS_DENIED);
        ::close(fd);
        return nullptr;
    }
    bool held = HoldersExist(file) && TryLock(fd, F_RDLCK, kHolderByte);
    Unlock(fd, kGuardByte);
    if (!held) {
        SetError(lastError, ERROR_FILE_NOT_FOUND);
        ::close(fd);
        return nullptr;
    }
    SetError(lastError, ERROR_SUCCESS);
    return std::make_unique<NamedMutex>(Passkey{}, fd, false);
}

NamedMutex::~NamedMutex() {
    ::close(fd_);
}

bool NamedMutex::Wait(UINT timeoutMs) {
    if (ownCount_ > 0) {
        ++ownCount_;
        return true;
    }
    if (!LockWithin(fd_, F_WRLCK, kOwnerByte, std::chrono::milliseconds(timeoutMs))) return false;
    ownCount_ = 1;
    return true;
}

bool NamedMutex::Release() {
    if (ownCount_ == 0) return false;
    if (--ownCount_ == 0) Unlock(fd_, kOwnerByte);
    return true;
}
