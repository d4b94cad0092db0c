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
#include "components/mmsh/Mp3FileSource.h"
#include "components/mmsh/PacketRing.h"

namespace {
using Clock = std::chrono::steady_clock;

// Packets released per loop turn, so a long backlog never starves the sockets.
constexpr int kMaxReleasesPerTurn = 256;
constexpr int kMaxAcceptsPerTurn = 64;

// An MP3 frame in the form the loop paces and the ring holds.
AsfFilePacket FromMp3(Mp3Packet&& frame, uint64_t index) {
    AsfFilePacket packet;
    packet.index = index;
    packet.info.valid = true;
    packet.info.sendTimeMs = static_cast<uint32_t>(frame.startUs / 1000);
    packet.bytes = std::move(frame.bytes);
    return packet;
}

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
        CheckServed();
        WaitAndHandle(now);
    }

    void PollFile(Clock::time_point now) {
        switch (options_.mode) {
        case MmshSourceMode::LiveAsf: {
            AsfFileFollower::State before = follower_.CurrentState();
            AsfFileFollower::State state = follower_.Poll();
            if (before == AsfFileFollower::State::WaitingForHeader && state == AsfFileFollower::State::Following)
                JoinLiveEdge(now);
            if (follower_.Exhausted() && !held_) server_.sourceEnded_ = true;
            return;
        }
        case MmshSourceMode::AsfFile: {
            AsfFileFollower::State state = follower_.Poll();
            if (state == AsfFileFollower::State::Following) {
                follower_.TakeAsFinished();
                state = follower_.CurrentState();
            }
            // A finished file that shows no header now never will.
            if (state == AsfFileFollower::State::Failed || state == AsfFileFollower::State::WaitingForHeader)
                server_.sourceFailed_ = true;
            // A finished file goes from waiting straight to ended: its header is there either way.
            if (!server_.headerReady_ && state != AsfFileFollower::State::WaitingForHeader &&
                state != AsfFileFollower::State::Failed) {
                headerChunk_ = mmsh_framing::HeaderChunk(follower_.Header().broadcastCopy);
                server_.headerReady_ = true;
            }
            if (follower_.Exhausted() && !held_) server_.sourceEnded_ = true;
            return;
        }
        case MmshSourceMode::Mp3Files:
            PollMp3();
            return;
        }
    }

    void PollMp3() {
        if (!mp3_) {
            mp3_ = std::make_unique<Mp3FileSource>(options_.file, 0);
            if (!mp3_->Open()) server_.sourceFailed_ = true;
            server_.headerReady_ = true;
            BeginFile();
        }
        std::lock_guard lock(server_.mutex_);
        if (server_.nextMp3_) {
            // The new file starts where the clock stands: at the frame that was due next.
            int64_t clock = held_ ? heldStartUs_ : mp3_->PositionUs();
            mp3_ = std::move(server_.nextMp3_);
            mp3_->Rebase(clock);
            if (held_) nextPacketIndex_ = held_->index;  // the ring wants consecutive numbers
            held_.reset();
            BeginFile();
        }
    }

    void BeginFile() {
        fileStartIndex_ = nextPacketIndex_;
        fileStarted_ = false;
    }

    std::optional<AsfFilePacket> NextFromSource() {
        if (options_.mode != MmshSourceMode::Mp3Files) return follower_.Next();
        if (!mp3_) return std::nullopt;
        std::optional<Mp3Packet> frame = mp3_->Next();
        if (!frame) return std::nullopt;
        heldStartUs_ = frame->startUs;
        return FromMp3(std::move(*frame), nextPacketIndex_++);
    }

    // Where a player arriving now starts: early in a file, at its first packet.
    uint64_t JoinIndex() const {
        if (options_.mode != MmshSourceMode::LiveAsf && fileStarted_ && ring_.BeginIndex() <= fileStartIndex_ &&
            static_cast<int32_t>(lastReleasedMs_ - fileStartMs_) <= options_.catchUp.count())
            return fileStartIndex_;
        return ring_.JoinIndex();
    }

    // File modes: the file is out and every player has all of it (players of an ASF file have
    // their $E and are gone; MP3 players stay for the next file).
    void CheckServed() {
        if (options_.mode == MmshSourceMode::LiveAsf || server_.fileServed_) return;
        bool served = false;
        if (options_.mode == MmshSourceMode::AsfFile) {
            served = (server_.sourceEnded_ || server_.sourceFailed_) && PlayerCount() == 0;
        } else if (mp3_ && mp3_->Exhausted() && !held_) {
            served = std::all_of(slots_.begin(), slots_.end(),
                                 [&](const Slot& s) { return !s.player || s.connection->CaughtUp(ring_); });
        }
        if (!served) return;
        std::lock_guard lock(server_.mutex_);
        if (!server_.nextMp3_) server_.fileServed_ = true;
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
            if (!held_) held_ = NextFromSource();
            if (!held_) return;
            if (!pacer_.IsDue(held_->info.sendTimeMs, now)) return;
            lastReleasedMs_ = held_->info.sendTimeMs;
            if (!fileStarted_) {
                fileStarted_ = true;
                fileStartIndex_ = held_->index;
                fileStartMs_ = lastReleasedMs_;
            }
            ring_.Push(ToLive(std::move(*held_)));
            held_.reset();
            ++server_.released_;
        }
    }

    int PlayerCount() const {
        return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.player; }));
    }

    void Dispatch(Slot& slot) {
        MmshConnection& c = *slot.connection;
        if (c.Parser().State() == MmshParseState::NeedMore) return;
        MmshServingState state;
        state.mode = options_.mode;
        state.headerReady = server_.headerReady_ && !server_.sourceFailed_;
        state.sourceEnded = server_.sourceEnded_;
        state.players = PlayerCount();
        state.maxClients = options_.maxClients;
        MmshAnswer answer = ChooseMmshAnswer(c.Parser().State(), c.Parser().Request(), state);
        switch (answer) {
        case MmshAnswer::BadRequest:
            c.Answer(mmsh_framing::EmptyHead(400, "Bad Request"), {});
            return;
        case MmshAnswer::TooLarge:
            c.Answer(mmsh_framing::EmptyHead(431, "Request Header Fields Too Large"), {});
            return;
        case MmshAnswer::NotImplemented:
            c.Answer(mmsh_framing::EmptyHead(501, "Not Implemented"), {});
            return;
        case MmshAnswer::Logged:
            c.Answer(mmsh_framing::EmptyHead(200, "OK"), {});
            return;
        case MmshAnswer::Unavailable:
            c.Answer(mmsh_framing::EmptyHead(503, "Service Unavailable"), {});
            return;
        case MmshAnswer::Header:
            c.Answer(mmsh_framing::DescribeHead(c.ClientId(), headerChunk_.size()), headerChunk_);
            return;
        case MmshAnswer::FramedStream:
            c.Stream(mmsh_framing::PlayHead(c.ClientId()), headerChunk_, JoinIndex(), true);
            break;
        case MmshAnswer::AsfDownload:
            c.Stream(mmsh_framing::DownloadHead(), follower_.Header().broadcastCopy, JoinIndex(), false);
            break;
        case MmshAnswer::Mp3Stream:
            c.Stream(mmsh_framing::Mp3StreamHead(), {}, JoinIndex(), false);
            break;
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
    // Mp3Files: the file playing now; packet numbers run on across files.
    std::unique_ptr<Mp3FileSource> mp3_;
    uint64_t nextPacketIndex_ = 0;
    int64_t heldStartUs_ = 0;
    // File modes: the current file's first released packet, and the newest one's send time.
    bool fileStarted_ = false;
    uint64_t fileStartIndex_ = 0;
    uint32_t fileStartMs_ = 0;
    uint32_t lastReleasedMs_ = 0;
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

bool MmshServer::PlayNext(const std::filesystem::path& file) {
    if (options_.mode != MmshSourceMode::Mp3Files) return false;
    auto next = std::make_unique<Mp3FileSource>(file, 0);
    if (!next->Open()) return false;
    {
        std::lock_guard lock(mutex_);
        nextMp3_ = std::move(next);
        fileServed_ = false;
    }
    // The loop picks it up at its next look at the source, a few milliseconds away.
    return true;
}

int MmshServer::ClientCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(addresses_.size());
}

std::vector<std::string> MmshServer::ClientAddresses() const {
    std::lock_guard lock(mutex_);
    return addresses_;
}
