#include "app/network/OnlineUpdate.h"

#include <QApplication>
#include <QGuiApplication>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/network/UpdateCheck.h"
#include "platform/os/Folders.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ShellOpen.h"

namespace {

const char* const kAgentName = "Orvanta Update";
const char* const kServerFile = "cmversion.txt";
const char* const kInstalledFile = "vertxt.ver";
const char* const kVersionTextFile = "fastversion.ini";
const char* const kDefaultVersionText = "Orvanta V6.0 Build 2100";

// The wait cursor for as long as the check runs (when there is a screen to show it on).
class WaitCursor {
public:
    WaitCursor() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (shown_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (shown_) QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool shown_;
};

// The shell has no window to maximise here: the browser decides how it shows the page.
void OpenPage(const std::string& page) {
    HRESULT hr = ShellOpen(page);
    if (FAILED(hr)) {
        std::fprintf(stderr, "orvanta: cannot open %s (error 0x%08X)\n", page.c_str(), static_cast<unsigned>(hr));
    }
}

}  // namespace

UpdateServer ConfiguredUpdateServer() {
    UpdateServer server{ORVANTA_UPDATE_HOST, 80};
    const char* overridden = std::getenv("ORVANTA_UPDATE_SERVER");
    if (!overridden || !*overridden) return server;
    std::string text = overridden;
    size_t colon = text.rfind(':');
    server.host = text.substr(0, colon);
    if (colon != std::string::npos) {
        char* end = nullptr;
        long port = std::strtol(text.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || port <= 0 || port > 65535) {
            std::fprintf(stderr, "orvanta: ORVANTA_UPDATE_SERVER has no valid port: %s\n", overridden);
            port = 80;
        }
        server.port = static_cast<int>(port);
    }
    return server;
}

std::optional<std::string> ReadFirstLine(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

long long VersionNumber(const std::string& line) {
    long long number = 0;
    for (char c : line) {
        if (c < '0' || c > '9') break;
        int digit = c - '0';
        if (number > (LLONG_MAX - digit) / 10) return LLONG_MAX;
        number = number * 10 + digit;
    }
    return number;
}

void CheckOnlineUpdateIn(const std::string& folder, const UpdateServer& server, const DownloadTimeouts& timeouts) {
    int result;
    {
        WaitCursor wait;
        result = DownloadWebFileTo(folder, kAgentName, server.host, server.port, kServerFile, timeouts);
    }
    if (result == 0) {
        MessageBox("Sorry, please make sure your computer is connected to the internet.", "Network Error",
                   MB_OK | MB_ICONERROR);
        return;
    }
    // Any answer but the file itself means there is nothing to compare: an older "cmversion.txt"
    // left in the folder says nothing about the server today.
    if (result != 200) {
        MessageBox(std::string("Upgrade-detect file on server is missing! You cannot upgrade your software "
                               "automatically now. Please contact us in time at this email address: ") +
                       ORVANTA_SUPPORT_EMAIL + ", Thank you!",
                   "Server Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::string serverLine = ReadFirstLine(folder + "/" + kServerFile).value_or(std::string());
    std::optional<std::string> installedLine = ReadFirstLine(folder + "/" + kInstalledFile);
    if (!installedLine) {
        MessageBox("Warning: Your system file is missing, Orvanta can not get the version information. We "
                   "suggest that you reinstall this software to fix it.",
                   "System file is missing", MB_OK | MB_ICONERROR);
        return;
    }
    if (VersionNumber(*installedLine) < VersionNumber(serverLine)) {
        MessageBox("Good news! Software has detected a newer version of Orvanta. We suggest that you upgrade your "
                   "Orvanta right now!",
                   "Result", MB_OK | MB_ICONINFORMATION);
        OpenHomePage();
        return;
    }
    MessageBox("Thank you for using Orvanta. Orvanta is currently up-to-date.", "Result", MB_OK | MB_ICONINFORMATION);
}

void CheckOnlineUpdate(QWidget* /*parent*/) {
    CheckOnlineUpdateIn(GetProgramFolder(), ConfiguredUpdateServer(), DownloadTimeouts{});
}

std::string HomePageAddress() { return ORVANTA_HOME_PAGE; }

std::string SupportPageAddress() { return ORVANTA_SUPPORT_PAGE; }

void OpenSupportPage() { OpenPage(SupportPageAddress()); }

void OpenHomePage() { OpenPage(HomePageAddress()); }

std::string InstalledVersionText() {
    return ReadFirstLine(GetProgramFolder() + "/" + kVersionTextFile).value_or(kDefaultVersionText);
}
