#pragma once
// Airlume, the media-file broadcaster: an invisible control that streams the file named by its
// FileName property to at most MaxClients players on its Port, at the file's real rate. ASF
// files (WMV, WMA, ASF) go out as Windows Media HTTP streaming, MP3 files as "audio/mpeg" over
// plain HTTP; a container opens them as mms://host:port/ and http://host:port/. The streaming
// runs on the server's own thread; the control watches it from a UI-thread timer and fires every
// event there: Ready once the port is bound, Broadcasting once the first packet is out,
// ClientsChanged whenever the number of players changes, FileFinished once the file has gone out
// whole, BroadcastError when the file or the port cannot be served.
//
// Starting another MP3 file while an MP3 broadcast runs on the same port keeps the listeners
// connected and the clock running, so a playlist of songs is one stream; any other change of
// file, port or limit starts a new server.
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/airlume/MediaFileKind.h"
#include "platform/com/OleControl.h"
#include "platform/com/TypeDescription.h"

class MmshServer;

HRESULT CreateAirlumeCtrl(REFIID riid, void** object);
InterfaceDesc AirlumeDispatchDescription();
InterfaceDesc AirlumeEventsDescription();

class CAirlumeCtrl final : public OleControl {
public:
    // How often the control looks at the server.
    static constexpr int kWatchIntervalMs = 40;

    CAirlumeCtrl();
    ~CAirlumeCtrl() override;

    static const DispatchTable& GetDispatchTable();
    static const DispatchTable& GetEventsTable();

    int16_t GetMaxClients() const { return maxClients_; }
    void SetMaxClients(int16_t value);
    int16_t GetPort() const { return port_; }
    void SetPort(int16_t value);
    std::string GetFileName() const { return fileName_; }
    void SetFileName(const std::string& value);

    // Starts streaming FileName; false (and BroadcastError) when it cannot.
    bool StartBroadcast();
    void StopBroadcast();
    // The display text of connected player `index` (its address), "" past the end.
    std::string GetClientInfo(int16_t index) const;

    // Why the last start failed ("" when it did not).
    const std::string& LastError() const { return lastError_; }

protected:
    const DispatchTable& ControlDispatchTable() const override { return GetDispatchTable(); }
    void* DispatchSelf() override { return this; }
    CLSID ControlClsid() const override;
    IID EventsIid() const override;
    DWORD MiscStatus() const override;
    std::string WindowClassName() const override { return "AirlumeCtrlWindow"; }
    void DoPropExchange(PropExchange& px) override;

private:
    bool Fail(std::string why);
    void StopServer();
    void Watch();
    // Fires one event; false when a sink started or stopped a broadcast meanwhile.
    bool FireAndContinue(int32_t dispid, std::vector<Variant> args);

    int16_t maxClients_ = 3;
    int16_t port_ = 8080;
    std::string fileName_;

    std::unique_ptr<MmshServer> server_;
    MediaFileKind kind_ = MediaFileKind::Unknown;
    uint16_t servingPort_ = 0;
    int servingMaxClients_ = 0;
    // What has been told about the current file.
    bool readyPending_ = false;
    bool errorPending_ = false;
    bool broadcastingTold_ = false;
    bool finishedTold_ = false;
    int toldClients_ = 0;
    uint64_t releasedAtStart_ = 0;
    bool watching_ = false;
    std::vector<std::string> clientTexts_;
    // Bumped by every start and stop, so a watch pass notices what sinks did inside an event.
    uint64_t generation_ = 0;
    std::string lastError_;
    QTimer watch_;
};
