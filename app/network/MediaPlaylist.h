#pragma once
// The broadcast list of the media-file broadcaster window: path slots that are filled in order
// and never reused during one opening of the window (a removed entry leaves its slot empty), and
// the visible entries, each showing its file's name and pointing at its slot.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class MediaPlaylist {
public:
    static constexpr int kMaxSlots = 4095;
    // Shown when every slot of this opening has been used.
    static constexpr const char* kFullMessage =
        "The broadcast list is full: at most 4095 files can be added while this window is open.";

    struct Entry {
        std::string name;  // the file name after the last separator
        int slot = 0;
    };

    // Every slot emptied, none used: the state of a window just opened.
    void Reset();
    // Adds `path` in the next unused slot: the new entry's index, or nothing when all slots have
    // been used (kFullMessage says so).
    std::optional<int> Add(const std::string& path);
    // Empties the slot of entry `index` and drops the entry; false for no such entry.
    bool Remove(int index);

    const std::vector<Entry>& Entries() const { return entries_; }
    int SlotsUsed() const { return slotsUsed_; }
    // The path in the slot of entry `index`; "" for no such entry.
    std::string PathOf(int index) const;
    // The entry a broadcast starts with: the selected one, else the first; nothing when empty.
    std::optional<int> StartEntry(std::optional<int> selected) const;
    // The entry after `index`; nothing after the last.
    std::optional<int> NextEntry(int index) const;

    // What the list shows for a path: the part after the last "\" or "/".
    static std::string DisplayName(const std::string& path);
    // "mms://%s:%s" with the address and the port.
    static std::string BroadcastAddress(const std::string& host, uint16_t port);

    uint16_t port = 0;
    uint16_t maxClients = 0;
    std::string addressText;

private:
    std::vector<std::string> slots_ = std::vector<std::string>(kMaxSlots);
    int slotsUsed_ = 0;
    std::vector<Entry> entries_;
};
