// Picture and camera settings reach the device filter that the current graph holds under the
// video device's name. Nothing is kept between calls: the filter and its interface are found
// afresh each time, so a rebuilt graph is never talked to through a stale pointer.
#include "engine/CaptureSession.h"
#include "platform/devices/DeviceInterfaces.h"

namespace {

template <class Interface>
ComPtr<Interface> DeviceInterface(IGraphBuilder* graph, const std::string& deviceName) {
    if (!graph) return {};
    ComPtr<IBaseFilter> device;
    if (FAILED(graph->FindFilterByName(deviceName.c_str(), device.ReleaseAndGetAddressOf())) ||
        !device)
        return {};
    return QueryAs<Interface>(device.Get());
}

template <class Interface>
void QueryRange(IGraphBuilder* graph, const std::string& deviceName, LONG property, LONG& min,
                LONG& max, LONG& step, LONG& defaultValue, LONG& flags, bool& available) {
    ComPtr<Interface> settings = DeviceInterface<Interface>(graph, deviceName);
    if (!settings) return;
    // Only exactly S_OK counts: a device answering S_FALSE has not given a usable range.
    available = settings->GetRange(property, &min, &max, &step, &defaultValue, &flags) == S_OK;
}

template <class Interface>
void QueryValue(IGraphBuilder* graph, const std::string& deviceName, LONG property, LONG& value,
                LONG& flags) {
    if (ComPtr<Interface> settings = DeviceInterface<Interface>(graph, deviceName))
        settings->Get(property, &value, &flags);  // a refusal leaves the caller's values
}

template <class Interface>
void WriteValue(IGraphBuilder* graph, const std::string& deviceName, LONG property, LONG value,
                LONG flags) {
    if (ComPtr<Interface> settings = DeviceInterface<Interface>(graph, deviceName))
        settings->Set(property, value,
                      flags);  // not reported: the caller keeps its value either way
}

}  // namespace

void CCaptureSession::GetProcAmpRange(LONG property, LONG& min, LONG& max, LONG& step,
                                      LONG& defaultValue, LONG& flags, bool& available) {
    QueryRange<IAMVideoProcAmp>(graph_.Get(), videoDeviceName, property, min, max, step,
                                defaultValue, flags, available);
}

void CCaptureSession::GetProcAmpValue(LONG property, LONG& value, LONG& flags) {
    QueryValue<IAMVideoProcAmp>(graph_.Get(), videoDeviceName, property, value, flags);
}

void CCaptureSession::SetProcAmpValue(LONG property, LONG value, LONG flags) {
    WriteValue<IAMVideoProcAmp>(graph_.Get(), videoDeviceName, property, value, flags);
}

void CCaptureSession::GetCameraRange(LONG property, LONG& min, LONG& max, LONG& step,
                                     LONG& defaultValue, LONG& flags, bool& available) {
    QueryRange<IAMCameraControl>(graph_.Get(), videoDeviceName, property, min, max, step,
                                 defaultValue, flags, available);
}

void CCaptureSession::GetCameraValue(LONG property, LONG& value, LONG& flags) {
    QueryValue<IAMCameraControl>(graph_.Get(), videoDeviceName, property, value, flags);
}

void CCaptureSession::SetCameraValue(LONG property, LONG value, LONG flags) {
    WriteValue<IAMCameraControl>(graph_.Get(), videoDeviceName, property, value, flags);
}
