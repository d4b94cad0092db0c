#pragma once
// What tells the seventeen adjustment objects apart: the control property that hands each out,
// the device interface and property identifier it reaches, the DISPIDs of its members and its
// type-library identifiers. Everything else they share (Adjustment.h).
#include <cstdint>
#include <span>
#include <string>

#include "platform/com/AutomationTypes.h"
#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

// In the order of the control's properties (Brightness is DISPID 8, Focus 24).
enum class AdjustmentKind : uint8_t {
    Brightness,
    Contrast,
    Hue,
    Saturation,
    Sharpness,
    Gamma,
    ColorEnable,
    WhiteBalance,
    BacklightCompensation,
    Gain,
    Pan,
    Tilt,
    Roll,
    Zoom,
    Exposure,
    Iris,
    Focus,
};
inline constexpr size_t kAdjustmentCount = 17;

enum class AdjustmentDevice : uint8_t { ProcAmp, Camera };  // IAMVideoProcAmp, IAMCameraControl

// The DISPIDs of one interface's members; Value also answers DISPID 0 as `_Value`.
struct AdjustmentDispids {
    DISPID min, max, defaultValue, value, stepSize, isAuto, available;
};

struct AdjustmentInfo {
    AdjustmentKind kind;
    const char* property;       // the control's property, also the coclass name
    DISPID controlDispid;       // that property's DISPID on the control
    const char* interfaceName;  // "IBrightness"
    IID iid;
    CLSID coclassClsid;
    AdjustmentDevice device;
    LONG propertyId;  // VideoProcAmp_* or CameraControl_*
    AdjustmentDispids dispids;
};

// All seventeen, in AdjustmentKind order.
std::span<const AdjustmentInfo, kAdjustmentCount> AllAdjustments();
const AdjustmentInfo& AdjustmentInfoOf(AdjustmentKind kind);
// The row whose interface is `iid`; null for any other IID.
const AdjustmentInfo* AdjustmentInfoByIid(const IID& iid);
