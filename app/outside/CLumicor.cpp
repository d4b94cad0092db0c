#include "app/outside/CLumicor.h"

#include <cstdio>

namespace {

// The control's DISPIDs.
namespace Id {
constexpr DISPID Device = 1, VideoFormat = 2, Devices = 3, VideoFormats = 4, VideoCompressors = 5,
                 CaptureMode = 6, CaptureFileName = 7, AudioDevices = 25, AudioDevice = 26,
                 CaptureAudio = 27, VideoCompressor = 28, AudioCompressor = 29,
                 UseVideoCompressor = 30, UseAudioCompressor = 31, AudioCompressors = 32,
                 ShowPreview = 33, CaptureVideo = 34, AspectRatio = 35, BackgroundColor = 36,
                 TVChannels = 37, CountryCode = 38, Channel = 39, TVMute = 40, VideoInputs = 41,
                 VideoInput = 42, WMVProfiles = 43, WMVProfile = 44, VideoStandard = 45,
                 FrameRate = 46, TextColor = 47, TextFontName = 48, TextFontSize = 49,
                 WMVCustomFileName = 50, TunerMode = 51, TunerInput = 52, AudioInputPin = 54,
                 AudioInputPins = 55, ShowImage = 56, ShowText = 57, DateColor = 58,
                 DateFontName = 59, DateFontSize = 60, DateFontStyle = 61, ShowDateTime = 62,
                 TextFontStyle = 63, TextStyle = 64, PublishingURL = 65, BroadCastPortNo = 66,
                 MaxClients = 67, BroadCast = 68, UseUserDefineVideoFormat = 69, OutputType = 70,
                 MPEGAudioBitrate = 71, MPEGVideoBitrate = 72, MPEGAudioChannels = 73,
                 MPEGAudioSampleRate = 74, MPEGWidth = 75, MPEGHeight = 76, MPEGFrameRate = 77,
                 Start = 78, Stop = 79, SnapShot = 80, ShowVideoCapturePropertyPage = 81,
                 ScanTVChannels = 82, ShowAudioCapturePropertyPage = 83,
                 ShowVideoFormatPropertyPage = 84, ShowCrossbarPropertyPage = 85, DrawTime = 86,
                 SnapShotJPEG = 87, Pause = 88, Resume = 89, ResizeControl = 92,
                 RefreshDevice = 93, DrawImage = 94, DrawText = 95, SetHashBrushValue = 96,
                 SetTextureBrushImage = 97, SetOutlineTextBackColor = 98,
                 SetOutlineTextBorderColor = 99, GetVideoCompressorName = 100,
                 SetUserDefineVideoFormat = 101, GetConnectedIP = 102,
                 RefreshAudioInputPin = 103, AboutBox = -552;
// Events.
constexpr DISPID Capturing = 1, ClientConnected = 2, Click = -600, DblClick = -601;
}  // namespace Id

// Name members of the collections, and the other per-entry members used here.
namespace Member {
constexpr DISPID DeviceName = 3, VideoFormatName = 5, VideoFormatHeight = 3,
                 VideoFormatWidth = 4, CompressorName = 3, InputPinName = 3, SetMixLevel = 4,
                 VideoInputName = 3, ChannelNo = 3, ChannelSignal = 4, WMVProfileDesc = 3,
                 WMVProfileName = 4;
}  // namespace Member

ComPtr<IDispatch> DispatchOf(const Variant& value) {
    Variant object = value.Deref();
    if (object.Type() != VT_DISPATCH || !object.Dispatch()) return {};
    return ComPtr<IDispatch>(object.Dispatch());
}

Variant Short(short value) { return Variant(static_cast<int16_t>(value)); }
Variant Long(long value) { return Variant(static_cast<int32_t>(value)); }
Variant Bool(BOOL value) { return Variant(value != 0); }
Variant Color(uint32_t value) { return Variant(static_cast<int32_t>(value)); }
Variant Text(const std::string& value) { return Variant(value); }

}  // namespace

CLumicor::CLumicor() = default;
CLumicor::~CLumicor() { Destroy(); }

