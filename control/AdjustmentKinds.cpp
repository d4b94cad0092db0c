#include "control/AdjustmentKinds.h"

#include <algorithm>

#include "control/AdjustmentInterfaces.h"
#include "platform/devices/DeviceInterfaces.h"

namespace {

// Min, Max, Default, Value, StepSize, Auto, Available: four member orders among the seventeen.
constexpr AdjustmentDispids kBrightnessOrder{1, 2, 3, 4, 5, 6, 7};
constexpr AdjustmentDispids kContrastOrder{3, 2, 1, 5, 4, 6, 7};
constexpr AdjustmentDispids kProcAmpOrder{4, 3, 2, 6, 5, 1, 7};
constexpr AdjustmentDispids kCameraOrder{5, 4, 3, 7, 6, 1, 2};

constexpr AdjustmentInfo kAdjustments[kAdjustmentCount] = {
    {AdjustmentKind::Brightness, "Brightness", 8, "IBrightness", IBrightness::iid,
     MakeGuid("{6E513118-61A6-424E-B5FC-0A74C6F629E1}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Brightness, kBrightnessOrder},
    {AdjustmentKind::Contrast, "Contrast", 9, "IContrast", IContrast::iid,
     MakeGuid("{1ED3F4C4-5D11-404A-AF41-AD6851CBD33F}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Contrast, kContrastOrder},
    {AdjustmentKind::Hue, "Hue", 10, "IHue", IHue::iid,
     MakeGuid("{8B0C6939-4230-466A-96C3-1A7EE8BC0831}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Hue, kProcAmpOrder},
    {AdjustmentKind::Saturation, "Saturation", 11, "ISaturation", ISaturation::iid,
     MakeGuid("{9A286CB2-F665-4E0C-AE33-7AB68FC2E74D}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Saturation, kProcAmpOrder},
    {AdjustmentKind::Sharpness, "Sharpness", 12, "ISharpness", ISharpness::iid,
     MakeGuid("{BF86A870-2278-4DD6-800E-2F778A51D43C}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Sharpness, kProcAmpOrder},
    {AdjustmentKind::Gamma, "Gamma", 13, "IGamma", IGamma::iid,
     MakeGuid("{07CD3348-854D-407B-A352-8AA4DB44316A}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Gamma, kProcAmpOrder},
    {AdjustmentKind::ColorEnable, "ColorEnable", 14, "IColorEnable", IColorEnable::iid,
     MakeGuid("{DA5C8467-D5DD-4BF6-AAFC-852106BBEEAF}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_ColorEnable, kProcAmpOrder},
    {AdjustmentKind::WhiteBalance, "WhiteBalance", 15, "IWhiteBalance", IWhiteBalance::iid,
     MakeGuid("{83463570-4A38-4F8D-87C1-97B7ECA943E0}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_WhiteBalance, kProcAmpOrder},
    {AdjustmentKind::BacklightCompensation, "BacklightCompensation", 16, "IBacklightCompensation",
     IBacklightCompensation::iid, MakeGuid("{4C187441-1702-418D-BC99-AC2CF75AAF4B}"),
     AdjustmentDevice::ProcAmp, VideoProcAmp_BacklightCompensation, kProcAmpOrder},
    {AdjustmentKind::Gain, "Gain", 17, "IGain", IGain::iid,
     MakeGuid("{DA036E68-2D36-48E3-9438-FB9330C71807}"), AdjustmentDevice::ProcAmp,
     VideoProcAmp_Gain, kProcAmpOrder},
    {AdjustmentKind::Pan, "Pan", 18, "IPan", IPan::iid,
     MakeGuid("{430F108E-5C65-4F3A-8D5B-9D14E286D504}"), AdjustmentDevice::Camera,
     CameraControl_Pan, kCameraOrder},
    {AdjustmentKind::Tilt, "Tilt", 19, "ITilt", ITilt::iid,
     MakeGuid("{6F3EDFFC-37EE-42F0-A3A6-D9A6B0282849}"), AdjustmentDevice::Camera,
     CameraControl_Tilt, kCameraOrder},
    {AdjustmentKind::Roll, "Roll", 20, "IRoll", IRoll::iid,
     MakeGuid("{44B6E508-A758-4D4E-B057-8D47366F6C27}"), AdjustmentDevice::Camera,
     CameraControl_Roll, kCameraOrder},
    {AdjustmentKind::Zoom, "Zoom", 21, "IZoom", IZoom::iid,
     MakeGuid("{6F525DED-8D50-49E0-A89B-EE193AC177CA}"), AdjustmentDevice::Camera,
     CameraControl_Zoom, kCameraOrder},
    {AdjustmentKind::Exposure, "Exposure", 22, "IExposure", IExposure::iid,
     MakeGuid("{42AA7A99-4EC8-44D2-9B0E-0A41594EC5A3}"), AdjustmentDevice::Camera,
     CameraControl_Exposure, kCameraOrder},
    {AdjustmentKind::Iris, "Iris", 23, "IIris", IIris::iid,
     MakeGuid("{71BC0F7C-D304-4DC8-88D2-56209DBD153C}"), AdjustmentDevice::Camera,
     CameraControl_Iris, kCameraOrder},
    {AdjustmentKind::Focus, "Focus", 24, "IFocus", IFocus::iid,
     MakeGuid("{46C809FD-3455-447E-BAA7-D4B321F1AB9D}"), AdjustmentDevice::Camera,
     CameraControl_Focus, kCameraOrder},
};

}  // namespace

std::span<const AdjustmentInfo, kAdjustmentCount> AllAdjustments() {
    return std::span(kAdjustments);
}

const AdjustmentInfo& AdjustmentInfoOf(AdjustmentKind kind) {
    return kAdjustments[static_cast<size_t>(kind)];
}

const AdjustmentInfo* AdjustmentInfoByIid(const IID& iid) {
    auto it = std::find_if(std::begin(kAdjustments), std::end(kAdjustments),
                           [&](const AdjustmentInfo& info) { return info.iid == iid; });
    return it == std::end(kAdjustments) ? nullptr : &*it;
}
