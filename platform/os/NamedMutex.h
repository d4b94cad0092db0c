#pragma once
// A mutex with a name, shared by every process of this user: enough to tell whether another
// instance of a program runs, and to own it across processes. It exists as long as any handle
// to it is open in any process; the kernel closes the handles of a process that ends, also by a
// crash, so a mutex never outlives its holders.
//
// Each name is a lock file in the runtime folder, "mutex-<name>.lock", with three locked bytes
// (open file description locks): byte 0 serialises create and open, every handle holds a shared
// lock on byte 1 (a test for an exclusive lock there tells whether handles exist), and the owner
// holds byte 2 exclusively.
#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/os/Win32Error.h"
#include "platform/os/WindowTypes.h"

class NamedMutex {
    struct Passkey {};

public:
    // Creates the mutex, or opens it when some process holds it; then *lastError is
    // ERROR_ALREADY_EXISTS and initialOwner is ignored (as on Windows). Null on failure.
    static std::unique_ptr<NamedMutex> Create(std::string_view name, bool initialOwner,
                                              DWORD* lastError = nullptr);
    // Null with ERROR_FILE_NOT_FOUND when no process holds a mutex of that name.
    static std::unique_ptr<NamedMutex> Open(std::string_view name, DWORD* lastError = nullptr);
    // The lock file of a name; empty when the name is empty or too long.
    static std::filesystem::path LockFile(const std::filesystem::path& folder,
                                          std::string_view name);

    NamedMutex(Passkey, int fd, bool owned) : fd_(fd), ownCount_(owned ? 1 : 0) {}
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    bool Owned() const { return ownCount_ > 0; }
    // Takes ownership (again, when owned: it counts), waiting at most timeoutMs.
    bool Wait(UINT timeoutMs);
    // Gives up one level of ownership; false when not owned.
    bool Release();

private:
    int fd_;
    int ownCount_;
};

inline std::unique_ptr<NamedMutex> CreateMutex(std::string_view name, bool initialOwner,
                                               DWORD* lastError = nullptr) {
    return NamedMutex::Create(name, initialOwner, lastError);
}
inline std::unique_ptr<NamedMutex> OpenMutex(std::string_view name, DWORD* lastError = nullptr) {
    return NamedMutex::Open(name, lastError);
}