HRESULT CLumicor::Create(QWidget* container, Events events) {
    site_ = ControlSite::Create(container);
    HRESULT hr = site_->CreateControl(CLSID_Lumicor);
    if (SUCCEEDED(hr)) hr = site_->InitNew();
    if (SUCCEEDED(hr)) hr = site_->Activate();
    if (SUCCEEDED(hr)) {
        hr = site_->AdviseEvents([events](DISPID dispid, std::vector<Variant>& args) {
            if (dispid == Id::Capturing && args.size() == 2 && events.capturing) {
                events.capturing(static_cast<int32_t>(IntegerOfVariant(args[0], 0)),
                                 static_cast<int32_t>(IntegerOfVariant(args[1], 0)));
            } else if (dispid == Id::ClientConnected && args.size() == 2 &&
                       events.clientConnected) {
                events.clientConnected(static_cast<int16_t>(IntegerOfVariant(args[0], 0)),
                                       TextOfVariant(args[1]));
            } else if (dispid == Id::Click && events.click) {
                events.click();
            } else if (dispid == Id::DblClick && events.dblClick) {
                events.dblClick();
            }
            return S_OK;
        });
    }
    if (FAILED(hr)) {
        Destroy();
        return hr;
    }
    driver_.Attach(site_->Control());
    return S_OK;
}

void CLumicor::Attach(ComPtr<IDispatch> control) { driver_.Attach(std::move(control)); }

void CLumicor::Destroy() {
    driver_.Attach({});
    if (site_) site_->Destroy();
    site_.Reset();
}

LumicorCollection CLumicor::Collection(DISPID property, DISPID nameMember) const {
    Variant object;
    if (FAILED(driver_.GetProperty(property, &object))) return {};
    return LumicorCollection(DispatchOf(object), nameMember);
}

int64_t CLumicor::GetInteger(DISPID dispid) const {
    Variant value;
    if (FAILED(driver_.GetProperty(dispid, &value))) return 0;
    return IntegerOfVariant(value, 0);
}

std::string CLumicor::GetText(DISPID dispid) const {
    Variant value;
    if (FAILED(driver_.GetProperty(dispid, &value))) return {};
    return TextOfVariant(value);
}

void CLumicor::Put(DISPID dispid, Variant value) const {
    if (HRESULT hr = driver_.PutProperty(dispid, std::move(value)); FAILED(hr)) {
        std::fprintf(stderr, "orvanta: setting capture control property %d failed: 0x%08X\n",
                     static_cast<int>(dispid), static_cast<unsigned>(hr));
    }
}

int64_t CLumicor::CallInteger(DISPID dispid, std::vector<Variant> args, int64_t fallback) const {
    Variant result;
    if (FAILED(driver_.Call(dispid, std::move(args), &result))) return fallback;
    return IntegerOfVariant(result, fallback);
}

std::string CLumicor::CallText(DISPID dispid, std::vector<Variant> args) const {
    Variant result;
    if (FAILED(driver_.Call(dispid, std::move(args), &result))) return {};
    return TextOfVariant(result);
}

void CLumicor::CallVoid(DISPID dispid, std::vector<Variant> args) const {
    if (HRESULT hr = driver_.Call(dispid, std::move(args)); FAILED(hr)) {
        std::fprintf(stderr, "orvanta: capture control method %d failed: 0x%08X\n",
                     static_cast<int>(dispid), static_cast<unsigned>(hr));
    }
}

LumicorCollection CLumicor::Devices() const { return Collection(Id::Devices, Member::DeviceName); }
LumicorCollection CLumicor::VideoFormats() const {
    return Collection(Id::VideoFormats, Member::VideoFormatName);
}
LumicorCollection CLumicor::VideoCompressors() const {
    return Collection(Id::VideoCompressors, Member::CompressorName);
}
LumicorCollection CLumicor::AudioDevices() const {
    return Collection(Id::AudioDevices, Member::DeviceName);
}
LumicorCollection CLumicor::AudioCompressors() const {
    return Collection(Id::AudioCompressors, Member::CompressorName);
}
LumicorCollection CLumicor::AudioInputPins() const {
    return Collection(Id::AudioInputPins, Member::InputPinName);
}
LumicorCollection CLumicor::VideoInputs() const {
    return Collection(Id::VideoInputs, Member::VideoInputName);
}
LumicorCollection CLumicor::TVChannels() const { return Collection(Id::TVChannels, Member::ChannelNo); }
LumicorCollection CLumicor::WMVProfiles() const {
    return Collection(Id::WMVProfiles, Member::WMVProfileName);
}

