// Start, Stop, Pause, Resume and the refreshes of the device lists.
#include "control/LumicorCtrl.h"

namespace {

// The name of entry `index`, or "" when there is none.
std::string NameAt(const NameList& names, int16_t index) {
    if (index < 0 || static_cast<size_t>(index) >= names.size()) return {};
    return names[static_cast<size_t>(index)];
}

}  // namespace

int16_t CLumicorCtrl::Start() {
    // A helper left from an earlier start quits; without one the message goes nowhere.
    session_.QuitHelper();

    session_.useUserFormat = useUserDefineVideoFormat_ != 0;
    session_.frameRate = frameRate_;
    session_.audioInputPin = audioInputPin_;
    session_.tunerInput = tunerInput_ != 0;
    session_.tunerMode = tunerMode_;
    session_.tvMute = tvMute_ != 0;
    session_.channel = channel_;
    session_.countryCode = countryCode_;
    session_.backgroundColor = backgroundColor_;
    session_.aspectRatio = aspectRatio_ != 0;
    session_.showPreview = showPreview_ != 0;
    session_.mpegAudioBitrate = mpegAudioBitrate_;
    session_.mpegVideoBitrate = mpegVideoBitrate_;
    session_.mpegAudioChannels = mpegAudioChannels_;
    session_.mpegAudioSampleRate = mpegAudioSampleRate_;
    session_.mpegWidth = mpegWidth_;
    session_.mpegHeight = mpegHeight_;
    session_.mpegFrameRate = static_cast<float>(mpegFrameRate_);
    session_.outputType = outputType_;
    session_.captureMode = captureMode_ != 0;
    session_.captureAudio = captureAudio_ != 0;
    session_.captureVideo = captureVideo_ != 0;
    session_.useAudioCompressor = useAudioCompressor_ != 0;
    session_.useVideoCompressor = useVideoCompressor_ != 0;
    session_.captureFileName = captureFileName_;

    if (captureFileName_.empty() && captureMode_) return -2;

    const std::string videoName = NameAt(devices_->Entries(), device_);
    const std::string audioName = NameAt(audioDevices_->Entries(), audioDevice_);
    const std::string videoCompressor = NameAt(videoCompressors_->Entries(), videoCompressor_);
    const std::string audioCompressor = NameAt(audioCompressors_->Entries(), audioCompressor_);
    if (videoName.empty()) return -1;

    Guid profile{};
    const WmvProfileList& profiles = wmvProfiles_->Entries();
    if (wmvProfile_ >= 0 && static_cast<size_t>(wmvProfile_) < profiles.size())
        profile = profiles[static_cast<size_t>(wmvProfile_)].id;

    const HRESULT started = session_.StartSession(videoFormats_->Entries(), videoName, audioName, videoCompressor,
                                             audioCompressor, videoFormat_, videoInput_, profile);
    // The build lists the device's formats and inputs afresh.
    SyncAll();

    session_.EnableImageOverlay(showImage_ != 0);
    session_.EnableTextOverlay(showText_ != 0);
    session_.EnableDateOverlay(showDateTime_ != 0);
    SendTextOverlay();
    SendDateOverlay();

    SetControlTimer(1, 100);
    if (FAILED(started)) {
        // Start keeps its -1; the container also learns why.
        FireCaptureError(started, "the capture could not be started: " + session_.LastFailure());
        return -1;
    }
    return 0;
}

void CLumicorCtrl::Stop() {
    session_.StopSession();
}

void CLumicorCtrl::Pause() {
    session_.PauseCapture();
}

void CLumicorCtrl::Resume() {
    session_.ResumeCapture();
}

void CLumicorCtrl::RefreshDevice() {
    session_.StopSession();
    // A container holding the old collections keeps valid, stale objects.
    videoFormats_ = MakeCom<CVideoFormats>();
    videoInputs_ = MakeCom<CVideoInputs>();
    const std::string videoName = NameAt(devices_->Entries(), device_);
    const std::string audioName = NameAt(audioDevices_->Entries(), audioDevice_);
    if (!videoName.empty())
        session_.ProbeDevice(videoName, audioName, videoFormats_->Entries(), videoInputs_->Entries());
    videoFormats_->Sync();
    videoInputs_->Sync();
}

BOOL CLumicorCtrl::RefreshAudioInputPin(int16_t audioDeviceIndex) {
    audioDevices_->Empty();
    audioInputPins_->Empty();
    session_.RefreshAudioInputs(audioDeviceIndex, audioDevices_->Entries(), audioInputPins_->Entries());
    audioDevices_->Sync();
    audioInputPins_->Sync();
    return TRUE;
}

std::string CLumicorCtrl::GetVideoCompressorName(int16_t index) const {
    return NameAt(videoCompressors_->Entries(), index);
}
