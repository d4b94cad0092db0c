#pragma once
// The program's wrapper of the media-file broadcaster: hosts it invisibly in a container widget,
// created by its class identifier, and reaches it only by dispatch identifier. Its five events
// come back to the handlers given at creation, on the UI thread.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/com/ComPtr.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/Guid.h"

class QWidget;

class CVideoBroadcast {
public:
    static constexpr CLSID kClsid = MakeGuid("{58171B2C-8345-484A-8AB1-E6A6E12FFD9E}");

    struct Events {
        std::function<void()> fileFinished;               // 1: the current file has gone out
        std::function<void()> ready;                      // 2
        std::function<void()> broadcasting;               // 3
        std::function<void()> error;                      // 4
        std::function<void(int16_t count)> clientsChanged;  // 5
    };

    CVideoBroadcast() = default;
    ~CVideoBroadcast();
    CVideoBroadcast(const CVideoBroadcast&) = delete;
    CVideoBroadcast& operator=(const CVideoBroadcast&) = delete;

    // Creates the broadcaster inside `container`: S_OK, or the creation's failure (a
    // broadcaster that is not registered, or that offers no events).
    HRESULT Create(QWidget* container, Events events);
    void Destroy();
    bool IsCreated() const { return static_cast<bool>(driver_); }

    // Each returns the call's result (E_POINTER before Create).
    HRESULT SetMaxClients(int16_t maxClients);
    HRESULT SetPort(int16_t port);
    HRESULT SetFileName(const std::string& path);
    // Starts streaming the file set by SetFileName: the broadcaster's answer, false when the
    // call itself fails.
    bool StartBroadcast();
    HRESULT StopBroadcast();
    // The display text of connected client `index`; "" when there is none or the call fails.
    std::string GetClientText(int16_t index);

private:
    HRESULT OnEvent(DISPID dispid, std::vector<Variant>& args);

    ComPtr<ControlSite> site_;
    DispatchDriver driver_;
    Events events_;
};
