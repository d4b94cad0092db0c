#include "tests/components/mmsh/MmshTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <thread>

namespace mmsh_test {

LiveAsfWriter::LiveAsfWriter(std::filesystem::path file, int seconds, bool realTime) : file_(std::move(file)) {
    std::string duration = std::to_string(seconds);
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
    if (realTime) args.push_back("-re");
    for (const char* a : {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                          "sine=frequency=440:sample_rate=44100", "-c:v", "wmv2", "-b:v", "300k", "-g", "25",
                          "-c:a", "wmav2", "-b:a", "64k", "-t"})
        args.emplace_back(a);
    args.push_back(duration);
    for (const char* a : {"-flush_packets", "1", "-y"}) args.emplace_back(a);
    args.push_back(file_.string());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::execvp("ffmpeg", argv.data());
        ::_exit(127);
    }
}

LiveAsfWriter::~LiveAsfWriter() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool LiveAsfWriter::WaitForBytes(uint64_t bytes, std::chrono::milliseconds limit) const {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        std::error_code ec;
        if (std::filesystem::file_size(file_, ec) >= bytes && !ec) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int LiveAsfWriter::Wait(std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

bool MakeWmv(const std::filesystem::path& file, int seconds) {
    CommandResult made = Run("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i "
                             "sine=frequency=440:sample_rate=44100 -t " + std::to_string(seconds) +
                                 " -c:v wmv2 -b:v 300k -g 25 -c:a wmav2 -b:a 64k -y '" + file.string() + "'",
                             60);
    return made.status == 0 && std::filesystem::exists(file);
}

bool MakeMp3(const std::filesystem::path& file, int seconds, bool id3v1) {
    CommandResult made = Run("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:sample_rate=44100 -t " +
                                 std::to_string(seconds) + " -c:a libmp3lame -b:a 128k -metadata title=Tone " +
                                 (id3v1 ? "-write_id3v1 1 " : "") + "-y '" + file.string() + "'",
                             60);
    return made.status == 0 && std::filesystem::exists(file);
}

CommandResult Run(const std::string& command, int seconds) {
    CommandResult result;
    std::string line = "timeout -k 2 " + std::to_string(seconds) + " " + command + " 2>&1";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

int Connect(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

RawResponse Fetch(uint16_t port, const std::string& request, size_t bodyLimit, std::chrono::milliseconds limit) {
    RawResponse response;
    int fd = Connect(port);
    if (fd < 0) return response;
    (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    auto end = std::chrono::steady_clock::now() + limit;
    std::string received;
    size_t headEnd = std::string::npos;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(1, left.count()))) <= 0) continue;
        std::array<char, 65536> buffer;
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            response.closedByServer = true;
            break;
        }
        received.append(buffer.data(), static_cast<size_t>(n));
        if (headEnd == std::string::npos) headEnd = received.find("\r\n\r\n");
        if (headEnd != std::string::npos && received.size() - headEnd - 4 >= bodyLimit) break;
    }
    ::close(fd);
    if (headEnd == std::string::npos) {
        response.head = received;
    } else {
        response.head = received.substr(0, headEnd + 4);
        response.body.assign(received.begin() + static_cast<std::ptrdiff_t>(headEnd + 4), received.end());
    }
    if (response.head.starts_with("HTTP/1.")) response.status = std::atoi(response.head.c_str() + 9);
    return response;
}

bool SplitChunks(const std::vector<uint8_t>& body, std::vector<Chunk>& out, std::string& fault) {
    size_t at = 0;
    while (body.size() - at >= 4) {
        const uint8_t* p = body.data() + at;
        if (p[0] != '$') {
            fault = "no $ at " + std::to_string(at);
            return false;
        }
        size_t length = p[2] | p[3] << 8;
        if (body.size() - at - 4 < length) break;  // the read stopped inside this chunk
        Chunk chunk;
        chunk.type = static_cast<char>(p[1]);
        if (chunk.type == 'H' || chunk.type == 'D') {
            size_t second = p[10] | p[11] << 8;
            if (length < 8 || second != length) {
                fault = "length fields disagree at " + std::to_string(at);
                return false;
            }
            chunk.locationId = p[4] | p[5] << 8 | p[6] << 16 | static_cast<uint32_t>(p[7]) << 24;
            chunk.payload.assign(p + 12, p + 4 + length);
        } else if (chunk.type == 'E' || chunk.type == 'C') {
            if (length != 4) {
                fault = "$E/$C length is not 4";
                return false;
            }
        } else {
            fault = std::string("unexpected chunk type ") + chunk.type;
            return false;
        }
        out.push_back(std::move(chunk));
        at += 4 + length;
    }
    return true;
}

std::string DescribeRequest() {
    return "GET / HTTP/1.0\r\nAccept: */*\r\nUser-Agent: NSPlayer/7.10.0.3059\r\nHost: 127.0.0.1\r\n"
           "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,max-duration=0\r\n"
           "Pragma: xClientGUID={3300AD50-2C39-46c0-AE0A-70B0F5A9F0A1}\r\nConnection: Close\r\n\r\n";
}

std::string PlayRequest() {
    return "GET / HTTP/1.0\r\nAccept: */*\r\nUser-Agent: NSPlayer/7.10.0.3059\r\nHost: 127.0.0.1\r\n"
           "Pragma: no-cache,rate=1.000000,request-context=2\r\nPragma: xPlayStrm=1\r\n"
           "Pragma: xClientGUID={3300AD50-2C39-46c0-AE0A-70B0F5A9F0A1}\r\nPragma: stream-switch-count=2\r\n"
           "Pragma: stream-switch-entry=ffff:1:0 ffff:2:0 \r\nConnection: Close\r\n\r\n";
}

}  // namespace mmsh_test
