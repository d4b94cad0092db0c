#include "app/network/MediaPlaylist.h"

void MediaPlaylist::Reset() {
    for (std::string& slot : slots_) slot.clear();
    slotsUsed_ = 0;
    entries_.clear();
}

std::optional<int> MediaPlaylist::Add(const std::string& path) {
    if (slotsUsed_ >= kMaxSlots) return std::nullopt;
    const int slot = slotsUsed_++;
    slots_[static_cast<size_t>(slot)] = path;
    entries_.push_back({DisplayName(path), slot});
    return static_cast<int>(entries_.size()) - 1;
}

bool MediaPlaylist::Remove(int index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return false;
    slots_[static_cast<size_t>(entries_[static_cast<size_t>(index)].slot)].clear();
    entries_.erase(entries_.begin() + index);
    return true;
}

std::string MediaPlaylist::PathOf(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return {};
    return slots_[static_cast<size_t>(entries_[static_cast<size_t>(index)].slot)];
}

std::optional<int> MediaPlaylist::StartEntry(std::optional<int> selected) const {
    if (entries_.empty()) return std::nullopt;
    if (selected && *selected >= 0 && static_cast<size_t>(*selected) < entries_.size()) return selected;
    return 0;
}

std::optional<int> MediaPlaylist::NextEntry(int index) const {
    if (index < 0 || static_cast<size_t>(index) + 1 >= entries_.size()) return std::nullopt;
    return index + 1;
}

std::string MediaPlaylist::DisplayName(const std::string& path) {
    size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string MediaPlaylist::BroadcastAddress(const std::string& host, uint16_t port) {
    return "mms://" + host + ":" + std::to_string(port);
}
