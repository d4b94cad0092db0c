#pragma once
// The capture-device interfaces a session reaches on device filters and their pins: crossbar,
// TV tuner, analog video decoder, audio input mixer, proc-amp, camera control, dropped frames,
// driver dialogs and property pages. Slot orders and values are the platform's, so callers written
// against the Windows design call them unchanged.
#include <cstdint>

#include "platform/com/PropertyPageList.h"
#include "platform/com/Unknown.h"

// --- crossbar --------------------------------------------------------------------------------

// Physical connector types (PhysicalConnectorType).
enum PhysicalConnectorType : LONG {
    PhysConn_Video_Tuner = 1,
    PhysConn_Video_Composite = 2,
    PhysConn_Video_SVideo = 3,
    PhysConn_Video_RGB = 4,
    PhysConn_Video_YRYBY = 5,
    PhysConn_Video_SerialDigital = 6,
    PhysConn_Video_ParallelDigital = 7,
    PhysConn_Video_SCSI = 8,
    PhysConn_Video_AUX = 9,
    PhysConn_Video_1394 = 10,
    PhysConn_Video_USB = 11,
    PhysConn_Video_VideoDecoder = 12,
    PhysConn_Video_VideoEncoder = 13,
    PhysConn_Audio_Tuner = 0x1000,
    PhysConn_Audio_Line = 0x1001,
    PhysConn_Audio_Mic = 0x1002,
    PhysConn_Audio_AESDigital = 0x1003,
    PhysConn_Audio_SPDIFDigital = 0x1004,
    PhysConn_Audio_SCSI = 0x1005,
    PhysConn_Audio_AUX = 0x1006,
    PhysConn_Audio_1394 = 0x1007,
    PhysConn_Audio_USB = 0x1008,
    PhysConn_Audio_AudioDecoder = 0x1009,
};

struct IAMCrossbar : IUnknown {
    static constexpr IID iid = MakeGuid("{C6E13380-30AC-11d0-A18C-00A0C9118956}");
    virtual HRESULT get_PinCounts(LONG* outputPinCount, LONG* inputPinCount) = 0;
    virtual HRESULT CanRoute(LONG outputPinIndex, LONG inputPinIndex) = 0;
    // inputPinIndex -1 disconnects the output.
    virtual HRESULT Route(LONG outputPinIndex, LONG inputPinIndex) = 0;
    virtual HRESULT get_IsRoutedTo(LONG outputPinIndex, LONG* inputPinIndex) = 0;
    virtual HRESULT get_CrossbarPinInfo(BOOL isInputPin, LONG pinIndex, LONG* pinIndexRelated,
                                        LONG* physicalType) = 0;

protected:
    ~IAMCrossbar() = default;
};

// --- tuner -----------------------------------------------------------------------------------

enum AMTunerModeType : LONG {
    AMTUNER_MODE_DEFAULT = 0,
    AMTUNER_MODE_TV = 0x1,
    AMTUNER_MODE_FM_RADIO = 0x2,
    AMTUNER_MODE_AM_RADIO = 0x4,
    AMTUNER_MODE_DSS = 0x8,
};
enum TunerInputType : LONG { TunerInputCable = 0, TunerInputAntenna = 1 };
inline constexpr LONG AMTUNER_SUBCHAN_NO_TUNE = -2;
inline constexpr LONG AMTUNER_SUBCHAN_DEFAULT = -1;
// SignalPresent answers.
inline constexpr LONG AMTUNER_HASNOSIGNALSTRENGTH = -1;
inline constexpr LONG AMTUNER_NOSIGNAL = 0;
inline constexpr LONG AMTUNER_SIGNALPRESENT = 1;

struct IAMTunerNotification;

struct IAMTuner : IUnknown {
    static constexpr IID iid = MakeGuid("{211A8761-03AC-11d1-8D13-00AA00BD8339}");
    virtual HRESULT put_Channel(LONG channel, LONG videoSubChannel, LONG audioSubChannel) = 0;
    virtual HRESULT get_Channel(LONG* channel, LONG* videoSubChannel, LONG* audioSubChannel) = 0;
    virtual HRESULT ChannelMinMax(LONG* channelMin, LONG* channelMax) = 0;
    virtual HRESULT put_CountryCode(LONG countryCode) = 0;
    virtual HRESULT get_CountryCode(LONG* countryCode) = 0;
    virtual HRESULT put_TuningSpace(LONG tuningSpace) = 0;
    virtual HRESULT get_TuningSpace(LONG* tuningSpace) = 0;
    virtual HRESULT Logon(void* user) = 0;
    virtual HRESULT Logout() = 0;
    // AMTUNER_SIGNALPRESENT, AMTUNER_NOSIGNAL or AMTUNER_HASNOSIGNALSTRENGTH.
    virtual HRESULT SignalPresent(LONG* signalStrength) = 0;
    virtual HRESULT put_Mode(AMTunerModeType mode) = 0;
    virtual HRESULT get_Mode(AMTunerModeType* mode) = 0;
    virtual HRESULT GetAvailableModes(LONG* modes) = 0;
    virtual HRESULT RegisterNotificationCallBack(IAMTunerNotification* notify, LONG events) = 0;
    virtual HRESULT UnRegisterNotificationCallBack(IAMTunerNotification* notify) = 0;

protected:
    ~IAMTuner() = default;
};

