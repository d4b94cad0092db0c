#pragma once
// Web servers on loopback for the download tests: nginx with a private configuration in the test's
// folder, and two misbehaving servers nginx cannot play (one that never answers, one that cuts
// its answer short).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Loopback.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace loopback_servers {

// A listening socket on a free loopback port; -1 when none could be made. *port receives the port.
inline int Listen(uint16_t* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

inline bool CanConnect(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

// The kernel completes every connection (the listen backlog) but nobody ever reads or answers.
class SilentServer {
public:
    SilentServer() : fd_(Listen(&port_)) {}
    ~SilentServer() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Listening() const { return fd_ >= 0; }
    uint16_t Port() const { return port_; }

private:
    uint16_t port_ = 0;
    int fd_;
};

// Answers one request with `reply`, then closes the connection.
class OneReplyServer {
public:
    explicit OneReplyServer(std::string reply) : fd_(Listen(&port_)), reply_(std::move(reply)) {
        if (fd_ >= 0) thread_ = std::thread([this] { Serve(); });
    }
    ~OneReplyServer() {
        if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    bool Listening() const { return fd_ >= 0; }
    uint16_t Port() const { return port_; }

private:
    void Serve() {
        int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<size_t>(n));
        }
        size_t sent = 0;
        while (sent < reply_.size()) {
            ssize_t n = ::write(client, reply_.data() + sent, reply_.size() - sent);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        ::close(client);
    }

    uint16_t port_ = 0;
    int fd_;
    std::string reply_;
    std::thread thread_;
};

// nginx run as this user with its prefix, configuration, logs and pid file in `dir`, serving
// `servers` (each the body of one server block, listening on Port(i); "PORTi" in any of them
// stands for that port; fewer than ten servers).
class Nginx {
public:
    Nginx(const std::filesystem::path& dir, const std::vector<std::string>& servers) : dir_(dir) {
        for (size_t i = 0; i < servers.size(); ++i) ports_.push_back(testing_support::FreeLoopbackPort());
        if (!std::filesystem::exists("/usr/sbin/nginx")) return;
        std::filesystem::create_directories(dir_ / "tmp");
        std::ofstream conf(dir_ / "nginx.conf");
        conf << "daemon off;\nmaster_process off;\n"
             << "pid " << (dir_ / "nginx.pid").string() << ";\n"
             << "error_log " << (dir_ / "error.log").string() << ";\n"
             << "events { worker_connections 64; }\n"
             << "http {\n"
             << "  log_format orvanta '$server_port $request_method $request_uri $status \"$http_user_agent\" "
                "\"$http_accept\"';\n"
             << "  access_log " << AccessLogPath().string() << " orvanta;\n"
             << "  default_type text/plain;\n";
        for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
            conf << "  " << temp << "_temp_path " << (dir_ / "tmp" / temp).string() << ";\n";
        for (size_t i = 0; i < servers.size(); ++i) {
            std::string body = servers[i];
            for (size_t j = 0; j < servers.size(); ++j) {
                std::string name = "PORT" + std::to_string(j);
                for (size_t at; (at = body.find(name)) != std::string::npos;)
                    body.replace(at, name.size(), std::to_string(ports_[j]));
            }
            conf << "  server {\n    listen 127.0.0.1:" << ports_[i] << ";\n    " << body << "\n  }\n";
        }
        conf << "}\n";
        conf.close();
        std::vector<std::string> args{"/usr/sbin/nginx", "-p", dir_.string(), "-c", (dir_ / "nginx.conf").string(),
                                      "-e", (dir_ / "error.log").string()};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
        for (int i = 0; i < 250 && pid_ > 0 && !Listening(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ~Nginx() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    bool Listening() const {
        for (uint16_t port : ports_) {
            if (!CanConnect(port)) return false;
        }
        return pid_ > 0;
    }
    uint16_t Port(size_t server) const { return ports_.at(server); }
    std::filesystem::path AccessLogPath() const { return dir_ / "access.log"; }
    std::string AccessLog() const { return testing_support::ReadFile(AccessLogPath()); }
    std::string ErrorLog() const { return testing_support::ReadFile(dir_ / "error.log"); }

private:
    std::filesystem::path dir_;
    std::vector<uint16_t> ports_;
    pid_t pid_ = -1;
};

}  // namespace loopback_servers
