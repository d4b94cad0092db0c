#pragma once
// Serves media files to players at their real rate, in one of three modes (MmshAnswer.h):
// - LiveAsf: one growing ASF file as a live Windows Media HTTP streaming broadcast; every player
//   gets the header, then the data packets from near the live edge, paced by their send times.
// - AsfFile: one finished ASF file, from its first packet to its last, paced by the send times
//   from the moment the server starts; then every player gets $E.
// - Mp3Files: MP3 files over plain HTTP, frame by frame at the pace of the frames' durations;
//   PlayNext switches to another file on the same clock, and players stay connected across files.
// In the file modes a player that arrives early in a file gets it from its start.
// At most `maxClients` players at once; others get "503 Service Unavailable". Runs its own thread
// with nonblocking sockets and poll(2); nothing a client does can stop that loop or grow its
// memory beyond the packet ring.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/mmsh/MmshAnswer.h"

class Mp3FileSource;

struct MmshClientEvent {
    bool connected = false;  // false: the client left
    std::string address;     // dotted IPv4 address of that client
    // Every player connected after this event, in order of arrival.
    std::vector<std::string> addresses;
};

struct MmshServerOptions {
    std::filesystem::path file;
    MmshSourceMode mode = MmshSourceMode::LiveAsf;
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
    // File modes: how far into a file a new player still gets it from its first packet.
    std::chrono::milliseconds catchUp{3000};
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
    // Packets handed to the players so far (the broadcast has begun once one has).
    uint64_t PacketsReleased() const { return released_; }
    // File modes: the current file has been served whole to every player (also when there were
    // none); reset by PlayNext.
    bool FileServed() const { return fileServed_; }
    // The file cannot be served (unreadable, not an ASF file the server can pace).
    bool SourceFailed() const { return sourceFailed_; }

    // Mp3Files: plays `file` from now on, on the clock of the file before; false (the current
    // file plays on) when it cannot be opened or the server is in another mode.
    bool PlayNext(const std::filesystem::path& file);

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
    std::atomic<uint64_t> released_{0};
    std::atomic<bool> fileServed_{false};
    std::atomic<bool> sourceFailed_{false};
    // PlayNext's file for the server thread; guarded by mutex_.
    std::unique_ptr<Mp3FileSource> nextMp3_;
    mutable std::mutex mutex_;
    std::vector<std::string> addresses_;
};
