#pragma once
// The nine read-only collections the control shows its container: what the capture session found
// on the machine. The session fills Entries() (plain vectors); the control calls Sync() after
// every session call that may fill or empty them, and Empty() where it starts a list afresh. The
// collections select nothing: the container picks an entry through the control's index
// properties. Every index here is 0-based except Item's numeric key, which is 1-based.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/Collection.h"
#include "control/CollectionItems.h"
#include "platform/codecs/CompressorManager.h"
#include "platform/com/TypeDescription.h"
#include "platform/os/WindowTypes.h"

// The two device lists share their members: a miss in FindDevice is 0, like a match at the first
// position.
template <class Derived, class Interface, class ItemClass>
class CDeviceCollection : public CCollection<Derived, Interface, ItemClass, std::string> {
public:
    int16_t FindDevice(const std::string& strDeviceName) const {
        return this->FindByName(strDeviceName, 0);
    }
    std::string FindDeviceName(int16_t index) const {
        const ItemClass* item = this->At(index);
        return item ? item->Name() : std::string();
    }

protected:
    static DispatchTable BuildDeviceTable();
};

class CDevices final : public CDeviceCollection<CDevices, IDevices, CDevice> {
public:
    static const DispatchTable& GetDispatchTable();
};

class CAudioDevices final : public CDeviceCollection<CAudioDevices, IAudioDevices, CAudioDevice> {
public:
    static const DispatchTable& GetDispatchTable();
};

class CVideoFormats final
    : public CCollection<CVideoFormats, IVideoFormats, CVideoFormat, VideoFormatEntry> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t FindVideoFormat(const std::string& strVideoFormat) const;
    int32_t FindVideoFormatHeight(int16_t index) const;
    int32_t FindVideoFormatWidth(int16_t index) const;
    std::string FindVideoFormatName(int16_t index) const;
};

// Opens a compressor by type, handler code and mode; ICOpen unless a test replaces it.
using CompressorOpener =
    std::function<std::unique_ptr<OpenCompressor>(uint32_t type, uint32_t handler, int mode)>;

class CVideoCompressors final
    : public CCollection<CVideoCompressors, IVideoCompressors, CVideoCompressor, std::string> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t FindVideoCompressor(const std::string& strName) const;
    std::string FindVideoCompressorName(int16_t index) const;
    // The configuration dialog of the compressor the item at `iIndex` names, over the owner
    // window. FALSE when there is no such item, no installed compressor has that description or
    // it cannot be opened. The compressor stays open for the next call with the same index.
    BOOL ShowPropertyPage(int16_t iIndex);

    // The container's window, given when the control's window is created.
    void SetOwnerWindow(HWND owner) { ownerWindow = owner; }
    void SetCompressorOpener(CompressorOpener open) { opener = std::move(open); }
    // The default quality the compressor reported after its last accepted configuration, or -1.
    int LastDefaultQuality() const { return defaultQuality; }

private:
    // One installed compressor as the compressor manager lists it.
    struct InstalledRow {
        std::string description;
        uint32_t handler = 0;
        bool quality = false;  // the VIDCF_QUALITY capability bit
    };
    void BuildInstalledTable();

    bool tableBuilt = false;
    std::vector<InstalledRow> installed;
    int16_t lastConfigured = -1;
    std::unique_ptr<OpenCompressor> openCompressor;
    HWND ownerWindow = HWND_NONE;
    int defaultQuality = -1;
    CompressorOpener opener = &ICOpen;
};

class CAudioCompressors final
    : public CCollection<CAudioCompressors, IAudioCompressors, CAudioCompressor, std::string> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t FindAudioCompressor(const std::string& strName) const;
    std::string FindAudioCompressorName(int16_t index) const;
};

class CAudioInputPins final
    : public CCollection<CAudioInputPins, IAudioInputPins, CAudioInputPin, std::string> {
    using Collection = CCollection<CAudioInputPins, IAudioInputPins, CAudioInputPin, std::string>;

public:
    static const DispatchTable& GetDispatchTable();

    // Also bring Levels() in step with the items.
    void Sync();
    void Empty();

    int16_t FindInputPin(const std::string& strInputPinName) const;
    std::string FindInputPinName(int16_t index) const;
    // Stores the level in the item at `iIndex` (and in Levels()); FALSE when there is none. The
    // device is not touched: the session sends the stored levels when it builds a graph.
    BOOL SetMixLevel(int16_t iIndex, double iMixLevel);

    // Name and mix level of every line, position for position with the items: the control points
    // the session's audioInputPinEntries here.
    const CCaptureSession::AudioInputPinList& Levels() const { return levels; }

private:
    CCaptureSession::AudioInputPinList levels;
};

class CVideoInputs final
    : public CCollection<CVideoInputs, IVideoInputs, CVideoInput, std::string> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t FindVideoInput(const std::string& strVideoInput) const;
    std::string FindVideoInputName(int16_t index) const;
};

class CTVChannels final
    : public CCollection<CTVChannels, ITVChannels, CTVChannel, CCaptureSession::TvChannelEntry> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t FindChannel(const std::string& strTVChannel) const;
    std::string FindChannelNo(int16_t index) const;
    int32_t FindChannelSignal(int16_t index) const;
};

class CWMVProfiles final
    : public CCollection<CWMVProfiles, IWMVProfiles, CWMVProfile, WmvProfileEntry> {
public:
    static const DispatchTable& GetDispatchTable();

    int16_t FindWMVProfile(const std::string& strProfile) const;
    std::string FindWMVProfileDesc(int16_t index) const;
    std::string FindWMVProfileName(int16_t index) const;
};

// For the control's type library: the collections' and items' interfaces and the nine empty
// enumerator interfaces; their coclasses (type information only, not creatable).
std::vector<InterfaceDesc> CollectionInterfaceDescriptions();
std::vector<CoclassDesc> CollectionCoclassDescriptions();
