#include "platform/os/WindowDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <tuple>

#include "platform/os/RuntimeFolder.h"
#include "platform/os/UnixSocket.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxRecordFile =
    3 * (WindowDirectory::kMaxClassName + WindowDirectory::kMaxTitle) + 64;

std::string HandleName(HWND handle) {
    char name[9];
    std::snprintf(name, sizeof name, "%08x", handle);
    return name;
}

std::optional<HWND> HandleFromName(std::string_view name, std::string_view suffix) {
    if (name.size() != 8 + suffix.size() || name.substr(8) != suffix) return std::nullopt;
    uint32_t value = 0;
    for (char c : name.substr(0, 8)) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (value == 0) return std::nullopt;
    return value;
}

// Control characters, '%' and DEL become %XX so that every field stays on its line.
std::string Escape(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == '%') {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        unsigned value = 0;
        auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3) return std::nullopt;
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

// "name=value" of the next line; advances `pos` past it.
std::optional<std::string_view> Field(const std::string& text, size_t& pos, std::string_view name) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) return std::nullopt;
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    if (line.size() <= name.size() || line.substr(0, name.size()) != name ||
        line[name.size()] != '=') {
        return std::nullopt;
    }
    return line.substr(name.size() + 1);
}

bool ReadSmallFile(const fs::path& file, std::string& text) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    text.assign(kMaxRecordFile + 1, '\0');
    size_t total = 0;
    while (total < text.size()) {
        ssize_t got = ::read(fd, text.data() + total, text.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<size_t>(got);
    }
    ::close(fd);
    text.resize(total);
    return total <= kMaxRecordFile;
}

}  // namespace

std::optional<WindowDirectory> WindowDirectory::Open() {
    auto folder = RuntimeFolder::Get();
    if (!folder) return std::nullopt;
    return WindowDirectory(*folder);
}

fs::path WindowDirectory::SocketPath(HWND handle) const {
    return folder_ / (HandleName(handle) + ".sock");
}

fs::path WindowDirectory::RecordPath(HWND handle) const {
    return folder_ / (HandleName(handle) + ".window");
}

std::string WindowDirectory::FormatRecord(const WindowRecord& record) {
    return "class=" + Escape(record.className) + "\ntitle=" + Escape(record.title) +
           "\npid=" + std::to_string(record.pid) + "\n";
}

std::optional<WindowRecord> WindowDirectory::ParseRecord(HWND handle, const std::string& text) {
    size_t pos = 0;
    auto className = Field(text, pos, "class");
    auto title = className ? Field(text, pos, "title") : std::nullopt;
    auto pid = title ? Field(text, pos, "pid") : std::nullopt;
    if (!pid || pos != text.size()) return std::nullopt;
    WindowRecord record;
    record.handle = handle;
    auto rawClass = Unescape(*className);
    auto rawTitle = Unescape(*title);
    if (!rawClass || !rawTitle || rawClass->empty() || rawClass->size() > kMaxClassName ||
        rawTitle->size() > kMaxTitle) {
        return std::nullopt;
    }
    record.className = std::move(*rawClass);
    record.title = std::move(*rawTitle);
    auto [end, error] = std::from_chars(pid->data(), pid->data() + pid->size(), record.pid);
    if (error != std::errc() || end != pid->data() + pid->size() || record.pid <= 0)
        return std::nullopt;
    return record;
}

HRESULT WindowDirectory::Publish(const WindowRecord& record) const {
    if (record.handle == 0 || record.className.empty() || record.className.size() > kMaxClassName ||
        record.title.size() > kMaxTitle) {
        return E_INVALIDARG;
    }
    std::string text = FormatRecord(record);
    fs::path target = RecordPath(record.handle);
    fs::path temporary = target.string() + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return HResultFromLastErrno();
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    int closeResult = ::close(fd);
    if (written != text.size() || closeResult != 0 ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        HRESULT hr = HResultFromLastErrno();
        ::unlink(temporary.c_str());
        return hr;
    }
    return S_OK;
}

std::optional<WindowRecord> WindowDirectory::Read(HWND handle) const {
    std::string text;
    if (!ReadSmallFile(RecordPath(handle), text)) return std::nullopt;
    return ParseRecord(handle, text);
}

std::vector<WindowRecord> WindowDirectory::List() const {
    std::vector<std::tuple<struct timespec, WindowRecord>> found;
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir)) {
        auto handle = HandleFromName(entry->d_name, ".window");
        if (!handle) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        if (auto record = Read(*handle)) found.emplace_back(info.st_mtim, std::move(*record));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        const timespec& ta = std::get<0>(a);
        const timespec& tb = std::get<0>(b);
        if (ta.tv_sec != tb.tv_sec) return ta.tv_sec > tb.tv_sec;
        if (ta.tv_nsec != tb.tv_nsec) return ta.tv_nsec > tb.tv_nsec;
        return std::get<1>(a).handle > std::get<1>(b).handle;
    });
    std::vector<WindowRecord> records;
    records.reserve(found.size());
    for (auto& entry : found) records.push_back(std::move(std::get<1>(entry)));
    return records;
}

void WindowDirectory::Remove(HWND handle) const {
    ::unlink(SocketPath(handle).c_str());
    ::unlink(RecordPath(handle).c_str());
}

WindowDirectory::Liveness WindowDirectory::Probe(HWND handle) const {
    UnixSocket socket;
    int error = UnixSocket::Connect(SocketPath(handle), socket);
    if (error == 0 || error == EAGAIN || error == EINPROGRESS) return Liveness::Alive;
    if (error == ECONNREFUSED || error == ENOENT) {
        Remove(handle);
        return Liveness::Gone;
    }
    return Liveness::Unknown;
}
