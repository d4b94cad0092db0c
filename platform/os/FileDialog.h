#pragma once
// The file and folder dialogs: open a file, save a file, choose a folder. The real dialog is
// Qt's own (not the desktop's, so that it looks and behaves the same everywhere and a check can
// keep it open); it runs through RunModalDialog, so with no screen it is cancelled at once.
// Tests install a handler (FileDialogRecorder) that records the request and answers.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class FileDialogKind { Open, Save, Folder };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    std::string title;
    std::string prompt;  // a line of instructions shown in the dialog (folder browsers have one)
    // The file types in the Windows form: "AVI files|*.avi;*.AVI|All files|*.*||".
    std::string filter;
    std::string initialFolder;
    std::string initialFile;       // a name in the initial folder, or a path
    std::string defaultExtension;  // saving: "avi" is added to a name typed without one
    bool fileMustExist = false;    // opening
    bool overwritePrompt = true;   // saving: ask before an existing file is replaced
    // Called with the chosen path on OK; false keeps the dialog open (the check has told the
    // person why), as the folder browser's check does.
    std::function<bool(const std::string& path)> validate;
};

// The chosen path, or nullopt when the dialog was cancelled. UI thread.
std::optional<std::string> RunFileDialog(const FileDialogRequest& request);

using FileDialogHandler = std::function<std::optional<std::string>(const FileDialogRequest&)>;
// Replaces the dialog; an empty handler brings it back. Returns the previous handler.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

// The Windows filter as Qt name filters: "AVI files|*.avi;*.AVI||" gives
// {"AVI files (*.avi *.AVI)"}; "*.*" matches every file, as it does there.
std::vector<std::string> FileDialogNameFilters(std::string_view filter);

// The object names of the real dialogs (ModalDialogAnswerer answers them by these).
inline constexpr const char* kFileDialogObjectName = "FileDialog";
inline constexpr const char* kFolderDialogObjectName = "FolderDialog";
