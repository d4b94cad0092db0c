#pragma once
// An owned Unix stream socket (close on destruction), nonblocking and close-on-exec, with the
// few calls the message windows need.
#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>

class UnixSocket {
public:
    UnixSocket() = default;
    explicit UnixSocket(int fd) : fd_(fd) {}
    UnixSocket(UnixSocket&& other) noexcept;
    UnixSocket& operator=(UnixSocket&& other) noexcept;
    UnixSocket(const UnixSocket&) = delete;
    UnixSocket& operator=(const UnixSocket&) = delete;
    ~UnixSocket() { Close(); }

    int Fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Close();

    // False when the path does not fit a socket address (it is never shortened).
    static bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address,
                            socklen_t& length);
    // Starts a connection: 0, or the errno (ECONNREFUSED: nobody listens there any more; EAGAIN:
    // the listener's queue is full; ENOENT: no such socket).
    static int Connect(const std::filesystem::path& path, UnixSocket& out);
    // Binds the path (failing with EADDRINUSE when the file exists) and listens: 0 or the errno.
    static int Listen(const std::filesystem::path& path, UnixSocket& out);
    // Accepts one waiting connection, nonblocking; -1 with errno when there is none.
    UnixSocket Accept() const;
    // The user id of the peer process, or -1.
    long PeerUid() const;
    // Like send(2) but never raises SIGPIPE.
    long Send(const void* data, size_t size) const;
    long Receive(void* data, size_t size) const;

private:
    int fd_ = -1;
};
