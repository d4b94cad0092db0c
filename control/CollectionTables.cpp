// The nine collections' members at their DISPIDs, and their find members.
#include "control/Collections.h"

namespace {

template <class T, class Interface>
DispatchMap<T> CollectionMap() {
    return DispatchMap<T>(Interface::iid, Interface::interfaceName,
                          std::string("Dispatch interface for ") + Interface::coclassName);
}

// BOOL results travel as 32-bit integers, TRUE being 1.
const TypeDesc kBool(VT_I4, "BOOL");

template <class ItemClass, class Value, class Read>
Value ValueOf(const ItemClass* item, Value miss, Read read) {
    return item ? static_cast<Value>(read(*item)) : miss;
}

}  // namespace

template <class Derived, class Interface, class ItemClass>
DispatchTable CDeviceCollection<Derived, Interface, ItemClass>::BuildDeviceTable() {
    auto map = CollectionMap<Derived, Interface>();
    Derived::AddCommonMembers(map, 4);
    map.Method(2, "FindDevice", &CDeviceCollection::FindDevice).Params({"strDeviceName"});
    map.Method(3, "FindDeviceName", &CDeviceCollection::FindDeviceName).Params({"index"});
    return map.Build();
}

const DispatchTable& CDevices::GetDispatchTable() {
    static const DispatchTable table = BuildDeviceTable();
    return table;
}

const DispatchTable& CAudioDevices::GetDispatchTable() {
    static const DispatchTable table = BuildDeviceTable();
    return table;
}

// Video formats: a miss is -1.
const DispatchTable& CVideoFormats::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CVideoFormats, IVideoFormats>();
        AddCommonMembers(map, 6);
        map.Method(2, "FindVideoFormat", &CVideoFormats::FindVideoFormat)
            .Params({"strVideoFormat"});
        map.Method(3, "FindVideoFormatHeight", &CVideoFormats::FindVideoFormatHeight)
            .Params({"index"});
        map.Method(4, "FindVideoFormatWidth", &CVideoFormats::FindVideoFormatWidth)
            .Params({"index"});
        map.Method(5, "FindVideoFormatName", &CVideoFormats::FindVideoFormatName).Params({"index"});
        return map.Build();
    }();
    return table;
}

int16_t CVideoFormats::FindVideoFormat(const std::string& strVideoFormat) const {
    return FindByName(strVideoFormat, -1);
}
int32_t CVideoFormats::FindVideoFormatHeight(int16_t index) const {
    return ValueOf(At(index), int32_t{-1}, [](const CVideoFormat& f) { return f.Height(); });
}
int32_t CVideoFormats::FindVideoFormatWidth(int16_t index) const {
    return ValueOf(At(index), int32_t{-1}, [](const CVideoFormat& f) { return f.Width(); });
}
std::string CVideoFormats::FindVideoFormatName(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CVideoFormat& f) { return f.Name(); });
}

// The members the collection answers. The older published list of this interface had a
// HasPropertyPage at 5, Item at 6 and no _NewEnum; this table is what Invoke and GetIDsOfNames
// answer, so it is also what the type library describes: a caller binding by name through either
// path reaches the same member.
const DispatchTable& CVideoCompressors::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CVideoCompressors, IVideoCompressors>();
        AddCommonMembers(map, 5);
        map.Method(2, "FindVideoCompressor", &CVideoCompressors::FindVideoCompressor)
            .Params({"strName"});
        map.Method(3, "FindVideoCompressorName", &CVideoCompressors::FindVideoCompressorName)
            .Params({"index"});
        map.Method(4, "ShowPropertyPage", &CVideoCompressors::ShowPropertyPage)
            .Params({"iIndex"})
            .Type(kBool);
        return map.Build();
    }();
    return table;
}

int16_t CVideoCompressors::FindVideoCompressor(const std::string& strName) const {
    return FindByName(strName, 0);
}
std::string CVideoCompressors::FindVideoCompressorName(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CVideoCompressor& c) { return c.Name(); });
}

const DispatchTable& CAudioCompressors::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CAudioCompressors, IAudioCompressors>();
        AddCommonMembers(map, 4);
        map.Method(2, "FindAudioCompressor", &CAudioCompressors::FindAudioCompressor)
            .Params({"strName"});
        map.Method(3, "FindAudioCompressorName", &CAudioCompressors::FindAudioCompressorName)
            .Params({"index"});
        return map.Build();
    }();
    return table;
}

