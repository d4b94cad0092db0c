#pragma once
// What the session tests share: the overlay module registered from the program folder, a session
// in a parent widget with an owner that records its events, the event loop run for a while, and
// the graph's filter names.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/CaptureSession.h"
#include "platform/os/EventWait.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

namespace session_test {

inline const std::string kCamera = "Orvanta Virtual Camera";
inline const std::string kCard = "Orvanta Virtual Capture Card";
inline const std::string kMicrophone = "Orvanta Virtual Microphone";

// Makes the overlay filter creatable by its class identifier, as start-up registration does.
inline void RegisterOverlayModule() {
    ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "Lamina.so"), "");
}

struct RecordedEvent {
    std::string name;
    int32_t a = 0, b = 0, c = 0, d = 0;
};

class RecordingOwner : public SessionOwner {
public:
    void FireClick() override { events.push_back({"Click"}); }
    void FireDblClick() override { events.push_back({"DblClick"}); }
    void FireMouseMove(int16_t button, int16_t shift, int32_t x, int32_t y) override {
        events.push_back({"MouseMove", button, shift, x, y});
    }
    void FireCapturing(int32_t seconds, int32_t dropped) override { events.push_back({"Capturing", seconds, dropped}); }
    void FireCaptureError(int32_t code, const std::string& text) override {
        events.push_back({"CaptureError", code});
        errorTexts.push_back(text);
    }

    std::vector<RecordedEvent> Named(const std::string& name) const {
        std::vector<RecordedEvent> out;
        for (const auto& e : events)
            if (e.name == name) out.push_back(e);
        return out;
    }
    std::vector<RecordedEvent> events;
    std::vector<std::string> errorTexts;
};

// Runs the event loop for `ms` milliseconds (timers, frames reaching the video window).
inline void Pump(int ms) { RunEventsFor(ms); }

// Runs the event loop until `done` holds or `ms` pass; whether it held.
template <class F>
bool PumpUntil(F&& done, int ms) {
    return RunEventsUntil(std::forward<F>(done), ms);
}

inline std::vector<std::string> FilterNames(IGraphBuilder* graph) {
    std::vector<std::string> names;
    if (!graph) return names;
    ComPtr<IEnumFilters> e;
    if (FAILED(graph->EnumFilters(e.ReleaseAndGetAddressOf()))) return names;
    ComPtr<IBaseFilter> f;
    while (e->Next(1, f.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        FILTER_INFO info;
        f->QueryFilterInfo(&info);
        names.push_back(info.achName);
    }
    return names;
}

inline bool HasFilter(IGraphBuilder* graph, const std::string& name) {
    ComPtr<IBaseFilter> f;
    return graph && graph->FindFilterByName(name.c_str(), f.ReleaseAndGetAddressOf()) == S_OK && f;
}

// The filter downstream of the first connected output pin of `name`, by name; empty when none.
inline std::string DownstreamOf(IGraphBuilder* graph, const std::string& name) {
    ComPtr<IBaseFilter> f;
    if (!graph || graph->FindFilterByName(name.c_str(), f.ReleaseAndGetAddressOf()) != S_OK) return {};
    ComPtr<IEnumPins> pins;
    f->EnumPins(pins.ReleaseAndGetAddressOf());
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        if (dir != PINDIR_OUTPUT) continue;
        ComPtr<IPin> peer;
        if (pin->ConnectedTo(peer.ReleaseAndGetAddressOf()) != S_OK || !peer) continue;
        PIN_INFO info;
        peer->QueryPinInfo(&info);
        FILTER_INFO finfo;
        info.pFilter->QueryFilterInfo(&finfo);
        return finfo.achName;
    }
    return {};
}

// A session in a visible 320x240 parent, its owner recording events, the overlay registered.
class SessionTest : public testing::Test {
protected:
    void SetUp() override {
        RegisterOverlayModule();
        parent.resize(320, 240);
        parent.show();
        session.ownerControl = &owner;
        session.CreateSessionWindow(&parent);
    }
    void TearDown() override { session.StopSession(); }

    std::filesystem::path TestFile(const std::string& name) const {
        return testing_support::TestEnvironment::Current().Dir() / name;
    }
    // Start with the collection of a fresh probe of `device`.
    bool Start(const std::string& device, const std::string& audio = "", const std::string& videoCodec = "",
               const std::string& audioCodec = "", int videoFormat = -1) {
        return SUCCEEDED(session.StartSession(formats, device, audio, videoCodec, audioCodec, videoFormat, -1, Guid{}));
    }

    QWidget parent;
    RecordingOwner owner;
    CCaptureSession session;
    VideoFormatList formats;
};

}  // namespace session_test
