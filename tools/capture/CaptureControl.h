#pragma once
// The capture control as this container sees it: created by its class identifier, hosted by a
// control site in a widget of ours, and driven only by dispatch names (GetIDsOfNames + Invoke), as
// any other container would. Nothing here knows the control's code.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"

class QWidget;

inline constexpr CLSID CLSID_CaptureControl = MakeGuid("{E01CA1FE-309C-498D-B3B4-B16E0AB964DD}");

class CaptureControl {
public:
    // Events of the control, by name of their arguments.
    struct Handlers {
        std::function<void(int32_t seconds, int32_t dropped)> capturing;
        std::function<void(int16_t clients, const std::string& addresses)> clientConnected;
        // A start that failed, or a running capture that an error ended (the control stopped it).
        std::function<void(int32_t code, const std::string& text)> captureError;
    };

    CaptureControl();
    ~CaptureControl();
    CaptureControl(const CaptureControl&) = delete;
    CaptureControl& operator=(const CaptureControl&) = delete;

    // Creates, initialises and activates the control (its window enumerates the devices) and
    // advises the event sink. Its result; `step` names the step that failed.
    HRESULT Create(const Handlers& handlers, std::string* step);
    // Unadvises and lets the control go (also done by the destructor).
    void Destroy();

    // The names of a collection property ("Devices", "VideoFormats", ...), read through its
    // Count and its name lookup method ("FindDeviceName", ...), in collection order.
    std::vector<std::string> Names(const std::string& collection, const std::string& nameMethod) const;
    // The 0-based index of the first entry named exactly `name`; -1 when there is none. (The
    // collections' own Find methods answer 0 for a name they do not hold, which a container
    // cannot tell from a match at the first position.)
    int Find(const std::string& collection, const std::string& nameMethod, const std::string& name) const;

    HRESULT Put(const std::string& property, Variant value) const;
    HRESULT Get(const std::string& property, Variant* value) const;
    HRESULT Call(const std::string& method, std::vector<Variant> args = {}, Variant* result = nullptr) const;
    // A method's integer result (shorts, longs and booleans), or `fallback` when the call failed.
    int64_t CallForInteger(const std::string& method, std::vector<Variant> args, int64_t fallback) const;

    IDispatch* Dispatch() const { return driver_.Get(); }

private:
    std::unique_ptr<QWidget> container_;
    ComPtr<ControlSite> site_;
    DispatchDriver driver_;
};
