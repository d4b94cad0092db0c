#pragma once
// The windows of every process of this user, as files in the runtime folder: each window listens
// on "<handle>.sock" (eight hex digits) and describes itself in "<handle>.window" (class name,
// title, process id). A window whose process died leaves both files behind; Probe finds out by
// connecting (nobody accepts) and removes them.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/HResult.h"
#include "platform/os/WindowTypes.h"

struct WindowRecord {
    HWND handle = 0;
    std::string className;
    std::string title;
    pid_t pid = 0;
};

class WindowDirectory {
public:
    static constexpr size_t kMaxClassName = 256;
    static constexpr size_t kMaxTitle = 4096;

    explicit WindowDirectory(std::filesystem::path folder) : folder_(std::move(folder)) {}
    // The directory of the checked runtime folder; empty when that folder is not usable.
    static std::optional<WindowDirectory> Open();

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path SocketPath(HWND handle) const;
    std::filesystem::path RecordPath(HWND handle) const;

    // Writes the record atomically (a reader never sees half of it). E_INVALIDARG for a class
    // name or title above the limits.
    HRESULT Publish(const WindowRecord& record) const;
    std::optional<WindowRecord> Read(HWND handle) const;
    // Every readable record, most recently published first.
    std::vector<WindowRecord> List() const;
    // Removes the socket and the record of a window.
    void Remove(HWND handle) const;

    enum class Liveness { Alive, Gone, Unknown };
    // Connects to the window's socket: Alive when a listener is there, Gone (files removed) when
    // the socket is missing or nobody listens, Unknown for any other error.
    Liveness Probe(HWND handle) const;

    // The record text, and back (empty when malformed); exposed for tests.
    static std::string FormatRecord(const WindowRecord& record);
    static std::optional<WindowRecord> ParseRecord(HWND handle, const std::string& text);

private:
    std::filesystem::path folder_;
};
