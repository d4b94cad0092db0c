// What the container's property browser shows for the eight index properties: the selected
// entry's name, and every entry's name to pick from.
#include "control/LumicorCtrl.h"

namespace {

template <class List>
std::vector<std::string> NamesOf(const List& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        if constexpr (std::is_same_v<std::decay_t<decltype(entry)>, std::string>)
            names.push_back(entry);
        else
            names.push_back(entry.name);
    }
    return names;
}

}  // namespace

bool CLumicorCtrl::IsBrowsedIndex(DISPID dispid, int16_t* index) const {
    switch (dispid) {
        case 1: *index = device_; return true;
        case 2: *index = videoFormat_; return true;
        case 26: *index = audioDevice_; return true;
        case 28: *index = videoCompressor_; return true;
        case 29: *index = audioCompressor_; return true;
        case 42: *index = videoInput_; return true;
        case 44: *index = wmvProfile_; return true;
        case 54: *index = audioInputPin_; return true;
        default: return false;
    }
}

std::vector<std::string> CLumicorCtrl::BrowsingNames(DISPID dispid) const {
    switch (dispid) {
        case 1: return NamesOf(devices_->Entries());
        case 2: return NamesOf(videoFormats_->Entries());
        case 26: return NamesOf(audioDevices_->Entries());
        case 28: return NamesOf(videoCompressors_->Entries());
        case 29: return NamesOf(audioCompressors_->Entries());
        case 42: return NamesOf(videoInputs_->Entries());
        case 44: return NamesOf(wmvProfiles_->Entries());
        case 54: return NamesOf(audioInputPins_->Entries());
        default: return {};
    }
}

bool CLumicorCtrl::OnGetDisplayString(DISPID dispid, std::string& text) {
    int16_t index = 0;
    if (!IsBrowsedIndex(dispid, &index)) return false;
    const std::vector<std::string> names = BrowsingNames(dispid);
    text = index >= 0 && static_cast<size_t>(index) < names.size() ? names[static_cast<size_t>(index)]
                                                                   : std::string();
    return true;
}

bool CLumicorCtrl::OnGetPredefinedStrings(DISPID dispid, std::vector<std::string>& strings,
                                          std::vector<DWORD>& cookies) {
    int16_t index = 0;
    if (!IsBrowsedIndex(dispid, &index)) return false;
    strings = BrowsingNames(dispid);
    cookies.clear();
    for (size_t i = 0; i < strings.size(); ++i) cookies.push_back(static_cast<DWORD>(i));
    return true;
}

bool CLumicorCtrl::OnGetPredefinedValue(DISPID dispid, DWORD cookie, Variant& value) {
    int16_t index = 0;
    if (!IsBrowsedIndex(dispid, &index)) return false;
    value = Variant(static_cast<int16_t>(cookie));
    return true;
}