int16_t CAudioCompressors::FindAudioCompressor(const std::string& strName) const {
    return FindByName(strName, 0);
}
std::string CAudioCompressors::FindAudioCompressorName(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CAudioCompressor& c) { return c.Name(); });
}

const DispatchTable& CAudioInputPins::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CAudioInputPins, IAudioInputPins>();
        AddCommonMembers(map, 5);
        map.Method(2, "FindInputPin", &CAudioInputPins::FindInputPin).Params({"strInputPinName"});
        map.Method(3, "FindInputPinName", &CAudioInputPins::FindInputPinName).Params({"index"});
        map.Method(4, "SetMixLevel", &CAudioInputPins::SetMixLevel)
            .Params({"iIndex", "iMixLevel"})
            .Type(kBool);
        return map.Build();
    }();
    return table;
}

void CAudioInputPins::Sync() {
    Collection::Sync();
    // A kept item keeps its level; a new one starts at the item's own (full) level.
    levels.resize(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        levels[i].name = items[i]->Name();
        levels[i].mixLevel = items[i]->MixLevel();
    }
}

void CAudioInputPins::Empty() {
    Collection::Empty();
    levels.clear();
}

int16_t CAudioInputPins::FindInputPin(const std::string& strInputPinName) const {
    return FindByName(strInputPinName, 0);
}
std::string CAudioInputPins::FindInputPinName(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CAudioInputPin& p) { return p.Name(); });
}

BOOL CAudioInputPins::SetMixLevel(int16_t iIndex, double iMixLevel) {
    CAudioInputPin* pin = At(iIndex);
    if (!pin) return FALSE;
    pin->StoreMixLevel(iMixLevel);
    // Levels() follows the items after every Sync; between two, an item has its row.
    if (static_cast<size_t>(iIndex) < levels.size()) levels[iIndex].mixLevel = iMixLevel;
    return TRUE;
}

const DispatchTable& CVideoInputs::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CVideoInputs, IVideoInputs>();
        AddCommonMembers(map, 4);
        map.Method(2, "FindVideoInput", &CVideoInputs::FindVideoInput).Params({"strVideoInput"});
        map.Method(3, "FindVideoInputName", &CVideoInputs::FindVideoInputName).Params({"index"});
        return map.Build();
    }();
    return table;
}

int16_t CVideoInputs::FindVideoInput(const std::string& strVideoInput) const {
    return FindByName(strVideoInput, -1);
}
std::string CVideoInputs::FindVideoInputName(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CVideoInput& v) { return v.Name(); });
}

const DispatchTable& CTVChannels::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CTVChannels, ITVChannels>();
        AddCommonMembers(map, 5);
        map.Method(2, "FindChannel", &CTVChannels::FindChannel).Params({"strTVChannel"});
        map.Method(3, "FindChannelNo", &CTVChannels::FindChannelNo).Params({"index"});
        map.Method(4, "FindChannelSignal", &CTVChannels::FindChannelSignal).Params({"index"});
        return map.Build();
    }();
    return table;
}

int16_t CTVChannels::FindChannel(const std::string& strTVChannel) const {
    return FindByName(strTVChannel, 0);
}
std::string CTVChannels::FindChannelNo(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CTVChannel& c) { return c.ChannelNo(); });
}
int32_t CTVChannels::FindChannelSignal(int16_t index) const {
    return ValueOf(At(index), int32_t{0}, [](const CTVChannel& c) { return c.SignalStatus(); });
}

const DispatchTable& CWMVProfiles::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = CollectionMap<CWMVProfiles, IWMVProfiles>();
        AddCommonMembers(map, 5);
        map.Method(2, "FindWMVProfile", &CWMVProfiles::FindWMVProfile).Params({"strProfile"});
        map.Method(3, "FindWMVProfileDesc", &CWMVProfiles::FindWMVProfileDesc).Params({"index"});
        map.Method(4, "FindWMVProfileName", &CWMVProfiles::FindWMVProfileName).Params({"index"});
        return map.Build();
    }();
    return table;
}

int16_t CWMVProfiles::FindWMVProfile(const std::string& strProfile) const {
    return FindByName(strProfile, -1);
}
std::string CWMVProfiles::FindWMVProfileDesc(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CWMVProfile& p) { return p.Description(); });
}
std::string CWMVProfiles::FindWMVProfileName(int16_t index) const {
    return ValueOf(At(index), std::string(), [](const CWMVProfile& p) { return p.Name(); });
}
