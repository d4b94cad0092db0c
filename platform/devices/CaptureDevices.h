#pragma once
// Device filters made from device descriptions.
//
// A video capture filter has a "Capture" pin (PIN_CATEGORY_CAPTURE) and, when the device has
// one, a "Preview" pin (PIN_CATEGORY_PREVIEW), each with IAMStreamConfig over its capabilities
// and IAMDroppedFrames; an "Analog Video In" input pin (PIN_CATEGORY_ANALOGVIDEOIN) where the
// card's crossbar and tuner answer (the upstream walk of FindInterface asks it); and on the
// filter IAMAnalogVideoDecoder, IAMVideoProcAmp, IAMCameraControl, IAMVfwCaptureDialogs and
// ISpecifyPropertyPages as the device has them.
// An audio capture filter has a "Capture" output pin with IAMStreamConfig and one input pin per
// input line, named after it, with IAMAudioInputMixer.
//
// Virtual devices draw a moving test picture with the frame number (or play a tone); V4L2 and
// ALSA devices stream from the hardware.
#include <memory>
#include <vector>

#include "platform/devices/DeviceDescription.h"
#include "platform/devices/DeviceState.h"
#include "platform/devices/SystemDeviceEnum.h"

struct IBaseFilter;

inline constexpr CLSID CLSID_OrvantaVideoCapture = MakeGuid("{6A8B1C20-3E5D-4F71-9B0A-2C4D6E8F1A01}");
inline constexpr CLSID CLSID_OrvantaAudioCapture = MakeGuid("{6A8B1C20-3E5D-4F71-9B0A-2C4D6E8F1A02}");
// The property page class a device's ISpecifyPropertyPages names.
inline constexpr CLSID CLSID_OrvantaDevicePropertyPage = MakeGuid("{6A8B1C20-3E5D-4F71-9B0A-2C4D6E8F1A03}");

// Makes the filter of a device; VFW_E_NOT_FOUND-like failures for a device that cannot be opened
// (and for a virtual device described to fail).
HRESULT BindCaptureDevice(const DeviceDescription& description, IBaseFilter** filter);
// The capture category as the enumerator lists it.
std::vector<DeviceMonikerEntry> CaptureDeviceMonikers(DeviceKind kind);

// What a driver dialog does when shown. Without a handler the format dialog lists the capture
// pin's formats and the source and display dialogs show the device's settings page
// (DevicePropertyPage.h); a handler replaces both (tests: no dialog may block them).
using DeviceDialogHandler = std::function<HRESULT(const DeviceDescription& device, int dialog, uint32_t owner)>;
void SetDeviceDialogHandler(DeviceDialogHandler handler);

// The test picture of a virtual camera: frame `frame` in `subtype` (RGB24, RGB32, YUY2, UYVY,
// I420) at that size into `data` (DIB layout for RGB: bottom-up rows padded to 4 bytes).
// `brightness` shifts every pixel's luma. The frame number is drawn as 32 blocks along the top.
bool DrawTestPicture(const Guid& subtype, int width, int height, uint32_t frame, int brightness, uint8_t* data,
                     size_t size);
// Reads back the frame number a test picture in RGB24 carries, -1 when it carries none.
int64_t TestPictureFrameNumber(const uint8_t* rgb24, int width, int height);
