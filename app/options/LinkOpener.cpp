#include "app/options/LinkOpener.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <filesystem>

#include <QApplication>

#include "platform/os/CommandLine.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Process.h"
#include "platform/os/ShellOpen.h"

namespace {

// The browser commands to try after the desktop's handler, in order.
std::vector<std::string> BrowserCommands() {
    std::vector<std::string> commands;
    if (const char* browser = std::getenv("BROWSER")) {
        std::string list = browser;
        size_t start = 0;
        while (start <= list.size()) {
            size_t colon = list.find(':', start);
            std::string entry = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
            if (!entry.empty()) commands.push_back(entry);
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    commands.push_back("x-www-browser");
    commands.push_back("xdg-open");
    return commands;
}

int CodeFromResult(HRESULT hr) {
    if (hr == HResultFromErrno(ENOENT)) return kLinkNoAssociation;
    if (hr == HResultFromErrno(EACCES) || hr == HResultFromErrno(EPERM)) return kLinkAccessDenied;
    if (hr == HResultFromErrno(ENOMEM)) return kLinkOutOfMemory;
    if (hr == HResultFromErrno(EAGAIN)) return kLinkOutOfResources;
    if (hr == E_INVALIDARG) return kLinkFileNotFound;
    // Anything else keeps its low bits, above the codes that have a text of their own.
    return static_cast<int>(hr & 0xFFFF) + 100;
}

// A target with no scheme is a local file; one that does not exist cannot be opened by anyone.
bool IsMissingFile(const std::string& target) {
    if (target.find(':') != std::string::npos) return false;
    std::error_code ignored;
    return !std::filesystem::exists(target, ignored);
}

}  // namespace

std::vector<std::string> BrowserArguments(const std::string& command, const std::string& target) {
    std::string head = command;
    size_t placeholder = command.find("%s");
    if (placeholder != std::string::npos) {
        size_t cut = placeholder;
        if (cut > 0 && (command[cut - 1] == '"' || command[cut - 1] == '\'')) --cut;
        head = command.substr(0, cut);
    }
    std::optional<std::vector<std::string>> arguments = SplitCommandLine(head);
    if (!arguments || arguments->empty()) return {};
    arguments->push_back(target);
    return *arguments;
}

int OpenLink(const std::string& target) {
    if (target.empty() || IsMissingFile(target)) return kLinkFileNotFound;
    HRESULT hr = ShellOpen(target);
    if (SUCCEEDED(hr)) return kLinkOpened;
    // A target that reads as an option would reach every handler as one; none may get it.
    if (target.front() == '-') return kLinkFileNotFound;
    for (const std::string& command : BrowserCommands()) {
        std::vector<std::string> arguments = BrowserArguments(command, target);
        if (arguments.empty()) continue;
        hr = StartProcess(arguments.front(), JoinCommandLine(arguments));
        if (SUCCEEDED(hr)) return kLinkOpened;
    }
    return CodeFromResult(hr);
}

bool OpenLinkOrTell(const std::string& target) {
    int result = OpenLink(target);
    if (result > 32) return true;
    QApplication::beep();
    MessageBox("Can't open link:\n\n" + LinkErrorReason(result), {}, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

std::string LinkErrorReason(int code) {
    switch (code) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28: return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
               "processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "Unknown Error (%d) occurred.", code);
        return text;
    }
    }
}
