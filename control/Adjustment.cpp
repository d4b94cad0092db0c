#include "control/Adjustment.h"

#include "engine/CaptureSession.h"

void CAdjustment::QueryRange() {
    if (!session_) return;
    if (info_.device == AdjustmentDevice::ProcAmp)
        session_->GetProcAmpRange(info_.propertyId, min, max, step, defaultValue, flags, available);
    else
        session_->GetCameraRange(info_.propertyId, min, max, step, defaultValue, flags, available);
}

void CAdjustment::QueryValue() {
    if (!session_) return;
    if (info_.device == AdjustmentDevice::ProcAmp)
        session_->GetProcAmpValue(info_.propertyId, value, flags);
    else
        session_->GetCameraValue(info_.propertyId, value, flags);
}

int32_t CAdjustment::Min() {
    QueryRange();
    return min;
}

int32_t CAdjustment::Max() {
    QueryRange();
    return max;
}

int32_t CAdjustment::Default() {
    QueryRange();
    return defaultValue;
}

int32_t CAdjustment::StepSize() {
    QueryRange();
    return step;
}

bool CAdjustment::Auto() {
    QueryRange();
    // Automatic control as the device's only capability; 3 (automatic and manual) is not Auto.
    return flags == 1;
}

bool CAdjustment::Available() {
    QueryRange();
    return available;
}

int32_t CAdjustment::Value() {
    QueryValue();
    return value;
}

void CAdjustment::SetValue(int32_t newValue) {
    if (session_) {
        if (info_.device == AdjustmentDevice::ProcAmp)
            session_->SetProcAmpValue(info_.propertyId, newValue, flags);
        else
            session_->SetCameraValue(info_.propertyId, newValue, flags);
    }
    value = newValue;
}

namespace {

struct AdjustmentClass {
    ComPtr<IDispatch> (*create)(CCaptureSession* session);
    const DispatchTable& (*table)();
};

template <class Interface>
constexpr AdjustmentClass ClassOf() {
    using Object = CAdjustmentObject<Interface>;
    return {[](CCaptureSession* session) {
                ComPtr<Object> object = MakeCom<Object>(session);
                return ComPtr<IDispatch>(static_cast<Interface*>(object.Get()));
            },
            &Object::GetDispatchTable};
}

// In AdjustmentKind order.
constexpr AdjustmentClass kClasses[kAdjustmentCount] = {
    ClassOf<IBrightness>(),  ClassOf<IContrast>(),     ClassOf<IHue>(),
    ClassOf<ISaturation>(),  ClassOf<ISharpness>(),    ClassOf<IGamma>(),
    ClassOf<IColorEnable>(), ClassOf<IWhiteBalance>(), ClassOf<IBacklightCompensation>(),
    ClassOf<IGain>(),        ClassOf<IPan>(),          ClassOf<ITilt>(),
    ClassOf<IRoll>(),        ClassOf<IZoom>(),         ClassOf<IExposure>(),
    ClassOf<IIris>(),        ClassOf<IFocus>(),
};

}  // namespace

ComPtr<IDispatch> CreateAdjustment(AdjustmentKind kind, CCaptureSession* session) {
    return kClasses[static_cast<size_t>(kind)].create(session);
}

void DetachAdjustment(IDispatch* adjustment) {
    if (ComPtr<IAdjustmentSession> object = QueryAs<IAdjustmentSession>(adjustment))
        object->DetachSession();
}

std::vector<InterfaceDesc> AdjustmentInterfaceDescriptions() {
    std::vector<InterfaceDesc> interfaces;
    for (const AdjustmentClass& c : kClasses) interfaces.push_back(c.table().Describe());
    return interfaces;
}

std::vector<CoclassDesc> AdjustmentCoclassDescriptions() {
    std::vector<CoclassDesc> coclasses;
    for (const AdjustmentInfo& info : AllAdjustments()) {
        CoclassDesc coclass;
        coclass.clsid = info.coclassClsid;
        coclass.name = info.property;
        coclass.typeFlags = 0;  // described, never created by a container
        coclass.interfaces.push_back({info.iid, IMPLTYPEFLAG_FDEFAULT});
        coclasses.push_back(std::move(coclass));
    }
    return coclasses;
}

TypeDesc AdjustmentPropertyType(AdjustmentKind kind) {
    const AdjustmentInfo& info = AdjustmentInfoOf(kind);
    return TypeDesc(VT_DISPATCH, kind == AdjustmentKind::Iris ? info.property : info.interfaceName);
}
