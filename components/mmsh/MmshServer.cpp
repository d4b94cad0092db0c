#include "components/mmsh/MmshServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

#include "components/mmsh/AsfFileFollower.h"
#include "components/mmsh/LivePacer.h"
#include "components/mmsh/MmshConnection.h"
#include "components/mmsh/MmshFraming.h"
#include "components/mmsh/PacketRing.h"

namespace {
using Clock = std::chrono::steady_clock;

// Packets released per loop turn, so a long backlog never starves the sockets.
constexpr int kMaxReleasesPerTurn = 256;
constexpr int kMaxAcceptsPerTurn = 64;

std::shared_ptr<const LivePacket> ToLive(AsfFilePacket&& packet) {
    auto live = std::make_shared<LivePacket>();
    live->index = packet.index;
    live->startsKeyFrame = packet.info.startsKeyFrame;
    live->bytes = std::move(packet.bytes);
    return live;
}
}  // namespace

// Everything the server thread owns; lives and dies on that thread.
class MmshServer::Loop {
public:
    explicit Loop(MmshServer& server)
        : server_(server), options_(server.options_), follower_(options_.file), ring_(options_.ringBytes) {}

    void Run() {
        while (!server_.stopping_) {
            try {
                Turn();
            } catch (...) {
                // One bad turn (out of memory, a throwing callback) must not end the broadcast.
            }
        }
        for (Slot& slot : slots_) {
            slot.connection->Shutdown();
            if (slot.player) ReportLeft(slot);
        }
        slots_.clear();
    }

private:
    struct Slot {
        std::unique_ptr<MmshConnection> connection;
        bool player = false;
    };

    void Turn() {
        Clock::time_point now = Clock::now();
        if (now >= nextFilePoll_) {
            PollFile(now);
            nextFilePoll_ = now + options_.filePollInterval;
        }
        ReleaseDuePackets(now);
        for (Slot& slot : slots_)
            if (!slot.connection->Blocked()) slot.connection->Pump(ring_, server_.sourceEnded_, now);
        Sweep(now);
        WaitAndHandle(now);
    }

    void PollFile(Clock::time_point now) {
        AsfFileFollower::State before = follower_.CurrentState();
        AsfFileFollower::State state = follower_.Poll();
        if (before == AsfFileFollower::State::WaitingForHeader && state == AsfFileFollower::State::Following)
            JoinLiveEdge(now);
        if (follower_.Exhausted() && !held_) server_.sourceEnded_ = true;
    }

    // The header has just appeared: keep what the ring can hold of the packets already written, and
    // count time from the newest of them, so players start at the writer's live edge.
    void JoinLiveEdge(Clock::time_point now) {
        const AsfHeader& header = follower_.Header();
        headerChunk_ = mmsh_framing::HeaderChunk(header.broadcastCopy);
        server_.headerReady_ = true;
        uint64_t complete = follower_.CompletePackets();
        uint64_t keep = std::max<uint64_t>(1, options_.ringBytes / header.packetSize);
        follower_.SkipTo(complete > keep ? complete - keep : 0);
        std::optional<uint32_t> lastSendTime;
        while (follower_.NextIndex() < complete) {
            std::optional<AsfFilePacket> packet = follower_.Next();
            if (!packet) break;
            lastSendTime = packet->info.sendTimeMs;
            ring_.Push(ToLive(std::move(*packet)));
        }
        if (lastSendTime) pacer_.Anchor(*lastSendTime, now);
    }

    void ReleaseDuePackets(Clock::time_point now) {
        for (int i = 0; i < kMaxReleasesPerTurn; ++i) {
            if (!held_) held_ = follower_.Next();
            if (!held_) return;
            if (!pacer_.IsDue(held_->info.sendTimeMs, now)) return;
            ring_.Push(ToLive(std::move(*held_)));
            held_.reset();
        }
    }