namespace {
int64_t CollectionInteger(const LumicorCollection& collection, DISPID member, int index,
                          int64_t fallback) {
    Variant result;
    if (!collection || index < 0 || index > 0x7FFF ||
        FAILED(collection.Driver().Call(member, {Short(static_cast<short>(index))}, &result))) {
        return fallback;
    }
    return IntegerOfVariant(result, fallback);
}
}  // namespace

long CLumicor::VideoFormatWidth(int index) const {
    return static_cast<long>(CollectionInteger(VideoFormats(), Member::VideoFormatWidth, index, -1));
}
long CLumicor::VideoFormatHeight(int index) const {
    return static_cast<long>(CollectionInteger(VideoFormats(), Member::VideoFormatHeight, index, -1));
}
long CLumicor::ChannelSignal(int index) const {
    return static_cast<long>(CollectionInteger(TVChannels(), Member::ChannelSignal, index, 0));
}
std::string CLumicor::WMVProfileDescription(int index) const {
    LumicorCollection profiles = WMVProfiles();
    Variant result;
    if (!profiles || index < 0 || index > 0x7FFF ||
        FAILED(profiles.Driver().Call(Member::WMVProfileDesc, {Short(static_cast<short>(index))},
                                      &result))) {
        return {};
    }
    return TextOfVariant(result);
}
BOOL CLumicor::SetMixLevel(int index, double level) const {
    LumicorCollection pins = AudioInputPins();
    Variant result;
    if (!pins || index < 0 || index > 0x7FFF ||
        FAILED(pins.Driver().Call(Member::SetMixLevel,
                                  {Short(static_cast<short>(index)), Variant(level)}, &result))) {
        return FALSE;
    }
    return IntegerOfVariant(result, 0) != 0;
}

short CLumicor::GetDevice() const { return static_cast<short>(GetInteger(Id::Device)); }
void CLumicor::SetDevice(short index) const { Put(Id::Device, Short(index)); }
short CLumicor::GetVideoFormat() const { return static_cast<short>(GetInteger(Id::VideoFormat)); }
void CLumicor::SetVideoFormat(short index) const { Put(Id::VideoFormat, Short(index)); }
short CLumicor::GetAudioDevice() const { return static_cast<short>(GetInteger(Id::AudioDevice)); }
void CLumicor::SetAudioDevice(short index) const { Put(Id::AudioDevice, Short(index)); }
short CLumicor::GetVideoCompressor() const {
    return static_cast<short>(GetInteger(Id::VideoCompressor));
}
void CLumicor::SetVideoCompressor(short index) const { Put(Id::VideoCompressor, Short(index)); }
short CLumicor::GetAudioCompressor() const {
    return static_cast<short>(GetInteger(Id::AudioCompressor));
}
void CLumicor::SetAudioCompressor(short index) const { Put(Id::AudioCompressor, Short(index)); }
short CLumicor::GetVideoInput() const { return static_cast<short>(GetInteger(Id::VideoInput)); }
void CLumicor::SetVideoInput(short index) const { Put(Id::VideoInput, Short(index)); }
short CLumicor::GetAudioInputPin() const {
    return static_cast<short>(GetInteger(Id::AudioInputPin));
}
void CLumicor::SetAudioInputPin(short index) const { Put(Id::AudioInputPin, Short(index)); }
short CLumicor::GetWMVProfile() const { return static_cast<short>(GetInteger(Id::WMVProfile)); }
void CLumicor::SetWMVProfile(short index) const { Put(Id::WMVProfile, Short(index)); }
short CLumicor::GetFrameRate() const { return static_cast<short>(GetInteger(Id::FrameRate)); }
void CLumicor::SetFrameRate(short rate) const { Put(Id::FrameRate, Short(rate)); }
void CLumicor::SetUseUserDefineVideoFormat(BOOL use) const {
    Put(Id::UseUserDefineVideoFormat, Bool(use));
}

