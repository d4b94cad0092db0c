#include "app/outside/CScreen2Video.h"

#include <cstdio>

namespace {

// The control's DISPIDs beyond the properties (whose DISPIDs stand beside their setters).
namespace Id {
constexpr DISPID VideoCompressors = 2, AudioCompressors = 8, WMVProfiles = 10, AudioInputPins = 17,
                 AudioDevices = 20, Start = 40, Stop = 41, ScreenWidth = 42, ScreenHeight = 43,
                 RefreshAudioInputPins = 44, Pause = 45, Resume = 46, SetCaptureRect = 49,
                 LastError = 50;
}  // namespace Id

// Members of the control's lists.
constexpr DISPID kNameMember = 2;
constexpr DISPID kShowPropertyPage = 4;

Variant Short(short value) { return Variant(static_cast<int16_t>(value)); }
Variant Long(long value) { return Variant(static_cast<int32_t>(value)); }

}  // namespace

CScreen2Video::~CScreen2Video() { Destroy(); }

HRESULT CScreen2Video::Create(QWidget* container) {
    Destroy();
    ComPtr<ControlSite> site = ControlSite::Create(container);
    HRESULT hr = site->CreateControl(CLSID_Screen2Video);
    if (SUCCEEDED(hr)) hr = site->InitNew();
    if (SUCCEEDED(hr)) hr = site->Activate();
    if (FAILED(hr)) {
        site->Destroy();
        return hr;
    }
    site_ = std::move(site);
    driver_.Attach(site_->Control());
    return S_OK;
}

void CScreen2Video::Destroy() {
    driver_.Attach({});
    if (site_) site_->Destroy();
    site_.Reset();
}

LumicorCollection CScreen2Video::Collection(DISPID property) const {
    Variant object;
    if (FAILED(driver_.GetProperty(property, &object))) return {};
    Variant list = object.Deref();
    if (list.Type() != VT_DISPATCH || !list.Dispatch()) return {};
    return LumicorCollection(ComPtr<IDispatch>(list.Dispatch()), kNameMember);
}

void CScreen2Video::Put(DISPID dispid, Variant value) {
    if (hook_) hook_(dispid, {value});
    if (HRESULT hr = driver_.PutProperty(dispid, std::move(value)); FAILED(hr)) {
        ++failures_;
        std::fprintf(stderr, "orvanta: setting screen capture property %d failed: 0x%08X\n",
                     static_cast<int>(dispid), static_cast<unsigned>(hr));
    }
}

long CScreen2Video::CallInteger(DISPID dispid, std::vector<Variant> args, long fallback) {
    if (hook_) hook_(dispid, args);
    Variant result;
    if (HRESULT hr = driver_.Call(dispid, std::move(args), &result); FAILED(hr)) {
        ++failures_;
        std::fprintf(stderr, "orvanta: screen capture method %d failed: 0x%08X\n",
                     static_cast<int>(dispid), static_cast<unsigned>(hr));
        return fallback;
    }
    return static_cast<long>(IntegerOfVariant(result, fallback));
}

void CScreen2Video::CallVoid(DISPID dispid, std::vector<Variant> args) {
    CallInteger(dispid, std::move(args), 0);
}

LumicorCollection CScreen2Video::VideoCompressors() const { return Collection(Id::VideoCompressors); }
LumicorCollection CScreen2Video::AudioCompressors() const { return Collection(Id::AudioCompressors); }
LumicorCollection CScreen2Video::WMVProfiles() const { return Collection(Id::WMVProfiles); }
LumicorCollection CScreen2Video::AudioInputPins() const { return Collection(Id::AudioInputPins); }
LumicorCollection CScreen2Video::AudioDevices() const { return Collection(Id::AudioDevices); }

bool CScreen2Video::ShowVideoCompressorPage(int index) const {
    LumicorCollection list = VideoCompressors();
    Variant shown;
    if (!list || index < 0 || index > 0x7FFF ||
        FAILED(list.Driver().Call(kShowPropertyPage, {Short(static_cast<short>(index))}, &shown))) {
        return false;
    }
    return IntegerOfVariant(shown, 0) != 0;
}

