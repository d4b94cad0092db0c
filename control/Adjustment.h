#pragma once
// A picture or camera adjustment object: the range, default and current value of one setting of
// the capture device, read and written through the session on the device of its current graph.
// The seventeen classes (CBrightness ... CFocus) share this one implementation; they differ only
// in their interface, which carries the DISPID order, and in the device interface and property
// identifier of their AdjustmentInfo row.
//
// Fields keep what the device last said: a query that cannot reach the device (no graph, no
// device filter, no interface) leaves them as they are, and a getter then returns the stored
// value. The flags are those of the last range query (capability flags) or value read (current
// mode), whichever came later, and a write sends exactly them.
#include <vector>

#include "control/AdjustmentInterfaces.h"
#include "control/AdjustmentKinds.h"
#include "platform/com/ComPtr.h"
#include "platform/com/DispatchMap.h"
#include "platform/com/DispatchObject.h"
#include "platform/com/TypeDescription.h"

class CCaptureSession;

// Lets the control cut an object loose from its session when the control goes away while a
// container still holds the object: it then answers from its fields only.
struct IAdjustmentSession : IUnknown {
    static constexpr IID iid = MakeGuid("{5B0E86A4-3F2C-4C8E-9D61-7A2C4E1B9F30}");
    virtual void DetachSession() = 0;

protected:
    ~IAdjustmentSession() = default;
};

class CAdjustment {
public:
    CAdjustment(const AdjustmentInfo& info, CCaptureSession* session)
        : info_(info), session_(session) {}

    int32_t Min();
    int32_t Max();
    int32_t Default();
    int32_t StepSize();
    bool Auto();
    bool Available();
    int32_t Value();
    void SetValue(int32_t newValue);

    const AdjustmentInfo& Info() const { return info_; }
    void Detach() { session_ = nullptr; }

protected:
    // One member table per interface: the same members at the DISPIDs of `info`.
    template <class T>
    static DispatchTable BuildTable(const AdjustmentInfo& info);

private:
    void QueryRange();
    void QueryValue();

    const AdjustmentInfo& info_;
    CCaptureSession* session_;
    // The initial values are not the device's; 0 until the first query that reaches it.
    LONG min = 0;
    LONG max = 0;
    LONG defaultValue = 0;
    LONG value = 0;
    LONG step = 0;
    LONG flags = 2;  // manual
    bool available = false;
};

template <class T>
DispatchTable CAdjustment::BuildTable(const AdjustmentInfo& info) {
    const AdjustmentDispids& id = info.dispids;
    DispatchMap<T> map(info.iid, info.interfaceName,
                       std::string("Dispatch interface for ") + info.property);
    map.Property(id.min, "Min", &CAdjustment::Min);
    map.Property(id.max, "Max", &CAdjustment::Max);
    map.Property(id.defaultValue, "Default", &CAdjustment::Default);
    map.Property(id.value, "Value", &CAdjustment::Value, &CAdjustment::SetValue);
    map.Property(id.stepSize, "StepSize", &CAdjustment::StepSize);
    map.Property(id.isAuto, "Auto", &CAdjustment::Auto);
    map.Property(id.available, "Available", &CAdjustment::Available);
    // The default member as the type library names it; the same get and put as Value.
    map.Property(DISPID_VALUE, "_Value", &CAdjustment::Value, &CAdjustment::SetValue);
    return map.Build();
}

template <class Interface>
class CAdjustmentObject final
    : public DispatchObject<CAdjustmentObject<Interface>, Interface, IAdjustmentSession>,
      public CAdjustment {
public:
    explicit CAdjustmentObject(CCaptureSession* session) : CAdjustment(Row(), session) {}

    static const DispatchTable& GetDispatchTable() {
        static const DispatchTable table = BuildTable<CAdjustmentObject>(Row());
        return table;
    }
    void DetachSession() override { Detach(); }

private:
    static const AdjustmentInfo& Row() { return *AdjustmentInfoByIid(Interface::iid); }
};

using CBrightness = CAdjustmentObject<IBrightness>;
using CContrast = CAdjustmentObject<IContrast>;
using CHue = CAdjustmentObject<IHue>;
using CSaturation = CAdjustmentObject<ISaturation>;
using CSharpness = CAdjustmentObject<ISharpness>;
using CGamma = CAdjustmentObject<IGamma>;
using CColorEnable = CAdjustmentObject<IColorEnable>;
using CWhiteBalance = CAdjustmentObject<IWhiteBalance>;
using CBacklightCompensation = CAdjustmentObject<IBacklightCompensation>;
using CGain = CAdjustmentObject<IGain>;
using CPan = CAdjustmentObject<IPan>;
using CTilt = CAdjustmentObject<ITilt>;
using CRoll = CAdjustmentObject<IRoll>;
using CZoom = CAdjustmentObject<IZoom>;
using CExposure = CAdjustmentObject<IExposure>;
using CIris = CAdjustmentObject<IIris>;
using CFocus = CAdjustmentObject<IFocus>;

// The object the control hands out for `kind`, reaching the device through `session`; one
// reference, owned by the result.
ComPtr<IDispatch> CreateAdjustment(AdjustmentKind kind, CCaptureSession* session);
// Cuts an object made by CreateAdjustment loose from its session (the control's destruction).
void DetachAdjustment(IDispatch* adjustment);

// For the control's type library: the seventeen interfaces and their coclasses (type information
// only, not creatable), in AdjustmentKind order.
std::vector<InterfaceDesc> AdjustmentInterfaceDescriptions();
std::vector<CoclassDesc> AdjustmentCoclassDescriptions();
// The declared type of the control's property for `kind`: the interface, except `Iris`, which is
// declared with its coclass.
TypeDesc AdjustmentPropertyType(AdjustmentKind kind);
