#include "components/scrivel/ScrivelCtrl.h"

#include <type_traits>

#include "components/scrivel/ScrivelIds.h"
#include "platform/com/DispatchMap.h"

ScrivelCtrl::ScrivelCtrl()
    : videoCompressors_(MakeCom<NameCollection>()),
      audioCompressors_(MakeCom<NameCollection>()),
      wmvProfiles_(MakeCom<NameCollection>()),
      audioInputPins_(MakeCom<NameCollection>()),
      audioDevices_(MakeCom<NameCollection>()) {
    FillLists();
}

ScrivelCtrl::~ScrivelCtrl() {
    // A recording still running is finished: the file is complete when the control goes.
    Stop();
    DestroyControlWindow();
}

void ScrivelCtrl::OnDestroy() { Stop(); }

CLSID ScrivelCtrl::ControlClsid() const { return CLSID_Scrivel; }
IID ScrivelCtrl::EventsIid() const { return DIID__DScrivelEvents; }

// The settings are the container's to give before every recording; nothing is persisted.
void ScrivelCtrl::DoPropExchange(PropExchange&) {}

const DispatchTable& ScrivelCtrl::GetDispatchTable() {
    static const DispatchTable table = [] {
        using C = ScrivelCtrl;
        DispatchMap<C> map(DIID__DScrivel, "_DScrivel", "Dispatch interface for the screen capture control");
        const TypeDesc boolType(VT_BOOL);

        auto plain = [&map]<class T>(DISPID id, const char* name, T C::*member) {
            using Arg = std::conditional_t<std::is_same_v<T, std::string>, const std::string&, T>;
            return map.Property(
                id, name, [member](C& c) { return c.*member; }, [member](C& c, Arg value) { c.*member = value; });
        };
        auto list = [&map](DISPID id, const char* name, ComPtr<NameCollection> C::*member) {
            map.Property(id, name, [member](C& c) { return ComPtr<IDispatch>(static_cast<IDispatch*>((c.*member).Get())); });
        };

        plain(1, "VideoCompressor", &C::videoCompressor_);
        list(2, "VideoCompressors", &C::videoCompressors_);
        plain(3, "FileName", &C::fileName_);
        plain(4, "UseVideoCompressor", &C::useVideoCompressor_).Type(boolType);
        plain(5, "RecordAudio", &C::recordAudio_).Type(boolType);
        plain(6, "AudioCompressor", &C::audioCompressor_);
        plain(7, "UseAudioCompressor", &C::useAudioCompressor_).Type(boolType);
        list(8, "AudioCompressors", &C::audioCompressors_);
        plain(9, "WMVProfile", &C::wmvProfile_);
        list(10, "WMVProfiles", &C::wmvProfiles_);
        plain(11, "WMVProfileFile", &C::wmvProfileFile_);
        plain(12, "CaptureWidth", &C::captureWidth_);
        plain(13, "CaptureHeight", &C::captureHeight_);
        plain(15, "CaptureCursor", &C::captureCursor_).Type(boolType);
        plain(16, "FrameRate", &C::frameRate_);
        list(17, "AudioInputPins", &C::audioInputPins_);
        plain(18, "AudioInputPin", &C::audioInputPin_);
        plain(19, "AudioDevice", &C::audioDevice_);
        list(20, "AudioDevices", &C::audioDevices_);
        plain(22, "SWFAudioBitrate", &C::swfAudioBitrate_);
        plain(23, "SWFAudioChannels", &C::swfAudioChannels_);
        plain(24, "SWFAudioSampleRate", &C::swfAudioSampleRate_);
        plain(25, "SWFWidth", &C::swfWidth_);
        plain(26, "SWFHeight", &C::swfHeight_);
        plain(27, "SWFVideoBitrate", &C::swfVideoBitrate_);
        plain(28, "OutputKind", &C::outputKind_);
        plain(29, "FLVAudioBitrate", &C::flvAudioBitrate_);
        plain(30, "FLVAudioChannels", &C::flvAudioChannels_);
        plain(31, "FLVAudioSampleRate", &C::flvAudioSampleRate_);
        plain(32, "FLVVideoBitrate", &C::flvVideoBitrate_);
        plain(33, "FLVHeight", &C::flvHeight_);
        plain(34, "FLVWidth", &C::flvWidth_);
        map.Property(
            35, "Volume", [](C& c) { return c.volume_; },
            [](C& c, double value) {
                c.volume_ = value < 0 ? 0.0 : (value > 1 ? 1.0 : value);
                if (c.volumeFilter_) c.volumeFilter_->SetGain(c.volume_);
            });
        plain(36, "MP3Bitrate", &C::mp3Bitrate_);
        plain(37, "MP3SampleRate", &C::mp3SampleRate_);

        map.Method(40, "Start", &C::Start);
        map.Method(41, "Stop", &C::Stop);
        map.Method(42, "GetScreenWidth", &C::ScreenWidth);
        map.Method(43, "GetScreenHeight", &C::ScreenHeight);
        map.Method(44, "RefreshAudioInputPins", &C::RefreshAudioInputPins).Params({"device"}).Type(boolType);
        map.Method(45, "Pause", &C::Pause);
        map.Method(46, "Resume", &C::Resume);
        map.Method(49, "SetCaptureRect", &C::SetCaptureRect).Params({"left", "top", "right", "bottom"});

        // Beyond what containers must call: why the last start failed, and the frames lost.
        map.Property(50, "LastError", [](C& c) { return c.lastError_; });
        map.Property(51, "DroppedFrames", [](C& c) { return c.DroppedFrames(); });
        return map.Build();
    }();
    return table;
}
