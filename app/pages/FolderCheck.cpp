#include "app/pages/FolderCheck.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "platform/os/FileDialog.h"
#include "platform/os/Folders.h"
#include "platform/os/MessageBox.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kInvalidFolder = "The output folder:\n\n%s\n\nis invalid or not specified!";
constexpr const char* kFolderNotCreated =
    "The output folder you selected:\n\n%s\n\ncan't be created! Please select a new one.";
constexpr const char* kCreateFolder =
    "The output folder you selected:\n\n%s\n\ndoesn't exist, do you want to create it?";
constexpr const char* kWarningCaption = "Important Warning!";

// The text with its "%s" replaced by `path` (a path is data, never a format).
std::string WithPath(const char* text, const std::string& path) {
    std::string out = text;
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, path);
    return out;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsValidComponent(const std::string& component) {
    if (component.empty()) return false;
    auto edge = [](char c) { return c == ' ' || c == '\t' || c == '.'; };
    if (edge(component.front()) || edge(component.back())) return false;
    for (unsigned char c : component) {
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
            case '"':
            case '*':
            case ':':
            case '<':
            case '>':
            case '?':
            case '\\':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

void ShowFolderMessage(int code, const std::string& path) {
    MessageBox(WithPath(code == kFolderPathNotCreated ? kFolderNotCreated : kInvalidFolder, path),
               "", MB_OK | MB_ICONEXCLAMATION);
}

// `folder` without "." and ".." steps and without a trailing "/" (the root keeps its one).
std::string Normal(const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// `folder` is `base` or lies in it, by whole components.
bool IsAtOrUnder(const std::string& folder, const std::string& base) {
    if (base.empty() || base == "/") return false;
    return folder == base || (folder.size() > base.size() && folder.compare(0, base.size(), base) == 0 &&
                              folder[base.size()] == '/');
}

std::string Resolved(const std::string& folder) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(folder, error);
    return error ? folder : Normal(resolved);
}

}  // namespace

int CheckFolderPath(const std::string& path, bool createMissing) {
    if (path.empty() || path.front() != '/') return kFolderPathInvalid;
    if (path == "/") {
        if (createMissing) return kFolderPathValid;
        return IsFolder(path) ? kFolderPathValid : kFolderPathNotCreated;
    }
    if (path.back() == '/') return kFolderPathInvalid;
    std::vector<std::string> components;
    for (size_t start = 1; start <= path.size();) {
        const size_t slash = path.find('/', start);
        components.push_back(path.substr(start, slash == std::string::npos ? slash : slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    // Every component is checked before anything is made: an invalid path makes no folders.
    for (const std::string& component : components) {
        if (!IsValidComponent(component)) return kFolderPathInvalid;
    }
    if (!createMissing) return kFolderPathValid;
    std::string folder;
    for (const std::string& component : components) {
        folder += "/" + component;
        if (!IsFolder(folder)) ::mkdir(folder.c_str(), 0777);
        if (!IsFolder(folder)) return kFolderPathNotCreated;
    }
    return kFolderPathValid;
}

bool AcceptOutputFolder(const std::string& path) {
    int code = CheckFolderPath(path, false);
    if (code != kFolderPathValid) {
        ShowFolderMessage(code, path);
        return false;
    }
    if (IsFolder(path)) return true;
    if (MessageBox(WithPath(kCreateFolder, path), "", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    code = CheckFolderPath(path, true);
    if (code != kFolderPathValid) {
        ShowFolderMessage(code, path);
        return false;
    }
    return true;
}

std::optional<std::string> BrowseForOutputFolder(const std::string& title,
                                                 const std::string& prompt,
                                                 const std::string& initialFolder) {
    FileDialogRequest request;
    request.kind = FileDialogKind::Folder;
    request.title = title;
    request.prompt = prompt;
    request.initialFolder = initialFolder;
    request.validate = AcceptOutputFolder;
    return RunFileDialog(request);
}

std::vector<std::string> SystemFolders() {
    return {GetWindowsFolder(), "/usr", "/etc", "/bin", "/sbin", "/lib", "/lib64", "/boot",
            "/opt", ORVANTA_INSTALL_PREFIX};
}

std::string SystemFolderOf(const std::string& folder) {
    const std::string lexical = Normal(folder);
    const std::string resolved = Resolved(lexical);
    if (lexical == "/" || resolved == "/") return "/";
    for (const std::string& system : SystemFolders()) {
        const std::string base = Normal(system);
        if (IsAtOrUnder(lexical, base) || IsAtOrUnder(resolved, Resolved(base))) return base;
    }
    return {};
}

std::string SystemFolderWarningText(const std::string& systemFolder, SystemFolderWarning kind) {
    std::string text =
        "You have selected the system partition '" + systemFolder +
        "' or its subfolder to save your output files. This will be forbidden by Windows Vista or "
        "higher Windows version for system security. We suggest that you'd better select another "
        "non-system folder to save the output files, or the conversion may be unsteady or failed.";
    if (kind == SystemFolderWarning::OkCancel)
        text += " Press OK to continue, or press CANCEL to select a new output folder first.";
    return text;
}

bool ConfirmOutputFolder(const std::string& folder, SystemFolderWarning kind, bool isVistaOrLater) {
    if (!isVistaOrLater) return true;
    const std::string system = SystemFolderOf(folder);
    if (system.empty()) return true;
    const UINT buttons = kind == SystemFolderWarning::OkCancel ? MB_OKCANCEL : MB_OK;
    const int answer =
        MessageBox(SystemFolderWarningText(system, kind), kWarningCaption, buttons | MB_ICONEXCLAMATION);
    return kind == SystemFolderWarning::InformOnly || answer != IDCANCEL;
}

bool ConfirmOutputFile(const std::string& file, SystemFolderWarning kind, bool isVistaOrLater) {
    const size_t slash = file.rfind('/');
    return ConfirmOutputFolder(slash == std::string::npos ? "." : file.substr(0, slash + 1), kind,
                               isVistaOrLater);
}