struct IAMTVTuner : IAMTuner {
    static constexpr IID iid = MakeGuid("{211A8766-03AC-11d1-8D13-00AA00BD8339}");
    using Base = IAMTuner;
    virtual HRESULT get_AvailableTVFormats(LONG* standards) = 0;
    virtual HRESULT get_TVFormat(LONG* standard) = 0;
    virtual HRESULT AutoTune(LONG channel, LONG* foundSignal) = 0;
    virtual HRESULT StoreAutoTune() = 0;
    virtual HRESULT get_NumInputConnections(LONG* count) = 0;
    virtual HRESULT put_InputType(LONG index, TunerInputType inputType) = 0;
    virtual HRESULT get_InputType(LONG index, TunerInputType* inputType) = 0;
    virtual HRESULT put_ConnectInput(LONG index) = 0;
    virtual HRESULT get_ConnectInput(LONG* index) = 0;
    virtual HRESULT get_VideoFrequency(LONG* frequencyHz) = 0;
    virtual HRESULT get_AudioFrequency(LONG* frequencyHz) = 0;

protected:
    ~IAMTVTuner() = default;
};

// --- analog video decoder ----------------------------------------------------------------------

// AnalogVideoStandard bits.
enum AnalogVideoStandard : LONG {
    AnalogVideo_None = 0,
    AnalogVideo_NTSC_M = 0x1,
    AnalogVideo_NTSC_M_J = 0x2,
    AnalogVideo_NTSC_433 = 0x4,
    AnalogVideo_PAL_B = 0x10,
    AnalogVideo_PAL_D = 0x20,
    AnalogVideo_PAL_G = 0x40,
    AnalogVideo_PAL_H = 0x80,
    AnalogVideo_PAL_I = 0x100,
    AnalogVideo_PAL_M = 0x200,
    AnalogVideo_PAL_N = 0x400,
    AnalogVideo_PAL_60 = 0x800,
    AnalogVideo_SECAM_B = 0x1000,
    AnalogVideo_SECAM_D = 0x2000,
    AnalogVideo_SECAM_G = 0x4000,
    AnalogVideo_SECAM_H = 0x8000,
    AnalogVideo_SECAM_K = 0x10000,
    AnalogVideo_SECAM_K1 = 0x20000,
    AnalogVideo_SECAM_L = 0x40000,
    AnalogVideo_SECAM_L1 = 0x80000,
    AnalogVideo_PAL_N_COMBO = 0x100000,
};

struct IAMAnalogVideoDecoder : IUnknown {
    static constexpr IID iid = MakeGuid("{C6E13350-30AC-11d0-A18C-00A0C9118956}");
    virtual HRESULT get_AvailableTVFormats(LONG* standards) = 0;
    virtual HRESULT put_TVFormat(LONG standard) = 0;
    virtual HRESULT get_TVFormat(LONG* standard) = 0;
    virtual HRESULT get_HorizontalLocked(LONG* locked) = 0;
    virtual HRESULT put_VCRHorizontalLocking(LONG vcrLocking) = 0;
    virtual HRESULT get_VCRHorizontalLocking(LONG* vcrLocking) = 0;
    virtual HRESULT get_NumberOfLines(LONG* lines) = 0;
    virtual HRESULT put_OutputEnable(LONG enable) = 0;
    virtual HRESULT get_OutputEnable(LONG* enable) = 0;

protected:
    ~IAMAnalogVideoDecoder() = default;
};

// --- audio input mixer (on each input pin of an audio capture filter) --------------------------

