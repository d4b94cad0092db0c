#include "components/airlume/AirlumeCtrl.h"

#include <cstring>
#include <new>

#include "components/airlume/AirlumeIds.h"
#include "components/mmsh/MmshServer.h"
#include "platform/com/DispatchMap.h"

HRESULT CreateAirlumeCtrl(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        ComPtr<CAirlumeCtrl> control = MakeCom<CAirlumeCtrl>();
        return control->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

CAirlumeCtrl::CAirlumeCtrl() {
    watch_.setInterval(kWatchIntervalMs);
    watch_.callOnTimeout([this] { Watch(); });
}

CAirlumeCtrl::~CAirlumeCtrl() {
    watch_.stop();
    StopServer();
    DestroyControlWindow();
}

CLSID CAirlumeCtrl::ControlClsid() const { return CLSID_Airlume; }
IID CAirlumeCtrl::EventsIid() const { return DIID__DAirlumeEvents; }
DWORD CAirlumeCtrl::MiscStatus() const { return kAirlumeMiscStatus; }

void CAirlumeCtrl::DoPropExchange(PropExchange& px) {
    px.ExchangeVersion(PropExchange::MakeVersion(1, 0));
    px.Short("MaxClients", maxClients_, 3);
    px.Short("Port", port_, 8080);
    px.String("FileName", fileName_, "");
}

void CAirlumeCtrl::SetMaxClients(int16_t value) {
    maxClients_ = value;
    SetModifiedFlag();
}

void CAirlumeCtrl::SetPort(int16_t value) {
    port_ = value;
    SetModifiedFlag();
}

void CAirlumeCtrl::SetFileName(const std::string& value) {
    fileName_ = value;
    SetModifiedFlag();
}

bool CAirlumeCtrl::Fail(std::string why) {
    lastError_ = std::move(why);
    readyPending_ = false;
    errorPending_ = true;
    watch_.start();
    return false;
}

void CAirlumeCtrl::StopServer() {
    server_.reset();  // ends every connection and joins the server's thread
    kind_ = MediaFileKind::Unknown;
    servingPort_ = 0;
    servingMaxClients_ = 0;
}

bool CAirlumeCtrl::StartBroadcast() {
    ++generation_;
    lastError_.clear();
    readyPending_ = errorPending_ = broadcastingTold_ = finishedTold_ = false;
    // The port travels as a 16-bit signed value: ports above 32767 arrive negative.
    const uint16_t port = static_cast<uint16_t>(port_);
    if (port == 0) {
        StopServer();
        return Fail("the port must be between 1 and 65535");
    }
    if (maxClients_ < 1) {
        StopServer();
        return Fail("the number of clients must be at least 1");
    }
    MediaFileCheck check = CheckMediaFile(fileName_);
    if (check.kind == MediaFileKind::Unknown) {
        StopServer();
        return Fail(check.error);
    }

    // The next song of an MP3 broadcast: same listeners, same clock.
    if (server_ && check.kind == MediaFileKind::Mp3 && kind_ == MediaFileKind::Mp3 && servingPort_ == port &&
        servingMaxClients_ == maxClients_ && !server_->SourceFailed()) {
        releasedAtStart_ = server_->PacketsReleased();
        if (!server_->PlayNext(fileName_)) {
            StopServer();
            return Fail("cannot open " + fileName_);
        }
        readyPending_ = true;
        watch_.start();
        return true;
    }

    StopServer();
    MmshServerOptions options;
    options.file = fileName_;
    options.mode = check.kind == MediaFileKind::Asf ? MmshSourceMode::AsfFile : MmshSourceMode::Mp3Files;
    options.port = port;
    options.maxClients = maxClients_;
    auto server = std::make_unique<MmshServer>(std::move(options));
    if (int error = server->Start(); error != 0)
        return Fail("cannot listen on port " + std::to_string(port) + ": " + std::strerror(error));
    server_ = std::move(server);
    kind_ = check.kind;
    servingPort_ = port;
    servingMaxClients_ = maxClients_;
    releasedAtStart_ = 0;
    readyPending_ = true;
    watch_.start();
    return true;
}

void CAirlumeCtrl::StopBroadcast() {
    ++generation_;
    StopServer();
    readyPending_ = errorPending_ = false;
    // The watch tells the container that the players are gone, then rests.
    watch_.start();
}

std::string CAirlumeCtrl::GetClientInfo(int16_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= clientTexts_.size()) return {};
    return clientTexts_[static_cast<size_t>(index)];
}

