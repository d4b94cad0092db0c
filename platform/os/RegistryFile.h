#pragma once
// The file operations under the registry store: the advisory lock beside it, whole-file reads,
// atomic replacement and moving a corrupt file aside. Results are HRESULTs from errno.
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/base/HResult.h"

// An flock held on a lock file for the object's life. Each instance opens its own descriptor, so
// threads of one process exclude each other as processes do.
class RegistryFileLock {
public:
    enum class Mode { Shared, Exclusive };

    RegistryFileLock() = default;
    RegistryFileLock(const RegistryFileLock&) = delete;
    RegistryFileLock& operator=(const RegistryFileLock&) = delete;
    ~RegistryFileLock();

    // Creates the lock file when needed. A shared lock that cannot open or create the file (a
    // read-only folder) returns S_FALSE and holds nothing: readers are safe without it because
    // writers replace the store by rename.
    HRESULT Acquire(const std::filesystem::path& lockFile, Mode mode);
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The whole file; S_FALSE with empty text when it does not exist.
HRESULT ReadWholeFile(const std::filesystem::path& file, std::string& text);

// Writes a temporary file in the same folder, fsyncs it and renames it over `file`: readers see
// the old file or the new one, never a part. The file keeps its permission bits (0600 when new).
HRESULT ReplaceFileAtomically(const std::filesystem::path& file, std::string_view text);

// Renames `file` to "<file>.corrupt-YYYYMMDD-HHMMSS" (with "-2", "-3", ... when taken).
HRESULT MoveFileAside(const std::filesystem::path& file, std::filesystem::path& movedTo);