    int PlayerCount() const {
        return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.player; }));
    }

    void Dispatch(Slot& slot) {
        MmshConnection& c = *slot.connection;
        switch (c.Parser().State()) {
        case MmshParseState::NeedMore:
            return;
        case MmshParseState::Malformed:
            c.Answer(mmsh_framing::EmptyHead(400, "Bad Request"), {});
            return;
        case MmshParseState::TooLarge:
            c.Answer(mmsh_framing::EmptyHead(431, "Request Header Fields Too Large"), {});
            return;
        case MmshParseState::NotSupported:
            c.Answer(mmsh_framing::EmptyHead(501, "Not Implemented"), {});
            return;
        case MmshParseState::Complete:
            break;
        }
        const MmshRequest& request = c.Parser().Request();
        if (request.kind == MmshRequestKind::Log) {
            c.Answer(mmsh_framing::EmptyHead(200, "OK"), {});
            return;
        }
        if (!server_.headerReady_ || server_.sourceEnded_ || PlayerCount() >= options_.maxClients) {
            c.Answer(mmsh_framing::EmptyHead(503, "Service Unavailable"), {});
            return;
        }
        switch (request.kind) {
        case MmshRequestKind::Describe:
            c.Answer(mmsh_framing::DescribeHead(c.ClientId(), headerChunk_.size()), headerChunk_);
            return;
        case MmshRequestKind::Play:
            c.Stream(mmsh_framing::PlayHead(c.ClientId()), headerChunk_, ring_.JoinIndex(), true);
            break;
        case MmshRequestKind::Download:
            c.Stream(mmsh_framing::DownloadHead(), follower_.Header().broadcastCopy, ring_.JoinIndex(), false);
            break;
        case MmshRequestKind::Log:
            return;
        }
        slot.player = true;
        ReportJoined(slot);
    }

    void ReportJoined(const Slot& slot) {
        MmshClientEvent event;
        event.connected = true;
        event.address = slot.connection->Address();
        {
            std::lock_guard lock(server_.mutex_);
            server_.addresses_.push_back(event.address);
            event.addresses = server_.addresses_;
        }
        if (options_.onClientChange) options_.onClientChange(event);
    }

    void ReportLeft(const Slot& slot) {
        MmshClientEvent event;
        event.address = slot.connection->Address();
        {
            std::lock_guard lock(server_.mutex_);
            auto it = std::find(server_.addresses_.begin(), server_.addresses_.end(), event.address);
            if (it != server_.addresses_.end()) server_.addresses_.erase(it);
            event.addresses = server_.addresses_;
        }
        if (options_.onClientChange) options_.onClientChange(event);
    }

    // Time-outs, players that stopped being players, closed connections.
    void Sweep(Clock::time_point now) {
        for (Slot& slot : slots_) {
            slot.connection->CheckTimeouts(now, options_.requestTimeout, options_.stallTimeout, options_.lingerTimeout);
            if (slot.player && slot.connection->CurrentPhase() != MmshConnection::Phase::Streaming) {
                slot.player = false;
                ReportLeft(slot);
            }
        }
        std::erase_if(slots_, [](const Slot& s) { return s.connection->CurrentPhase() == MmshConnection::Phase::Done; });
    }

    void Accept(Clock::time_point now) {
        for (int i = 0; i < kMaxAcceptsPerTurn; ++i) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            int fd = ::accept4(server_.listenFd_, reinterpret_cast<sockaddr*>(&peer), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;  // EAGAIN, or a connection that died in the queue
            char text[INET_ADDRSTRLEN] = {};
            if (peer.sin_family != AF_INET || !::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text)) text[0] = 0;
            size_t limit = static_cast<size_t>(std::max(0, options_.maxClients) + options_.maxPendingConnections);
            if (slots_.size() >= limit) {
                std::string refusal = mmsh_framing::EmptyHead(503, "Service Unavailable");
                (void)::send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                ::close(fd);
                continue;
            }
            slots_.push_back({std::make_unique<MmshConnection>(fd, text, nextClientId_++, now), false});
        }
    }

    void WaitAndHandle(Clock::time_point now) {
        std::vector<pollfd> fds;
        fds.reserve(slots_.size() + 2);
        fds.push_back({server_.wakeFd_, POLLIN, 0});
        fds.push_back({server_.listenFd_, POLLIN, 0});
        for (const Slot& slot : slots_) fds.push_back({slot.connection->Fd(), slot.connection->PollEvents(), 0});

        Clock::time_point wakeAt = nextFilePoll_;
        if (held_ && pacer_.Anchored()) wakeAt = std::min(wakeAt, pacer_.DueTime(held_->info.sendTimeMs));
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - now).count();
        int timeout = static_cast<int>(std::clamp<long long>(wait, 0, 100));
        int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready <= 0) return;

        if (fds[0].revents & POLLIN) {
            uint64_t value = 0;
            (void)::read(server_.wakeFd_, &value, sizeof value);
        }
        Clock::time_point after = Clock::now();
        // Slots accepted below are not in `fds`; handle only those polled.
        size_t polled = slots_.size();
        for (size_t i = 0; i < polled; ++i) {
            short revents = fds[i + 2].revents;
            if (revents == 0) continue;
            Slot& slot = slots_[i];
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                slot.connection->OnReadable();
                if (slot.connection->CurrentPhase() == MmshConnection::Phase::Request) Dispatch(slot);
            }
            if ((revents & POLLOUT) && slot.connection->Blocked())
                slot.connection->Pump(ring_, server_.sourceEnded_, after);
        }
        if (fds[1].revents & POLLIN) Accept(after);
    }

    MmshServer& server_;
    const MmshServerOptions& options_;
    AsfFileFollower follower_;
    PacketRing ring_;
    LivePacer pacer_;
    std::optional<AsfFilePacket> held_;  // read from the file, not yet due
    std::vector<uint8_t> headerChunk_;
    std::vector<Slot> slots_;
    uint32_t nextClientId_ = 1;
    Clock::time_point nextFilePoll_{};
};

MmshServer::MmshServer(MmshServerOptions options) : options_(std::move(options)) {}

MmshServer::~MmshServer() { Stop(); }

int MmshServer::Start() {
    if (thread_.joinable()) return EALREADY;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.bindAddress.c_str(), &address.sin_addr) != 1) return EINVAL;

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return errno;
    int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        int error = errno;
        ::close(listenFd_);
        listenFd_ = -1;
        return error;
    }
    port_ = ntohs(address.sin_port);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        int error = errno;
        ::close(listenFd_);
        listenFd_ = -1;
        return error;
    }
    stopping_ = false;
    thread_ = std::thread([this] { Loop(*this).Run(); });
    return 0;
}

void MmshServer::Stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        uint64_t one = 1;
        (void)::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
    listenFd_ = wakeFd_ = -1;
}

int MmshServer::ClientCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(addresses_.size());
}

std::vector<std::string> MmshServer::ClientAddresses() const {
    std::lock_guard lock(mutex_);
    return addresses_;
}
