#include "app/network/WebDownload.h"

// libcurl rather than Qt Network: the download is synchronous on the UI thread, and curl's easy
// interface gives exactly that without a nested event loop; it also lets us turn off automatic
// redirects (we follow one ourselves), set separate connect and receive time-outs, stop a body at
// a size limit and read the raw response headers.
#include <curl/curl.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/os/Folders.h"

namespace {

const char* const kAcceptHeader =
    "Accept: audio/x-aiff, audio/basic, audio/midi, audio/mpeg, audio/wav, image/jpeg, image/gif, "
    "image/jpg, image/png, image/mng, image/bmp, text/plain, text/html, text/htm";
const char* const kUserAgentHeader = "User-Agent: GetWebFile/1.0";

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
template <typename T>
using CurlPtr = std::unique_ptr<T, CurlDeleter>;

bool CurlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

struct Response {
    long status = 0;
    std::string headers;
    std::string body;
    bool tooLong = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* response = static_cast<Response*>(user);
    // A header block of more than the body's limit is no answer to a version-file request.
    if (response->headers.size() + size * count > kMaxDownloadBytes) return 0;
    response->headers.append(data, size * count);
    return size * count;
}

struct BodySink {
    CURL* handle;
    Response* response;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    long status = 0;
    // Only a 200 body is kept; any other answer is complete once its status is known.
    if (curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) return 0;
    if (sink->response->body.size() + size * count > kMaxDownloadBytes) {
        sink->response->tooLong = true;
        return 0;
    }
    sink->response->body.append(data, size * count);
    return size * count;
}

// One GET of `url`. No value when the server could not be reached or the answer was cut short.
std::optional<Response> Get(const std::string& url, const std::string& agent, bool withUserAgentHeader,
                            const DownloadTimeouts& timeouts) {
    CurlPtr<curl_slist> headers(curl_slist_append(nullptr, kAcceptHeader));
    if (!headers || (withUserAgentHeader && !curl_slist_append(headers.get(), kUserAgentHeader))) {
        return std::nullopt;
    }
    for (int attempt = 0;; ++attempt) {
        CurlPtr<CURL> handle(curl_easy_init());
        if (!handle) return std::nullopt;
        Response response;
        BodySink sink{handle.get(), &response};
        CURL* h = handle.get();
        bool set = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long{timeouts.connectMs}) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long{timeouts.connectMs} + timeouts.receiveMs) ==
                       CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_HEADERDATA, &response) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
        if (!set) return std::nullopt;
        CURLcode result = curl_easy_perform(h);
        if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status) != CURLE_OK) response.status = 0;
        if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && response.status != 200)) return response;
        if (response.tooLong) return response;
        curl_off_t connected = 0;
        if (curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connected) != CURLE_OK) connected = 0;
        bool connectFailed = result == CURLE_COULDNT_CONNECT || (result == CURLE_OPERATION_TIMEDOUT && connected == 0);
        if (!connectFailed || attempt >= timeouts.connectRetries) {
            std::fprintf(stderr, "orvanta: download of %s failed: %s\n", url.c_str(), curl_easy_strerror(result));
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(timeouts.backoffMs));
    }
}

// The text after "Location:" in the raw headers, up to the end of its line; empty when absent.
std::string LocationOf(const std::string& headers) {
    size_t start = 0;
    while (start < headers.size()) {
        size_t end = headers.find('\n', start);
        if (end == std::string::npos) end = headers.size();
        std::string line = headers.substr(start, end - start);
        start = end + 1;
        if (line.size() < 9 || strncasecmp(line.c_str(), "location:", 9) != 0) continue;
        size_t first = line.find_first_not_of(" \t", 9);
        size_t last = line.find_last_not_of(" \t\r");
        return first == std::string::npos || last < first ? std::string() : line.substr(first, last - first + 1);
    }
    return {};
}

// `location` resolved against `base`; empty when it is no http(s) address.
std::string Resolve(const std::string& base, const std::string& location) {
    CurlPtr<CURLU> url(curl_url());
    if (!url || location.empty() || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, location.c_str(), CURLU_URLENCODE) != CURLUE_OK) {
        return {};
    }
    char* scheme = nullptr;
    char* full = nullptr;
    std::string result;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        (std::string_view(scheme) == "http" || std::string_view(scheme) == "https") &&
        curl_url_get(url.get(), CURLUPART_URL, &full, 0) == CURLUE_OK) {
        result = full;
    }
    curl_free(scheme);
    curl_free(full);
    return result;
}

std::string RequestUrl(const std::string& server, int port, const std::string& object) {
    CurlPtr<CURLU> url(curl_url());
    std::string path = object.starts_with('/') ? object : "/" + object;
    std::string portText = std::to_string(port);
    char* full = nullptr;
    std::string result;
    if (url && curl_url_set(url.get(), CURLUPART_SCHEME, "http", 0) == CURLUE_OK &&
        curl_url_set(url.get(), CURLUPART_HOST, server.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url.get(), CURLUPART_PORT, portText.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), CURLU_URLENCODE) == CURLUE_OK &&
        curl_url_get(url.get(), CURLUPART_URL, &full, 0) == CURLUE_OK) {
        result = full;
    }
    curl_free(full);
    return result;
}

// Writes `body` to a temporary file beside `file` and renames it over: the old file stays
// whole until the new one is complete.
bool SaveReplacing(const std::string& file, const std::string& body) {
    std::string temporary = file + ".part-XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        std::perror(("orvanta: cannot create " + temporary).c_str());
        return false;
    }
    size_t written = 0;
    while (written < body.size()) {
        ssize_t n = ::write(fd, body.data() + written, body.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    bool ok = written == body.size() && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), file.c_str()) == 0) return true;
    std::perror(("orvanta: cannot save " + file).c_str());
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace

std::string DownloadFileName(const std::string& object) {
    size_t slash = object.find_last_of('/');
    std::string name = slash == std::string::npos ? object : object.substr(slash + 1);
    return name == "." || name == ".." ? std::string() : name;
}

bool IsRefusedDownload(const std::string& object) {
    static constexpr std::array<std::string_view, 6> kRefused{"exe", "com", "dll", "bat", "sys", "inf"};
    for (std::string_view ending : kRefused) {
        if (object.ends_with(ending)) return true;
    }
    return false;
}

int DownloadWebFile(const std::string& agent, const std::string& server, int port, const std::string& object) {
    return DownloadWebFileTo(GetProgramFolder(), agent, server, port, object);
}

int DownloadWebFileTo(const std::string& folder, const std::string& agent, const std::string& server, int port,
                      const std::string& object, const DownloadTimeouts& timeouts) {
    std::string name = DownloadFileName(object);
    if (IsRefusedDownload(object) || name.empty() || folder.empty() || !CurlReady()) return 0;
    std::string url = RequestUrl(server, port, object);
    if (url.empty()) return 0;
    std::optional<Response> response = Get(url, agent, true, timeouts);
    if (!response) return 0;
    if (response->status == 301 || response->status == 302 || response->status == 303) {
        std::string target = Resolve(url, LocationOf(response->headers));
        if (target.empty()) return 0;
        response = Get(target, agent, false, timeouts);
        if (!response) return 0;
        if (response->status != 200) return static_cast<int>(response->status);
    }
    if (response->status != 200) return static_cast<int>(response->status);
    if (response->tooLong) {
        std::fprintf(stderr, "orvanta: %s is longer than %zu bytes; not saved\n", url.c_str(), kMaxDownloadBytes);
        return 0;
    }
    return SaveReplacing(folder + "/" + name, response->body) ? 200 : 0;
}
