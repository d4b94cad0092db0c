#pragma once
// The item objects of the nine collections. Each is made from one entry the session filled and
// keeps its own copy of the values: writing a member changes only the item, never the session or
// the device. An item a container still holds stays valid after its collection let it go.
// `Key()` is what the collection's find-by-name and Item(name) compare with.
#include <string>
#include <string_view>

#include "control/CollectionInterfaces.h"
#include "engine/CaptureSession.h"
#include "platform/com/DispatchMap.h"
#include "platform/com/DispatchObject.h"

// An item that is only a name: devices, audio devices, audio compressors, video inputs.
template <class Interface>
class CNamedItem final : public DispatchObject<CNamedItem<Interface>, Interface> {
public:
    explicit CNamedItem(const std::string& entry) : name(entry) {}
    static const DispatchTable& GetDispatchTable();

    const std::string& Key() const { return name; }
    std::string Name() const { return name; }
    void SetName(std::string_view value) { name = value; }

private:
    std::string name;
};

// The four instances are made in CollectionItems.cpp, beside their member table.
extern template class CNamedItem<IDevice>;
extern template class CNamedItem<IAudioDevice>;
extern template class CNamedItem<IAudioCompressor>;
extern template class CNamedItem<IVideoInput>;

using CDevice = CNamedItem<IDevice>;
using CAudioDevice = CNamedItem<IAudioDevice>;
using CAudioCompressor = CNamedItem<IAudioCompressor>;
using CVideoInput = CNamedItem<IVideoInput>;

class CVideoCompressor final : public DispatchObject<CVideoCompressor, IVideoCompressor> {
public:
    explicit CVideoCompressor(const std::string& entry) : name(entry) {}
    static const DispatchTable& GetDispatchTable();

    const std::string& Key() const { return name; }
    std::string Name() const { return name; }
    void SetName(std::string_view value) { name = value; }
    // The collection's ShowPropertyPage(index) is the one that shows a dialog; this one only
    // answers TRUE.
    BOOL ShowPropertyPage() const { return TRUE; }

private:
    std::string name;
};

class CVideoFormat final : public DispatchObject<CVideoFormat, IVideoFormat> {
public:
    explicit CVideoFormat(const VideoFormatEntry& entry) : format(entry) {}
    static const DispatchTable& GetDispatchTable();

    const std::string& Key() const { return format.name; }
    std::string Name() const { return format.name; }
    void SetName(std::string_view value) { format.name = value; }
    int32_t Height() const { return format.height; }
    void SetHeight(int32_t value) { format.height = value; }
    int32_t Width() const { return format.width; }
    void SetWidth(int32_t value) { format.width = value; }
    int32_t BitCount() const { return format.bitCount; }
    const Guid& Subtype() const { return format.subtype; }

private:
    VideoFormatEntry format;
};

class CAudioInputPin final : public DispatchObject<CAudioInputPin, IAudioInputPin> {
public:
    // A line starts at full mix level.
    explicit CAudioInputPin(const std::string& entry) : name(entry) {}
    static const DispatchTable& GetDispatchTable();

    const std::string& Key() const { return name; }
    std::string Name() const { return name; }
    double MixLevel() const { return mixLevel; }
    // Only the collection's SetMixLevel stores a level; for a container the member is read-only.
    void StoreMixLevel(double value) { mixLevel = value; }

private:
    std::string name;
    double mixLevel = 1.0;
};

class CTVChannel final : public DispatchObject<CTVChannel, ITVChannel> {
public:
    explicit CTVChannel(const CCaptureSession::TvChannelEntry& entry) : channel(entry) {}
    static const DispatchTable& GetDispatchTable();

    const std::string& Key() const { return channel.channel; }
    std::string ChannelNo() const { return channel.channel; }
    void SetChannelNo(std::string_view value) { channel.channel = value; }
    int32_t SignalStatus() const { return channel.signal; }

private:
    CCaptureSession::TvChannelEntry channel;
};

class CWMVProfile final : public DispatchObject<CWMVProfile, IWMVProfile> {
public:
    explicit CWMVProfile(const WmvProfileEntry& entry) : profile(entry) {}
    static const DispatchTable& GetDispatchTable();

    const std::string& Key() const { return profile.name; }
    std::string Name() const { return profile.name; }
    void SetName(std::string_view value) { profile.name = value; }
    std::string Description() const { return profile.description; }
    void SetDescription(std::string_view value) { profile.description = value; }
    const Guid& ProfileId() const { return profile.id; }

private:
    WmvProfileEntry profile;
};
