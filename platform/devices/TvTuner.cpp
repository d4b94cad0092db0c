#include "platform/devices/TvTuner.h"

#include <algorithm>

#include "platform/base/Log.h"
#include "platform/devices/ChannelFrequencies.h"

TunerInputType TvTuner::CurrentInputType() {
    const auto& tuner = Tuner();
    if (tuner.connectInput < 0 || tuner.connectInput >= static_cast<LONG>(tuner.inputTypes.size()))
        return TunerInputCable;
    return static_cast<TunerInputType>(tuner.inputTypes[tuner.connectInput]);
}

HRESULT TvTuner::TuneLocked(LONG channel) {
    auto& tuner = Tuner();
    if (channel < tuner.channelMin || channel > tuner.channelMax) return E_INVALIDARG;
    LONG previous = tuner.channel;
    tuner.channel = channel;
    HRESULT hr = state_->driver->ApplyTuning(tuner);
    if (FAILED(hr)) {
        tuner.channel = previous;
        return hr;
    }
    if (LogEnabled(LogLevel::Debug, "devices"))
        LogDebug("devices", state_->description.name + ": tuned to channel " + std::to_string(channel));
    return hr;
}

LONG TvTuner::SignalLocked() {
    auto& tuner = Tuner();
    LONG strength = AMTUNER_NOSIGNAL;
    if (state_->driver->MeasureSignal(tuner, &strength)) return strength;
    auto it = std::find_if(tuner.channels.begin(), tuner.channels.end(),
                           [&](const TunerChannel& c) { return c.number == tuner.channel; });
    if (it == tuner.channels.end()) return AMTUNER_NOSIGNAL;
    switch (it->signal) {
        case SignalState::Present: return AMTUNER_SIGNALPRESENT;
        case SignalState::Absent: return AMTUNER_NOSIGNAL;
        case SignalState::Unmeasurable: return AMTUNER_HASNOSIGNALSTRENGTH;
    }
    return AMTUNER_NOSIGNAL;
}

HRESULT TvTuner::put_Channel(LONG channel, LONG, LONG) {
    std::lock_guard lock(state_->mutex);
    return TuneLocked(channel);
}

HRESULT TvTuner::get_Channel(LONG* channel, LONG* videoSubChannel, LONG* audioSubChannel) {
    if (!channel || !videoSubChannel || !audioSubChannel) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *channel = Tuner().channel;
    *videoSubChannel = AMTUNER_SUBCHAN_DEFAULT;
    *audioSubChannel = AMTUNER_SUBCHAN_DEFAULT;
    return S_OK;
}

HRESULT TvTuner::ChannelMinMax(LONG* channelMin, LONG* channelMax) {
    if (!channelMin || !channelMax) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *channelMin = Tuner().channelMin;
    *channelMax = Tuner().channelMax;
    return S_OK;
}

HRESULT TvTuner::put_CountryCode(LONG countryCode) {
    if (countryCode < 1 || countryCode > 999) return E_INVALIDARG;
    std::lock_guard lock(state_->mutex);
    auto& tuner = Tuner();
    tuner.countryCode = countryCode;
    if (!tuner.hasChannelTable) ChannelPlanRange(countryCode, CurrentInputType(), &tuner.channelMin, &tuner.channelMax);
    return S_OK;
}

HRESULT TvTuner::get_CountryCode(LONG* countryCode) {
    if (!countryCode) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *countryCode = Tuner().countryCode;
    return S_OK;
}

HRESULT TvTuner::put_TuningSpace(LONG tuningSpace) {
    std::lock_guard lock(state_->mutex);
    Tuner().tuningSpace = tuningSpace;
    return S_OK;
}

HRESULT TvTuner::get_TuningSpace(LONG* tuningSpace) {
    if (!tuningSpace) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *tuningSpace = Tuner().tuningSpace;
    return S_OK;
}

HRESULT TvTuner::Logon(void*) { return S_OK; }
HRESULT TvTuner::Logout() { return S_OK; }

HRESULT TvTuner::SignalPresent(LONG* signalStrength) {
    if (!signalStrength) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *signalStrength = SignalLocked();
    return S_OK;
}

HRESULT TvTuner::put_Mode(AMTunerModeType mode) {
    std::lock_guard lock(state_->mutex);
    auto& tuner = Tuner();
    if (mode == AMTUNER_MODE_DEFAULT) mode = static_cast<AMTunerModeType>(tuner.availableModes & -tuner.availableModes);
    if ((tuner.availableModes & mode) == 0 || (mode & (mode - 1)) != 0) return E_INVALIDARG;
    tuner.mode = mode;
    return S_OK;
}

