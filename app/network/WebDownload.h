#pragma once
// Fetching one small file from a web server into a folder.
#include <string>

// The time-outs of a download. Tests shorten them; the defaults are the program's.
struct DownloadTimeouts {
    int connectMs = 30000;  // to reach the server
    int backoffMs = 1000;   // pause before the retry of a refused or timed-out connection
    int connectRetries = 1;
    int receiveMs = 30000;  // for the whole answer once connected
};

// The largest body a download keeps; a longer one fails (a version file is a line).
inline constexpr size_t kMaxDownloadBytes = 64 * 1024;

// GET http://server:port/object. 0 when the object's name is refused (it names a program or
// system file, or has no file name), when the server cannot be reached, the answer is cut, too
// long or cannot be saved, or a redirect cannot be followed; otherwise the final HTTP status.
// On 200 the body is saved as program folder + "/" + the object's file name (the part after its
// last "/"), replacing the old file in one step. One redirect (301, 302, 303) is followed; the
// status after it is returned as it is.
int DownloadWebFile(const std::string& agent, const std::string& server, int port, const std::string& object);
// The same into `folder`, with the given time-outs.
int DownloadWebFileTo(const std::string& folder, const std::string& agent, const std::string& server, int port,
                      const std::string& object, const DownloadTimeouts& timeouts = {});

// The object's local file name: the part after its last "/"; empty when there is none ("", "a/",
// ".", "..").
std::string DownloadFileName(const std::string& object);
// True for object names that are never downloaded: those ending in "exe", "com", "dll", "bat",
// "sys" or "inf".
bool IsRefusedDownload(const std::string& object);