BOOL CLumicor::GetCaptureMode() const { return GetInteger(Id::CaptureMode) != 0; }
void CLumicor::SetCaptureMode(BOOL capture) const { Put(Id::CaptureMode, Bool(capture)); }
std::string CLumicor::GetCaptureFileName() const { return GetText(Id::CaptureFileName); }
void CLumicor::SetCaptureFileName(const std::string& file) const {
    Put(Id::CaptureFileName, Text(file));
}
void CLumicor::SetCaptureAudio(BOOL on) const { Put(Id::CaptureAudio, Bool(on)); }
void CLumicor::SetCaptureVideo(BOOL on) const { Put(Id::CaptureVideo, Bool(on)); }
void CLumicor::SetUseVideoCompressor(BOOL on) const { Put(Id::UseVideoCompressor, Bool(on)); }
void CLumicor::SetUseAudioCompressor(BOOL on) const { Put(Id::UseAudioCompressor, Bool(on)); }
void CLumicor::SetShowPreview(BOOL on) const { Put(Id::ShowPreview, Bool(on)); }
void CLumicor::SetAspectRatio(BOOL on) const { Put(Id::AspectRatio, Bool(on)); }
void CLumicor::SetBackgroundColor(uint32_t color) const { Put(Id::BackgroundColor, Color(color)); }
void CLumicor::SetOutputType(short type) const { Put(Id::OutputType, Short(type)); }
void CLumicor::SetWMVCustomFileName(const std::string& file) const {
    Put(Id::WMVCustomFileName, Text(file));
}
void CLumicor::SetMPEGAudioBitrate(long bps) const { Put(Id::MPEGAudioBitrate, Long(bps)); }
void CLumicor::SetMPEGVideoBitrate(long bps) const { Put(Id::MPEGVideoBitrate, Long(bps)); }
void CLumicor::SetMPEGAudioChannels(short channels) const {
    Put(Id::MPEGAudioChannels, Short(channels));
}
void CLumicor::SetMPEGAudioSampleRate(long hertz) const {
    Put(Id::MPEGAudioSampleRate, Long(hertz));
}
void CLumicor::SetMPEGWidth(short width) const { Put(Id::MPEGWidth, Short(width)); }
void CLumicor::SetMPEGHeight(short height) const { Put(Id::MPEGHeight, Short(height)); }
void CLumicor::SetMPEGFrameRate(short rate) const { Put(Id::MPEGFrameRate, Short(rate)); }

void CLumicor::SetCountryCode(short code) const { Put(Id::CountryCode, Short(code)); }
short CLumicor::GetChannel() const { return static_cast<short>(GetInteger(Id::Channel)); }
void CLumicor::SetChannel(short channel) const { Put(Id::Channel, Short(channel)); }
BOOL CLumicor::GetTVMute() const { return GetInteger(Id::TVMute) != 0; }
void CLumicor::SetTVMute(BOOL mute) const { Put(Id::TVMute, Bool(mute)); }
void CLumicor::SetVideoStandard(short standard) const { Put(Id::VideoStandard, Short(standard)); }
void CLumicor::SetTunerMode(short mode) const { Put(Id::TunerMode, Short(mode)); }
void CLumicor::SetTunerInput(short input) const { Put(Id::TunerInput, Short(input)); }

void CLumicor::SetTextColor(uint32_t color) const { Put(Id::TextColor, Color(color)); }
void CLumicor::SetTextFontName(const std::string& name) const { Put(Id::TextFontName, Text(name)); }
void CLumicor::SetTextFontSize(short size) const { Put(Id::TextFontSize, Short(size)); }
void CLumicor::SetTextFontStyle(short style) const { Put(Id::TextFontStyle, Short(style)); }
void CLumicor::SetTextStyle(short style) const { Put(Id::TextStyle, Short(style)); }
void CLumicor::SetShowText(BOOL on) const { Put(Id::ShowText, Bool(on)); }
void CLumicor::SetDateColor(uint32_t color) const { Put(Id::DateColor, Color(color)); }
void CLumicor::SetDateFontName(const std::string& name) const { Put(Id::DateFontName, Text(name)); }
void CLumicor::SetDateFontSize(short size) const { Put(Id::DateFontSize, Short(size)); }
void CLumicor::SetDateFontStyle(short style) const { Put(Id::DateFontStyle, Short(style)); }
void CLumicor::SetShowDateTime(BOOL on) const { Put(Id::ShowDateTime, Bool(on)); }
void CLumicor::SetShowImage(BOOL on) const { Put(Id::ShowImage, Bool(on)); }

