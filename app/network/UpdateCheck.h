#pragma once
// The "Update Now!" check with everything it depends on spelled out, so that tests can point it
// at their own server, folder and time-outs. OnlineUpdate.h is what the about page calls.
#include <optional>
#include <string>

#include "app/network/WebDownload.h"

struct UpdateServer {
    std::string host;
    int port = 80;
};

// The build's update server, or the one $ORVANTA_UPDATE_SERVER names ("host" or "host:port").
UpdateServer ConfiguredUpdateServer();

// Downloads "cmversion.txt" from `server` into `folder`, compares it with `folder`/"vertxt.ver"
// and tells the user the result; opens the home page when the server's version is newer.
void CheckOnlineUpdateIn(const std::string& folder, const UpdateServer& server, const DownloadTimeouts& timeouts);

// The first line of a file without its line end; no value when the file cannot be read.
std::optional<std::string> ReadFirstLine(const std::string& file);
// The number the line starts with (its leading decimal digits); 0 when it starts with none.
long long VersionNumber(const std::string& line);

// The maker's pages, as this build knows them.
std::string HomePageAddress();
std::string SupportPageAddress();