bool CAirlumeCtrl::FireAndContinue(int32_t dispid, std::vector<Variant> args) {
    const uint64_t generation = generation_;
    FireEventArgs(dispid, std::move(args));
    return generation == generation_;
}

void CAirlumeCtrl::Watch() {
    // A sink that runs a modal loop inside an event must not get the next one inside it.
    if (watching_) return;
    watching_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{watching_};

    if (errorPending_) {
        errorPending_ = false;
        if (!FireAndContinue(kDispidBroadcastError, {})) return;
    }
    if (readyPending_) {
        readyPending_ = false;
        if (!FireAndContinue(kDispidReady, {})) return;
    }
    if (server_ && server_->SourceFailed()) {
        lastError_ = "the file cannot be served: " + fileName_;
        StopServer();
        if (!FireAndContinue(kDispidBroadcastError, {})) return;
    }
    if (server_ && !broadcastingTold_ && server_->PacketsReleased() > releasedAtStart_) {
        broadcastingTold_ = true;
        if (!FireAndContinue(kDispidBroadcasting, {})) return;
    }
    std::vector<std::string> players = server_ ? server_->ClientAddresses() : std::vector<std::string>{};
    if (static_cast<int>(players.size()) != toldClients_) {
        toldClients_ = static_cast<int>(players.size());
        clientTexts_ = std::move(players);
        if (!FireAndContinue(kDispidClientsChanged, {Variant(static_cast<int16_t>(toldClients_))})) return;
    }
    if (!server_) {
        watch_.stop();
        return;
    }
    if (!finishedTold_ && server_->FileServed()) {
        finishedTold_ = true;
        FireAndContinue(kDispidFileFinished, {});
    }
}

const DispatchTable& CAirlumeCtrl::GetDispatchTable() {
    static const DispatchTable table = [] {
        DispatchMap<CAirlumeCtrl> map(DIID__DAirlume, "_DAirlume", "Dispatch interface for Airlume Control");
        map.Property(kDispidMaxClients, "MaxClients", &CAirlumeCtrl::GetMaxClients, &CAirlumeCtrl::SetMaxClients);
        map.Property(kDispidPort, "Port", &CAirlumeCtrl::GetPort, &CAirlumeCtrl::SetPort);
        map.Property(kDispidFileName, "FileName", &CAirlumeCtrl::GetFileName, &CAirlumeCtrl::SetFileName);
        map.Method(kDispidStartBroadcast, "StartBroadcast", &CAirlumeCtrl::StartBroadcast);
        map.Method(kDispidStopBroadcast, "StopBroadcast", &CAirlumeCtrl::StopBroadcast);
        map.Method(kDispidGetClientInfo, "GetClientInfo", &CAirlumeCtrl::GetClientInfo).Params({"iIndex"});
        return map.Build();
    }();
    return table;
}

const DispatchTable& CAirlumeCtrl::GetEventsTable() {
    // Only a description: events go out through the connection point, nobody invokes these.
    static const DispatchTable table = [] {
        DispatchMap<CAirlumeCtrl> map(DIID__DAirlumeEvents, "_DAirlumeEvents", "Event interface for Airlume Control");
        map.Method(kDispidFileFinished, "FileFinished", [](CAirlumeCtrl&) {});
        map.Method(kDispidReady, "Ready", [](CAirlumeCtrl&) {});
        map.Method(kDispidBroadcasting, "Broadcasting", [](CAirlumeCtrl&) {});
        map.Method(kDispidBroadcastError, "BroadcastError", [](CAirlumeCtrl&) {});
        map.Method(kDispidClientsChanged, "ClientsChanged", [](CAirlumeCtrl&, int16_t) {}).Params({"iNumClients"});
        return map.Build();
    }();
    return table;
}

InterfaceDesc AirlumeDispatchDescription() { return CAirlumeCtrl::GetDispatchTable().Describe(); }
InterfaceDesc AirlumeEventsDescription() { return CAirlumeCtrl::GetEventsTable().Describe(); }
