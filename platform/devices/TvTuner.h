#pragma once
// IAMTVTuner over a device's tuner description. Channels are tuned through the driver (the
// frequency comes from the channel plan); the signal comes from the hardware where it can measure
// it, else from the description's channel table, where "unknown" answers neither 0 nor 1.
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/DeviceState.h"

class TvTuner : public ComObject<IAMTVTuner> {
public:
    // The device must have a tuner.
    explicit TvTuner(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}

    HRESULT put_Channel(LONG channel, LONG videoSubChannel, LONG audioSubChannel) override;
    HRESULT get_Channel(LONG* channel, LONG* videoSubChannel, LONG* audioSubChannel) override;
    HRESULT ChannelMinMax(LONG* channelMin, LONG* channelMax) override;
    HRESULT put_CountryCode(LONG countryCode) override;
    HRESULT get_CountryCode(LONG* countryCode) override;
    HRESULT put_TuningSpace(LONG tuningSpace) override;
    HRESULT get_TuningSpace(LONG* tuningSpace) override;
    HRESULT Logon(void* user) override;
    HRESULT Logout() override;
    HRESULT SignalPresent(LONG* signalStrength) override;
    HRESULT put_Mode(AMTunerModeType mode) override;
    HRESULT get_Mode(AMTunerModeType* mode) override;
    HRESULT GetAvailableModes(LONG* modes) override;
    HRESULT RegisterNotificationCallBack(IAMTunerNotification* notify, LONG events) override;
    HRESULT UnRegisterNotificationCallBack(IAMTunerNotification* notify) override;

    HRESULT get_AvailableTVFormats(LONG* standards) override;
    HRESULT get_TVFormat(LONG* standard) override;
    HRESULT AutoTune(LONG channel, LONG* foundSignal) override;
    HRESULT StoreAutoTune() override;
    HRESULT get_NumInputConnections(LONG* count) override;
    HRESULT put_InputType(LONG index, TunerInputType inputType) override;
    HRESULT get_InputType(LONG index, TunerInputType* inputType) override;
    HRESULT put_ConnectInput(LONG index) override;
    HRESULT get_ConnectInput(LONG* index) override;
    HRESULT get_VideoFrequency(LONG* frequencyHz) override;
    HRESULT get_AudioFrequency(LONG* frequencyHz) override;

private:
    // Under the state's mutex.
    TunerDescription& Tuner() { return *state_->description.tuner; }
    TunerInputType CurrentInputType();
    LONG SignalLocked();
    HRESULT TuneLocked(LONG channel);

    std::shared_ptr<DeviceState> state_;
};