void CScreen2Video::SetVideoCompressor(short index) { Put(1, Short(index)); }
void CScreen2Video::SetFileName(const std::string& path) { Put(3, Variant(path)); }
void CScreen2Video::SetUseVideoCompressor(bool on) { Put(4, Variant(on)); }
void CScreen2Video::SetRecordAudio(bool on) { Put(5, Variant(on)); }
void CScreen2Video::SetAudioCompressor(short index) { Put(6, Short(index)); }
void CScreen2Video::SetUseAudioCompressor(bool on) { Put(7, Variant(on)); }
void CScreen2Video::SetWMVProfile(short index) { Put(9, Short(index)); }
void CScreen2Video::SetWMVProfileFile(const std::string& file) { Put(11, Variant(file)); }
void CScreen2Video::SetCaptureWidth(short width) { Put(12, Short(width)); }
void CScreen2Video::SetCaptureHeight(short height) { Put(13, Short(height)); }
void CScreen2Video::SetCaptureCursor(bool on) { Put(15, Variant(on)); }
void CScreen2Video::SetFrameRate(short fps) { Put(16, Short(fps)); }
void CScreen2Video::SetAudioInputPin(short index) { Put(18, Short(index)); }
void CScreen2Video::SetAudioDevice(short index) { Put(19, Short(index)); }
void CScreen2Video::SetSWFAudioBitrate(long bps) { Put(22, Long(bps)); }
void CScreen2Video::SetSWFAudioChannels(long channels) { Put(23, Long(channels)); }
void CScreen2Video::SetSWFAudioSampleRate(long hertz) { Put(24, Long(hertz)); }
void CScreen2Video::SetSWFWidth(short width) { Put(25, Short(width)); }
void CScreen2Video::SetSWFHeight(short height) { Put(26, Short(height)); }
void CScreen2Video::SetSWFVideoBitrate(long bps) { Put(27, Long(bps)); }
void CScreen2Video::SetOutputKind(long kind) { Put(28, Long(kind)); }
void CScreen2Video::SetFLVAudioBitrate(long bps) { Put(29, Long(bps)); }
void CScreen2Video::SetFLVAudioChannels(long channels) { Put(30, Long(channels)); }
void CScreen2Video::SetFLVAudioSampleRate(long hertz) { Put(31, Long(hertz)); }
void CScreen2Video::SetFLVVideoBitrate(long bps) { Put(32, Long(bps)); }
void CScreen2Video::SetFLVHeight(short height) { Put(33, Short(height)); }
void CScreen2Video::SetFLVWidth(short width) { Put(34, Short(width)); }
void CScreen2Video::SetVolume(double volume) { Put(35, Variant(volume)); }
void CScreen2Video::SetMP3Bitrate(short kbps) { Put(36, Short(kbps)); }
void CScreen2Video::SetMP3SampleRate(long hertz) { Put(37, Long(hertz)); }

long CScreen2Video::Start() { return CallInteger(Id::Start, {}, -1); }
void CScreen2Video::Stop() { CallVoid(Id::Stop); }
long CScreen2Video::GetScreenWidth() { return CallInteger(Id::ScreenWidth, {}, 0); }
long CScreen2Video::GetScreenHeight() { return CallInteger(Id::ScreenHeight, {}, 0); }
bool CScreen2Video::RefreshAudioInputPins(short device) {
    return CallInteger(Id::RefreshAudioInputPins, {Short(device)}, 0) != 0;
}
void CScreen2Video::Pause() { CallVoid(Id::Pause); }
void CScreen2Video::Resume() { CallVoid(Id::Resume); }
void CScreen2Video::SetCaptureRect(short left, short top, short right, short bottom) {
    CallVoid(Id::SetCaptureRect, {Short(left), Short(top), Short(right), Short(bottom)});
}

std::string CScreen2Video::LastError() const {
    Variant text;
    if (FAILED(driver_.GetProperty(Id::LastError, &text))) return {};
    return TextOfVariant(text);
}
