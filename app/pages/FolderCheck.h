#pragma once
// The checks on the folders a person picks for output: whether a folder path can be used (and
// made), the folder browser that runs that check on OK, and the warning against saving into the
// system's own folders.
#include <optional>
#include <string>
#include <vector>

// Results of CheckFolderPath.
inline constexpr int kFolderPathValid = 0;
inline constexpr int kFolderPathInvalid = 1;
inline constexpr int kFolderPathNotCreated = 2;

// Whether `path` names a usable folder: absolute, "/" separators, no trailing "/" (the root
// "/" aside), every component non-empty, not beginning or ending with a blank, a tab or ".", and
// free of control characters and of " * : < > ? \ |. With `createMissing` the folder and its
// missing parents are made; kFolderPathNotCreated when the folder is then not there. A path that
// fails the rules is refused before anything is made.
int CheckFolderPath(const std::string& path, bool createMissing);

// The folder browser's OK: false keeps the browser open after telling the person why (an invalid
// path, a folder that cannot be made, or "No" to making a missing one); true accepts the folder,
// made when it was missing.
bool AcceptOutputFolder(const std::string& path);

// The folder browser (the platform's folder dialog) with AcceptOutputFolder on OK: the chosen
// folder, or nullopt when it was cancelled.
std::optional<std::string> BrowseForOutputFolder(const std::string& title,
                                                 const std::string& prompt,
                                                 const std::string& initialFolder);

// The system's own folders, in the order they are checked: the Windows folder, /usr, /etc, /bin,
// /sbin, /lib, /lib64, /boot, /opt and the install prefix. The root "/" counts only itself.
std::vector<std::string> SystemFolders();
// The system folder that `folder` is or lies in, compared by whole path components (and again
// with symbolic links resolved); empty when it is none of them.
std::string SystemFolderOf(const std::string& folder);

enum class SystemFolderWarning {
    OkCancel,    // OK goes on, Cancel aborts what asked
    InformOnly,  // an OK button only; aborts nothing
};

// Only when `isVistaOrLater`: shows the warning when `folder` is a system folder. False when the
// person pressed Cancel (the caller aborts the recording, the OK or the Browse), true otherwise.
bool ConfirmOutputFolder(const std::string& folder, SystemFolderWarning kind, bool isVistaOrLater);
// The same for a chosen file: its folder is checked.
bool ConfirmOutputFile(const std::string& file, SystemFolderWarning kind, bool isVistaOrLater);

// The warning's text for the system folder found.
std::string SystemFolderWarningText(const std::string& systemFolder, SystemFolderWarning kind);
