#include "components/mmsh/MmshConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

MmshConnection::MmshConnection(int fd, std::string address, uint32_t clientId, Clock::time_point now)
    : fd_(fd), address_(std::move(address)), clientId_(clientId), since_(now), lastProgress_(now) {}

MmshConnection::~MmshConnection() { Close(); }

void MmshConnection::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    phase_ = Phase::Done;
    current_.reset();
    pending_.clear();
}

short MmshConnection::PollEvents() const {
    if (phase_ == Phase::Done) return 0;
    short events = peerClosed_ ? 0 : POLLIN;
    if (blocked_) events |= POLLOUT;
    return events;
}

bool MmshConnection::CaughtUp(const PacketRing& ring) const {
    return phase_ == Phase::Streaming && !blocked_ && !current_ && pendingSent_ == 0 && pending_.empty() &&
           nextIndex_ >= ring.EndIndex();
}

void MmshConnection::OnReadable() {
    std::array<char, 4096> buffer;
    for (int round = 0; round < 16 && fd_ >= 0; ++round) {
        ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) Close();
            return;
        }
        if (n == 0) {
            // A half-close is allowed for a player still taking data; anything else is over (a
            // second end of file only comes with a hang-up, the socket being closed both ways).
            if (peerClosed_ || (phase_ != Phase::Streaming && phase_ != Phase::Answering)) Close();
            peerClosed_ = true;
            return;
        }
        if (phase_ == Phase::Request) {
            if (parser_.Feed(std::span<const char>(buffer.data(), static_cast<size_t>(n))) !=
                MmshParseState::NeedMore)
                return;  // the server answers; later bytes are drained by the next phase
        }
    }
}

void MmshConnection::Answer(std::string head, std::span<const uint8_t> body) {
    pending_.assign(head.begin(), head.end());
    pending_.insert(pending_.end(), body.begin(), body.end());
    pendingSent_ = 0;
    phase_ = Phase::Answering;
}

void MmshConnection::Stream(std::string head, std::span<const uint8_t> body, uint64_t fromIndex, bool framed) {
    Answer(std::move(head), body);
    phase_ = Phase::Streaming;
    framed_ = framed;
    nextIndex_ = fromIndex;
}

bool MmshConnection::SendPending(Clock::time_point now) {
    while (pendingSent_ < pending_.size()) {
        ssize_t n = ::send(fd_, pending_.data() + pendingSent_, pending_.size() - pendingSent_, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                blocked_ = true;
                return false;
            }
            Close();
            return false;
        }
        pendingSent_ += static_cast<size_t>(n);
        lastProgress_ = now;
    }
    pending_.clear();
    pending_.shrink_to_fit();
    pendingSent_ = 0;
    return true;
}

bool MmshConnection::SendPacket(Clock::time_point now) {
    const size_t total = prefixSize_ + current_->bytes.size();
    while (currentSent_ < total) {
        iovec parts[2];
        int count = 0;
        if (currentSent_ < prefixSize_) {
            parts[count++] = {prefix_.data() + currentSent_, prefixSize_ - currentSent_};
            parts[count++] = {const_cast<uint8_t*>(current_->bytes.data()), current_->bytes.size()};
        } else {
            size_t at = currentSent_ - prefixSize_;
            parts[count++] = {const_cast<uint8_t*>(current_->bytes.data()) + at, current_->bytes.size() - at};
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<size_t>(count);
        ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                blocked_ = true;
                return false;
            }
            Close();
            return false;
        }
        currentSent_ += static_cast<size_t>(n);
        lastProgress_ = now;
    }
    current_.reset();
    return true;
}

void MmshConnection::Pump(const PacketRing& ring, bool sourceEnded, Clock::time_point now) {
    if (fd_ < 0 || phase_ == Phase::Request || phase_ == Phase::Lingering || phase_ == Phase::Done) return;
    blocked_ = false;
    if (!SendPending(now)) return;
    if (phase_ == Phase::Answering) {
        BeginLinger(now);
        return;
    }
    // Streaming: one packet in flight at a time, straight from the shared ring.
    for (;;) {
        if (current_ && !SendPacket(now)) return;
        if (nextIndex_ < ring.BeginIndex()) {
            // Fell out of the ring: skip ahead to where a new client would join.
            uint64_t join = ring.JoinIndex();
            skipped_ += join - nextIndex_;
            nextIndex_ = join;
        }
        current_ = ring.At(nextIndex_);
        if (!current_) break;
        prefixSize_ = 0;
        if (framed_) {
            prefix_ = mmsh_framing::DataPrefix(static_cast<uint32_t>(nextIndex_), current_->bytes.size());
            prefixSize_ = prefix_.size();
        }
        currentSent_ = 0;
        ++nextIndex_;
    }
    if (sourceEnded) {
        if (framed_) {
            auto end = mmsh_framing::EndChunk();
            pending_.assign(end.begin(), end.end());
            pendingSent_ = 0;
        }
        phase_ = Phase::Answering;
        if (SendPending(now)) BeginLinger(now);
    }
}

void MmshConnection::BeginLinger(Clock::time_point now) {
    if (fd_ < 0) return;
    ::shutdown(fd_, SHUT_WR);
    phase_ = Phase::Lingering;
    since_ = now;
    blocked_ = false;
    if (peerClosed_) Close();
}

void MmshConnection::Shutdown() {
    if (fd_ < 0) return;
    if (phase_ == Phase::Streaming && framed_ && !current_ && pendingSent_ == 0) {
        auto end = mmsh_framing::EndChunk();
        (void)::send(fd_, end.data(), end.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    Close();
}

void MmshConnection::CheckTimeouts(Clock::time_point now, Clock::duration requestTimeout,
                                   Clock::duration stallTimeout, Clock::duration lingerTimeout) {
    switch (phase_) {
    case Phase::Request:
        if (now - since_ > requestTimeout) Close();
        break;
    case Phase::Lingering:
        if (now - since_ > lingerTimeout) Close();
        break;
    case Phase::Answering:
    case Phase::Streaming:
        // A client that takes no bytes for this long while we have some for it has gone.
        if (blocked_ && now - lastProgress_ > stallTimeout) Close();
        break;
    case Phase::Done:
        break;
    }
}
