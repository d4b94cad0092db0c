#include "components/mmsh/Mp3FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

#include "components/mmsh/Mp3Frame.h"

namespace {
constexpr size_t kReadSize = 64 * 1024;
constexpr uint64_t kProbeJunkLimit = 64 * 1024;
}  // namespace

Mp3FileSource::Mp3FileSource(std::filesystem::path file, int64_t startUs)
    : file_(std::move(file)), positionUs_(startUs) {}

Mp3FileSource::~Mp3FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool Mp3FileSource::Open() {
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = std::string("cannot open the file: ") + std::strerror(errno);
        exhausted_ = true;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = "not a regular file";
        exhausted_ = true;
        return false;
    }
    fileSize_ = static_cast<uint64_t>(st.st_size);
    return true;
}

// Keeps at least the look-ahead (or the rest of the file) after at_; false on a read error.
bool Mp3FileSource::Fill() {
    size_t left = buffer_.size() - at_;
    uint64_t end = bufferOffset_ + buffer_.size();
    if (left >= kMp3MaxLookahead || end >= fileSize_) return true;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(at_));
    bufferOffset_ += at_;
    at_ = 0;
    size_t want = static_cast<size_t>(std::min<uint64_t>(kReadSize, fileSize_ - end));
    size_t had = buffer_.size();
    buffer_.resize(had + want);
    size_t got = 0;
    while (got < want) {
        ssize_t n = ::pread(fd_, buffer_.data() + had + got, want - got, static_cast<off_t>(end + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = std::string("cannot read the file: ") + std::strerror(errno);
            buffer_.resize(had + got);
            return false;
        }
        if (n == 0) break;  // the file became shorter: what is there is all there is
        got += static_cast<size_t>(n);
    }
    buffer_.resize(had + got);
    if (got < want) fileSize_ = end + got;
    return true;
}

void Mp3FileSource::Skip(uint64_t bytes) {
    uint64_t left = buffer_.size() - at_;
    if (bytes <= left) {
        at_ += static_cast<size_t>(bytes);
        return;
    }
    // A tag longer than the buffer: jump over it in the file.
    bufferOffset_ = std::min(fileSize_, bufferOffset_ + at_ + bytes);
    buffer_.clear();
    at_ = 0;
}

std::optional<Mp3Packet> Mp3FileSource::Next() {
    while (!exhausted_) {
        if (fd_ < 0 || !Fill()) {
            exhausted_ = true;
            break;
        }
        std::span<const uint8_t> rest(buffer_.data() + at_, buffer_.size() - at_);
        bool endOfFile = bufferOffset_ + buffer_.size() >= fileSize_;
        if (rest.empty()) {
            exhausted_ = true;
            break;
        }
        Mp3Item item = ReadMp3Item(rest, endOfFile);
        if (item.kind == Mp3ItemKind::NeedMore) {
            // Fill keeps the look-ahead, and at the end of the file nothing needs more: a byte
            // passed over still guarantees progress should that ever change.
            item.kind = Mp3ItemKind::Junk;
            item.length = 1;
        }
        if (item.kind == Mp3ItemKind::Junk) junkBytes_ += item.length;
        if (item.kind != Mp3ItemKind::Frame) {
            Skip(item.length);
            continue;
        }
        Mp3Packet packet;
        packet.startUs = positionUs_;
        packet.durationUs = static_cast<uint32_t>(int64_t{item.frame.samples} * 1000000 / item.frame.sampleRate);
        packet.bytes.assign(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(item.length));
        at_ += item.length;
        positionUs_ += packet.durationUs;
        ++frames_;
        return packet;
    }
    return std::nullopt;
}

bool Mp3FileSource::Probe(const std::filesystem::path& file) {
    Mp3FileSource source(file, 0);
    if (!source.Open()) return false;
    // Next() passes over junk freely; the probe gives up early instead.
    while (!source.exhausted_ && source.junkBytes_ <= kProbeJunkLimit) {
        if (!source.Fill()) return false;
        std::span<const uint8_t> rest(source.buffer_.data() + source.at_, source.buffer_.size() - source.at_);
        if (rest.empty()) return false;
        bool endOfFile = source.bufferOffset_ + source.buffer_.size() >= source.fileSize_;
        Mp3Item item = ReadMp3Item(rest, endOfFile);
        if (item.kind == Mp3ItemKind::Frame || item.kind == Mp3ItemKind::InfoFrame) return true;
        if (item.kind == Mp3ItemKind::NeedMore) return false;
        if (item.kind == Mp3ItemKind::Junk) source.junkBytes_ += item.length;
        source.Skip(item.length);
    }
    return false;
}
