#include "platform/os/UnixSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <utility>

UnixSocket::UnixSocket(UnixSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UnixSocket& UnixSocket::operator=(UnixSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void UnixSocket::Close() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

bool UnixSocket::MakeAddress(const std::filesystem::path& path, sockaddr_un& address,
                             socklen_t& length) {
    const std::string& text = path.native();
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (text.empty() || text.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, text.data(), text.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + text.size() + 1);
    return true;
}

int UnixSocket::Connect(const std::filesystem::path& path, UnixSocket& out) {
    sockaddr_un address;
    socklen_t length = 0;
    if (!MakeAddress(path, address, length)) return ENAMETOOLONG;
    UnixSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket) return errno;
    int result;
    do {
        result = ::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), length);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return errno;
    out = std::move(socket);
    return 0;
}

int UnixSocket::Listen(const std::filesystem::path& path, UnixSocket& out) {
    sockaddr_un address;
    socklen_t length = 0;
    if (!MakeAddress(path, address, length)) return ENAMETOOLONG;
    UnixSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket) return errno;
    if (::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), length) != 0) return errno;
    if (::listen(socket.Fd(), 64) != 0) {
        int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    out = std::move(socket);
    return 0;
}

UnixSocket UnixSocket::Accept() const {
    int fd;
    do {
        fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return UnixSocket(fd);
}

long UnixSocket::PeerUid() const {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return -1;
    return static_cast<long>(credentials.uid);
}

long UnixSocket::Send(const void* data, size_t size) const {
    long sent;
    do {
        sent = ::send(fd_, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

long UnixSocket::Receive(void* data, size_t size) const {
    long got;
    do {
        got = ::recv(fd_, data, size, 0);
    } while (got < 0 && errno == EINTR);
    return got;
}
