#pragma once
// A Grabwell control hosted the way a container hosts it: a container widget, a client site
// (ambient UserMode settable), the control made by its factory function, an event sink that
// records every event, and calls by DISPID.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "control/LumicorCtrl.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "platform/os/EventWait.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

namespace lumicor_test {

inline const std::string kCamera = "Orvanta Virtual Camera";
inline const std::string kCard = "Orvanta Virtual Capture Card";

struct FiredEvent {
    DISPID dispid;
    std::vector<Variant> args;
};

inline void Pump(int ms) { RunEventsFor(ms); }

// A module of the program folder registered, as start-up registration does: the overlay filters
// (Lamina.so) and the MPEG encoder (Torvane.so) of a build are made by CLSID.
inline void RegisterProgramModule(const char* file) {
    // Kept loaded for the process: the class registry loads it again for every creation.
    ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / file), "");
}

inline void RegisterOverlayModule() { RegisterProgramModule("Lamina.so"); }

class HostedControl : public ::testing::Test {
protected:
    void SetUp() override {
        container.resize(320, 240);
        site = ControlSite::Create(&container);
        ComPtr<IUnknown> object;
        ASSERT_EQ(CreateLumicorCtrl(IID_IUnknown, object.ReleaseAndGetVoidAddress()), S_OK);
        ASSERT_EQ(site->AttachControl(object.Get()), S_OK);
        ASSERT_EQ(site->AdviseEvents([this](DISPID id, std::vector<Variant>& args) {
            events.push_back({id, args});
            return S_OK;
        }),
                  S_OK);
        control.Attach(site->Control());
    }
    void TearDown() override { site->Destroy(); }

    // The C++ object behind the dispatch interface (for the session's fields).
    CLumicorCtrl& Object() { return *static_cast<CLumicorCtrl*>(control.Get()); }

    Variant Get(DISPID id) {
        Variant value;
        EXPECT_EQ(control.GetProperty(id, &value), S_OK) << id;
        return value;
    }
    int64_t GetInt(DISPID id) {
        int64_t n = 0;
        Variant v = Get(id);
        if (v.Type() == VT_BOOL) return v.Bool() ? 1 : 0;
        EXPECT_TRUE(v.GetInteger(&n)) << id;
        return n;
    }
    std::string GetText(DISPID id) {
        Variant v = Get(id);
        EXPECT_EQ(v.Type(), VT_BSTR) << id;
        return v.Type() == VT_BSTR ? v.Bstr() : std::string();
    }
    void Put(DISPID id, Variant value) { EXPECT_EQ(control.PutProperty(id, std::move(value)), S_OK) << id; }
    Variant Call(DISPID id, std::vector<Variant> args = {}) {
        Variant result;
        EXPECT_EQ(control.Call(id, std::move(args), &result), S_OK) << id;
        return result;
    }
    std::vector<FiredEvent> Fired(DISPID id) const {
        std::vector<FiredEvent> out;
        for (const auto& e : events)
            if (e.dispid == id) out.push_back(e);
        return out;
    }
    // The position of `name` in a NameList collection, or -1.
    static int16_t IndexOf(const std::vector<std::string>& names, const std::string& name) {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return static_cast<int16_t>(i);
        return -1;
    }

    QWidget container;
    ComPtr<ControlSite> site;
    DispatchDriver control;
    std::vector<FiredEvent> events;
};

}  // namespace lumicor_test
