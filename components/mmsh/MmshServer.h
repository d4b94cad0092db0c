#pragma once
// Serves one growing ASF file as a live Windows Media HTTP streaming broadcast: every player gets
// the header, then the data packets from near the live edge, paced by their send times. At most
// `maxClients` players at once; others get "503 Service Unavailable". Runs its own thread with
// nonblocking sockets and poll(2); nothing a client does can stop that loop or grow its memory
// beyond the packet ring.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct MmshClientEvent {
    bool connected = false;  // false: the client left
    std::string address;     // dotted IPv4 address of that client
    // Every player connected after this event, in order of arrival.
    std::vector<std::string> addresses;
};

struct MmshServerOptions {
    std::filesystem::path file;
    std::string bindAddress = "0.0.0.0";
    uint16_t port = 0;  // 0: an ephemeral port (see Port())
    int maxClients = 1;
    // Called on the server thread when a player starts or stops receiving the stream. It must
    // not call Stop().
    std::function<void(const MmshClientEvent&)> onClientChange;

    size_t ringBytes = 8 * 1024 * 1024;
    std::chrono::milliseconds requestTimeout{10000};
    std::chrono::milliseconds stallTimeout{15000};
    std::chrono::milliseconds lingerTimeout{2000};
    std::chrono::milliseconds filePollInterval{20};
    // Connections still sending their request, beyond the players.
    int maxPendingConnections = 32;
};

class MmshServer {
public:
    explicit MmshServer(MmshServerOptions options);
    ~MmshServer();  // stops
    MmshServer(const MmshServer&) = delete;
    MmshServer& operator=(const MmshServer&) = delete;

    // Binds, listens and starts the server thread: 0, or the errno of the failing call.
    int Start();
    // Ends every connection (players get $E where a packet boundary allows) and joins the thread.
    void Stop();
    uint16_t Port() const { return port_; }

    // Thread-safe views of the server's state.
    int ClientCount() const;
    std::vector<std::string> ClientAddresses() const;
    bool SourceEnded() const { return sourceEnded_; }
    bool HeaderReady() const { return headerReady_; }

private:
    class Loop;

    MmshServerOptions options_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> sourceEnded_{false};
    std::atomic<bool> headerReady_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> addresses_;
};