HRESULT TvTuner::get_Mode(AMTunerModeType* mode) {
    if (!mode) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *mode = static_cast<AMTunerModeType>(Tuner().mode);
    return S_OK;
}

HRESULT TvTuner::GetAvailableModes(LONG* modes) {
    if (!modes) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *modes = Tuner().availableModes;
    return S_OK;
}

// Channel change notifications are not sent: every caller here polls.
HRESULT TvTuner::RegisterNotificationCallBack(IAMTunerNotification*, LONG) { return E_NOTIMPL; }
HRESULT TvTuner::UnRegisterNotificationCallBack(IAMTunerNotification*) { return E_NOTIMPL; }

HRESULT TvTuner::get_AvailableTVFormats(LONG* standards) {
    if (!standards) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *standards = Tuner().availableTvFormats;
    return S_OK;
}

HRESULT TvTuner::get_TVFormat(LONG* standard) {
    if (!standard) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *standard = Tuner().tvFormat;
    return S_OK;
}

HRESULT TvTuner::AutoTune(LONG channel, LONG* foundSignal) {
    if (!foundSignal) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *foundSignal = 0;
    HRESULT hr = TuneLocked(channel);
    if (FAILED(hr)) return hr;
    LONG signal = SignalLocked();
    if (signal == AMTUNER_HASNOSIGNALSTRENGTH) {
        // A tuner that cannot measure strength still locks on a carrier while fine-tuning.
        const auto& channels = Tuner().channels;
        auto it = std::find_if(channels.begin(), channels.end(), [&](const TunerChannel& c) { return c.number == channel; });
        *foundSignal = it != channels.end() && it->autoTuneFinds ? 1 : 0;
    } else {
        *foundSignal = signal == AMTUNER_SIGNALPRESENT ? 1 : 0;
    }
    return S_OK;
}

HRESULT TvTuner::StoreAutoTune() { return S_OK; }

HRESULT TvTuner::get_NumInputConnections(LONG* count) {
    if (!count) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *count = Tuner().inputConnections;
    return S_OK;
}

HRESULT TvTuner::put_InputType(LONG index, TunerInputType inputType) {
    if (inputType != TunerInputCable && inputType != TunerInputAntenna) return E_INVALIDARG;
    std::lock_guard lock(state_->mutex);
    auto& tuner = Tuner();
    if (index < 0 || index >= tuner.inputConnections) return E_INVALIDARG;
    tuner.inputTypes.resize(tuner.inputConnections, TunerInputCable);
    tuner.inputTypes[index] = inputType;
    if (!tuner.hasChannelTable) ChannelPlanRange(tuner.countryCode, CurrentInputType(), &tuner.channelMin, &tuner.channelMax);
    return S_OK;
}

HRESULT TvTuner::get_InputType(LONG index, TunerInputType* inputType) {
    if (!inputType) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    auto& tuner = Tuner();
    if (index < 0 || index >= tuner.inputConnections) return E_INVALIDARG;
    *inputType = index < static_cast<LONG>(tuner.inputTypes.size()) ? static_cast<TunerInputType>(tuner.inputTypes[index])
                                                                     : TunerInputCable;
    return S_OK;
}

HRESULT TvTuner::put_ConnectInput(LONG index) {
    std::lock_guard lock(state_->mutex);
    auto& tuner = Tuner();
    if (index < 0 || index >= tuner.inputConnections) return E_INVALIDARG;
    tuner.connectInput = index;
    return S_OK;
}

HRESULT TvTuner::get_ConnectInput(LONG* index) {
    if (!index) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    *index = Tuner().connectInput;
    return S_OK;
}

HRESULT TvTuner::get_VideoFrequency(LONG* frequencyHz) {
    if (!frequencyHz) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    auto khz = VisionCarrierKHz(Tuner().countryCode, CurrentInputType(), Tuner().channel);
    if (!khz) return E_FAIL;
    *frequencyHz = static_cast<LONG>(*khz * 1000);
    return S_OK;
}

HRESULT TvTuner::get_AudioFrequency(LONG* frequencyHz) {
    if (!frequencyHz) return E_POINTER;
    std::lock_guard lock(state_->mutex);
    auto khz = VisionCarrierKHz(Tuner().countryCode, CurrentInputType(), Tuner().channel);
    if (!khz) return E_FAIL;
    *frequencyHz = static_cast<LONG>((*khz + SoundCarrierOffsetKHz(Tuner().countryCode)) * 1000);
    return S_OK;
}