void CLumicor::SetBroadCast(BOOL on) const { Put(Id::BroadCast, Bool(on)); }
void CLumicor::SetBroadCastPortNo(short port) const { Put(Id::BroadCastPortNo, Short(port)); }
void CLumicor::SetMaxClients(short clients) const { Put(Id::MaxClients, Short(clients)); }
void CLumicor::SetPublishingURL(const std::string& url) const { Put(Id::PublishingURL, Text(url)); }

short CLumicor::Start() const { return static_cast<short>(CallInteger(Id::Start, {}, -1)); }
void CLumicor::Stop() const { CallVoid(Id::Stop); }
void CLumicor::Pause() const { CallVoid(Id::Pause); }
void CLumicor::Resume() const { CallVoid(Id::Resume); }
BOOL CLumicor::SnapShot(const std::string& file) const {
    return static_cast<BOOL>(CallInteger(Id::SnapShot, {Text(file)}));
}
BOOL CLumicor::SnapShotJPEG(const std::string& file, short quality) const {
    return static_cast<BOOL>(CallInteger(Id::SnapShotJPEG, {Text(file), Short(quality)}));
}
BOOL CLumicor::ShowVideoCapturePropertyPage() const {
    return CallInteger(Id::ShowVideoCapturePropertyPage) != 0;
}
BOOL CLumicor::ShowAudioCapturePropertyPage() const {
    return CallInteger(Id::ShowAudioCapturePropertyPage) != 0;
}
BOOL CLumicor::ShowVideoFormatPropertyPage() const {
    return CallInteger(Id::ShowVideoFormatPropertyPage) != 0;
}
BOOL CLumicor::ShowCrossbarPropertyPage() const {
    return CallInteger(Id::ShowCrossbarPropertyPage) != 0;
}
BOOL CLumicor::ScanTVChannels() const { return CallInteger(Id::ScanTVChannels) != 0; }
void CLumicor::ResizeControl(short width, short height) const {
    CallVoid(Id::ResizeControl, {Short(width), Short(height)});
}
void CLumicor::RefreshDevice() const { CallVoid(Id::RefreshDevice); }
BOOL CLumicor::RefreshAudioInputPin(short audioDevice) const {
    return CallInteger(Id::RefreshAudioInputPin, {Short(audioDevice)}) != 0;
}
void CLumicor::DrawText(short x, short y, const std::string& text) const {
    CallVoid(Id::DrawText, {Short(x), Short(y), Text(text)});
}
void CLumicor::DrawTime(short x, short y, short dateFormat) const {
    CallVoid(Id::DrawTime, {Short(x), Short(y), Short(dateFormat)});
}
void CLumicor::DrawImage(short x, short y, const std::string& image, uint32_t transparent,
                         short alpha) const {
    CallVoid(Id::DrawImage, {Short(x), Short(y), Text(image), Color(transparent), Short(alpha)});
}
void CLumicor::SetHashBrushValue(short hatchStyle, uint32_t fore, uint32_t back) const {
    CallVoid(Id::SetHashBrushValue, {Short(hatchStyle), Color(fore), Color(back)});
}
void CLumicor::SetTextureBrushImage(const std::string& image) const {
    CallVoid(Id::SetTextureBrushImage, {Text(image)});
}
void CLumicor::SetOutlineTextBackColor(uint32_t color) const {
    CallVoid(Id::SetOutlineTextBackColor, {Color(color)});
}
void CLumicor::SetOutlineTextBorderColor(uint32_t color) const {
    CallVoid(Id::SetOutlineTextBorderColor, {Color(color)});
}
std::string CLumicor::GetVideoCompressorName(short index) const {
    return CallText(Id::GetVideoCompressorName, {Short(index)});
}
void CLumicor::SetUserDefineVideoFormat(short width, short height) const {
    CallVoid(Id::SetUserDefineVideoFormat, {Short(width), Short(height)});
}
std::string CLumicor::GetConnectedIP(short index) const {
    return CallText(Id::GetConnectedIP, {Short(index)});
}
void CLumicor::AboutBox() const { CallVoid(Id::AboutBox); }
