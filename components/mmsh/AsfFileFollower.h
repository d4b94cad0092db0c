#pragma once
// Follows an ASF file while another process writes it: waits for the header, then hands out
// complete fixed-size data packets one at a time, and notices the end of the recording (an index
// object after the last packet, the header rewritten with real sizes, the file cut or replaced).
// Not thread-safe: the server thread owns it.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/AsfPacketInfo.h"

struct AsfFilePacket {
    uint64_t index = 0;  // packet number counted from the data start
    AsfPacketInfo info;
    std::vector<uint8_t> bytes;
};

class AsfFileFollower {
public:
    enum class State { WaitingForHeader, Following, Ended, Failed };

    explicit AsfFileFollower(std::filesystem::path file);
    ~AsfFileFollower();
    AsfFileFollower(const AsfFileFollower&) = delete;
    AsfFileFollower& operator=(const AsfFileFollower&) = delete;

    // Looks at the file again (size, header, end markers); cheap enough to call every few ms.
    State Poll();
    State CurrentState() const { return state_; }
    const std::string& Error() const { return error_; }
    // Valid from Following on.
    const AsfHeader& Header() const { return header_; }
    // Complete packets in the file at the last Poll.
    uint64_t CompletePackets() const { return completePackets_; }
    uint64_t NextIndex() const { return nextIndex_; }
    void SkipTo(uint64_t index) { nextIndex_ = index; }
    // The next complete packet, or nothing (not written yet, or the recording ended: see State).
    // After the end, the packets written before it are still handed out.
    std::optional<AsfFilePacket> Next();
    // Takes the file as complete as it stands (a finished file whose writer never rewrote its
    // header): packets written later are not handed out.
    void TakeAsFinished();
    // The recording ended (or never could be served) and every packet of it was handed out.
    bool Exhausted() const;

private:
    bool ReadAt(uint64_t offset, void* out, size_t size) const;
    void OpenIfNeeded();
    void ReadHeader();
    void CheckForEnd();
    void Finish(State state, std::string why, uint64_t packetsLeftAt);

    std::filesystem::path file_;
    int fd_ = -1;
    ino_t inode_ = 0;
    uint64_t fileSize_ = 0;
    State state_ = State::WaitingForHeader;
    std::string error_;
    AsfHeader header_;
    uint64_t completePackets_ = 0;
    uint64_t nextIndex_ = 0;
};