struct IAMAudioInputMixer : IUnknown {
    static constexpr IID iid = MakeGuid("{54C39221-8380-11d0-B3F0-00AA003761C5}");
    virtual HRESULT put_Enable(BOOL enable) = 0;
    virtual HRESULT get_Enable(BOOL* enable) = 0;
    virtual HRESULT put_Mono(BOOL mono) = 0;
    virtual HRESULT get_Mono(BOOL* mono) = 0;
    // 0.0 (silent) .. 1.0 (full scale).
    virtual HRESULT put_MixLevel(double level) = 0;
    virtual HRESULT get_MixLevel(double* level) = 0;
    virtual HRESULT put_Pan(double pan) = 0;
    virtual HRESULT get_Pan(double* pan) = 0;
    virtual HRESULT put_Loudness(BOOL loudness) = 0;
    virtual HRESULT get_Loudness(BOOL* loudness) = 0;
    virtual HRESULT put_Treble(double treble) = 0;
    virtual HRESULT get_Treble(double* treble) = 0;
    virtual HRESULT get_TrebleRange(double* range) = 0;
    virtual HRESULT put_Bass(double bass) = 0;
    virtual HRESULT get_Bass(double* bass) = 0;
    virtual HRESULT get_BassRange(double* range) = 0;

protected:
    ~IAMAudioInputMixer() = default;
};

// --- picture and camera adjustments ------------------------------------------------------------

enum VideoProcAmpProperty : LONG {
    VideoProcAmp_Brightness = 0,
    VideoProcAmp_Contrast = 1,
    VideoProcAmp_Hue = 2,
    VideoProcAmp_Saturation = 3,
    VideoProcAmp_Sharpness = 4,
    VideoProcAmp_Gamma = 5,
    VideoProcAmp_ColorEnable = 6,
    VideoProcAmp_WhiteBalance = 7,
    VideoProcAmp_BacklightCompensation = 8,
    VideoProcAmp_Gain = 9,
};
inline constexpr LONG VideoProcAmp_Flags_Auto = 0x1;
inline constexpr LONG VideoProcAmp_Flags_Manual = 0x2;

enum CameraControlProperty : LONG {
    CameraControl_Pan = 0,
    CameraControl_Tilt = 1,
    CameraControl_Roll = 2,
    CameraControl_Zoom = 3,
    CameraControl_Exposure = 4,
    CameraControl_Iris = 5,
    CameraControl_Focus = 6,
};
inline constexpr LONG CameraControl_Flags_Auto = 0x1;
inline constexpr LONG CameraControl_Flags_Manual = 0x2;

// The slot layout IAMVideoProcAmp and IAMCameraControl share (they differ only in their IIDs
// and in which property numbers they take). Not an interface of its own: it has no IID.
template <class Interface>
struct RangedPropertyInterface : IUnknown {
    virtual HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* steppingDelta, LONG* defaultValue,
                             LONG* capsFlags) = 0;
    virtual HRESULT Set(LONG property, LONG value, LONG flags) = 0;
    virtual HRESULT Get(LONG property, LONG* value, LONG* flags) = 0;

protected:
    ~RangedPropertyInterface() = default;
};

struct IAMVideoProcAmp : RangedPropertyInterface<IAMVideoProcAmp> {
    static constexpr IID iid = MakeGuid("{C6E13360-30AC-11d0-A18C-00A0C9118956}");

protected:
    ~IAMVideoProcAmp() = default;
};

struct IAMCameraControl : RangedPropertyInterface<IAMCameraControl> {
    static constexpr IID iid = MakeGuid("{C6E13370-30AC-11d0-A18C-00A0C9118956}");

protected:
    ~IAMCameraControl() = default;
};

// --- statistics, dialogs, property pages -------------------------------------------------------

struct IAMDroppedFrames : IUnknown {
    static constexpr IID iid = MakeGuid("{C6E13344-30AC-11d0-A18C-00A0C9118956}");
    virtual HRESULT GetNumDropped(LONG* dropped) = 0;
    virtual HRESULT GetNumNotDropped(LONG* notDropped) = 0;
    // Frame numbers of the first `size` dropped frames.
    virtual HRESULT GetDroppedInfo(LONG size, LONG* frames, LONG* copied) = 0;
    virtual HRESULT GetAverageFrameSize(LONG* averageSize) = 0;

protected:
    ~IAMDroppedFrames() = default;
};

enum VfwCaptureDialogs : int {
    VfwCaptureDialog_Source = 0x01,
    VfwCaptureDialog_Format = 0x02,
    VfwCaptureDialog_Display = 0x04,
};

struct IAMVfwCaptureDialogs : IUnknown {
    static constexpr IID iid = MakeGuid("{D8D715A0-6E5E-11D0-B3F0-00AA003761C5}");
    // S_OK when the device has that dialog, S_FALSE when not.
    virtual HRESULT HasDialog(int dialog) = 0;
    // `owner` is a window handle (0: no owner).
    virtual HRESULT ShowDialog(int dialog, uint32_t owner) = 0;
    virtual HRESULT SendDriverMessage(int dialog, int message, LONG data1, LONG data2) = 0;

protected:
    ~IAMVfwCaptureDialogs() = default;
};

