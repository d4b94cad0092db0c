#include "control/CollectionItems.h"

namespace {

template <class T, class Interface>
DispatchMap<T> ItemMap() {
    return DispatchMap<T>(Interface::iid, Interface::interfaceName,
                          std::string("Dispatch interface for ") + Interface::coclassName);
}

// BOOL results travel as 32-bit integers, TRUE being 1.
const TypeDesc kBool(VT_I4, "BOOL");

}  // namespace

template <class Interface>
const DispatchTable& CNamedItem<Interface>::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = ItemMap<CNamedItem, Interface>();
        map.Property(1, "Name", &CNamedItem::Name, &CNamedItem::SetName);
        return map.Build();
    }();
    return table;
}

template class CNamedItem<IDevice>;
template class CNamedItem<IAudioDevice>;
template class CNamedItem<IAudioCompressor>;
template class CNamedItem<IVideoInput>;

const DispatchTable& CVideoCompressor::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = ItemMap<CVideoCompressor, IVideoCompressor>();
        map.Property(1, "Name", &CVideoCompressor::Name, &CVideoCompressor::SetName);
        map.Method(2, "ShowPropertyPage", &CVideoCompressor::ShowPropertyPage).Type(kBool);
        return map.Build();
    }();
    return table;
}

const DispatchTable& CVideoFormat::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = ItemMap<CVideoFormat, IVideoFormat>();
        map.Property(1, "Name", &CVideoFormat::Name, &CVideoFormat::SetName);
        map.Property(2, "Height", &CVideoFormat::Height, &CVideoFormat::SetHeight);
        map.Property(3, "Width", &CVideoFormat::Width, &CVideoFormat::SetWidth);
        return map.Build();
    }();
    return table;
}

const DispatchTable& CAudioInputPin::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = ItemMap<CAudioInputPin, IAudioInputPin>();
        map.Property(1, "Name", &CAudioInputPin::Name);
        map.Property(2, "MixLevel", &CAudioInputPin::MixLevel);
        return map.Build();
    }();
    return table;
}

const DispatchTable& CTVChannel::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = ItemMap<CTVChannel, ITVChannel>();
        map.Property(1, "ChannelNo", &CTVChannel::ChannelNo, &CTVChannel::SetChannelNo);
        map.Property(2, "SignalStatus", &CTVChannel::SignalStatus);
        return map.Build();
    }();
    return table;
}

const DispatchTable& CWMVProfile::GetDispatchTable() {
    static const DispatchTable table = [] {
        auto map = ItemMap<CWMVProfile, IWMVProfile>();
        map.Property(1, "Name", &CWMVProfile::Name, &CWMVProfile::SetName);
        // The item answers with the description it was made from (the same text the
        // collection's FindWMVProfileDesc gives), so that a caller binding by name reads
        // something useful; a write changes the item's copy only.
        map.Property(2, "Description", &CWMVProfile::Description, &CWMVProfile::SetDescription);
        return map.Build();
    }();
    return table;
}
