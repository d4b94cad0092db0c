#include "components/mmsh/AsfFileFollower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "components/mmsh/AsfBytes.h"

AsfFileFollower::AsfFileFollower(std::filesystem::path file) : file_(std::move(file)) {}

AsfFileFollower::~AsfFileFollower() {
    if (fd_ >= 0) ::close(fd_);
}

bool AsfFileFollower::ReadAt(uint64_t offset, void* out, size_t size) const {
    auto* p = static_cast<uint8_t*>(out);
    while (size > 0) {
        ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

// `lastPacket`: how many packets the recording holds; nothing beyond is read.
void AsfFileFollower::Finish(State state, std::string why, uint64_t lastPacket) {
    state_ = state;
    error_ = std::move(why);
    completePackets_ = std::min(completePackets_, lastPacket);
}

void AsfFileFollower::TakeAsFinished() {
    if (state_ == State::Following) Finish(State::Ended, "served as it stood", completePackets_);
}

bool AsfFileFollower::Exhausted() const {
    return (state_ == State::Ended || state_ == State::Failed) && nextIndex_ >= completePackets_;
}

void AsfFileFollower::OpenIfNeeded() {
    if (fd_ >= 0) return;
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
}

AsfFileFollower::State AsfFileFollower::Poll() {
    if (state_ == State::Ended || state_ == State::Failed) return state_;
    OpenIfNeeded();
    if (fd_ < 0) return state_;  // the writer has not created it yet
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Finish(State::Failed, "not a regular file", 0);
        return state_;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (state_ == State::Following) {
        struct stat named {};
        bool replaced = ::stat(file_.c_str(), &named) != 0 || named.st_ino != inode_;
        if (size < fileSize_ || replaced) {
            Finish(State::Ended, "the file was cut or replaced", nextIndex_);
            return state_;
        }
    }
    fileSize_ = size;
    inode_ = st.st_ino;
    if (state_ == State::WaitingForHeader) ReadHeader();
    if (state_ == State::Following) {
        completePackets_ = (fileSize_ - header_.FirstPacketOffset()) / header_.packetSize;
        CheckForEnd();
    }
    return state_;
}

void AsfFileFollower::ReadHeader() {
    std::array<uint8_t, AsfHeader::kHeaderObjectFixedSize> first{};
    if (fileSize_ < first.size() || !ReadAt(0, first.data(), first.size())) return;
    uint64_t headerSize = ReadAsfHeaderObjectSize(first);
    if (headerSize == 0) {
        Finish(State::Failed, "not a servable asf header", 0);
        return;
    }
    uint64_t need = headerSize + AsfHeader::kDataObjectFixedSize;
    if (fileSize_ < need) return;
    std::vector<uint8_t> bytes(need);
    if (!ReadAt(0, bytes.data(), bytes.size())) return;
    AsfHeaderResult parsed = ParseAsfHeader(bytes);
    if (!parsed.ok) {
        Finish(State::Failed, parsed.error, 0);
        return;
    }
    header_ = std::move(parsed.header);
    state_ = State::Following;
}

void AsfFileFollower::CheckForEnd() {
    // The writer's trailer rewrites the Data Object size (50 while writing) with the real one.
    // What was written before stays servable: the rewritten size says how many packets there are.
    std::array<uint8_t, 8> field{};
    if (ReadAt(header_.headerObjectSize + 16, field.data(), field.size())) {
        uint64_t dataSize = ReadLe64(field.data());
        if (dataSize != AsfHeader::kDataObjectFixedSize && dataSize != 0) {
            uint64_t packets = dataSize > AsfHeader::kDataObjectFixedSize
                                   ? (dataSize - AsfHeader::kDataObjectFixedSize) / header_.packetSize
                                   : 0;
            Finish(State::Ended, "the header was rewritten at the end of the recording", packets);
            return;
        }
    }
    if (nextIndex_ < completePackets_) return;
    // Past the last complete packet: an index object (or a stream-end chunk) means no more packets.
    uint64_t boundary = header_.FirstPacketOffset() + nextIndex_ * header_.packetSize;
    std::array<uint8_t, 16> next{};
    if (fileSize_ < boundary + next.size() || !ReadAt(boundary, next.data(), next.size())) return;
    if (AsfGuidAt(next, 0, asf_guid::kSimpleIndex) || AsfGuidAt(next, 0, asf_guid::kIndex) ||
        (next[0] == '$' && next[1] == 'E'))
        Finish(State::Ended, "the recording ended", nextIndex_);
}

std::optional<AsfFilePacket> AsfFileFollower::Next() {
    if ((state_ != State::Following && state_ != State::Ended) || nextIndex_ >= completePackets_) return std::nullopt;
    AsfFilePacket packet;
    packet.index = nextIndex_;
    packet.bytes.resize(header_.packetSize);
    uint64_t offset = header_.FirstPacketOffset() + nextIndex_ * header_.packetSize;
    if (!ReadAt(offset, packet.bytes.data(), packet.bytes.size())) return std::nullopt;
    if (AsfGuidAt(packet.bytes, 0, asf_guid::kSimpleIndex) || AsfGuidAt(packet.bytes, 0, asf_guid::kIndex)) {
        Finish(State::Ended, "the recording ended", nextIndex_);
        return std::nullopt;
    }
    packet.info = ParseAsfPacket(packet.bytes, header_.videoStreams);
    if (!packet.info.valid) {
        Finish(State::Ended, "a data packet does not parse", nextIndex_);
        return std::nullopt;
    }
    ++nextIndex_;
    return packet;
}
