#pragma once
// The screen capture control as a container drives it: Scrivel.so and Pavisse.so registered from
// the program folder's system/, the control created by class identifier and reached by DISPID
// only, a private X server with known content on it, and ffprobe's view of the files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/ClassRegistry.h"
#include "platform/com/DispatchDriver.h"
#include "tests/components/scrivel/PaintedScreen.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"
#include "tests/support/ModuleRegistration.h"

namespace scrivel_test {

inline constexpr CLSID kScrivel = MakeGuid("{C1E943ED-5A44-4688-944C-9B7C3C82513B}");

inline void RegisterModule(const std::filesystem::path& file) {
    ASSERT_EQ(testing_support::RegisterModuleFile(file), "");
}

inline void RegisterScreenModules() {
    RegisterModule(testing_support::DistDir() / "system" / "Pavisse.so");
    RegisterModule(testing_support::DistDir() / "system" / "Scrivel.so");
}

inline DispatchDriver CreateScrivel() {
    ComPtr<IDispatch> control;
    EXPECT_EQ(CoCreateInstance(kScrivel, nullptr, CLSCTX_INPROC_SERVER, &control), S_OK);
    return DispatchDriver(control);
}

inline void Put(const DispatchDriver& d, DISPID id, Variant value) {
    ASSERT_EQ(d.PutProperty(id, std::move(value)), S_OK) << "id " << id;
}

inline Variant Call(const DispatchDriver& d, DISPID id, std::vector<Variant> args = {}) {
    Variant result;
    EXPECT_EQ(d.Call(id, std::move(args), &result), S_OK) << "id " << id;
    return result;
}

inline std::string Text(const DispatchDriver& d, DISPID id) {
    Variant value;
    if (FAILED(d.GetProperty(id, &value)) || value.Type() != VT_BSTR) return {};
    return value.Bstr();
}

// The names of collection `id`, through its Count and Name members.
inline std::vector<std::string> ListNames(const DispatchDriver& d, DISPID id) {
    std::vector<std::string> names;
    Variant object;
    if (FAILED(d.GetProperty(id, &object)) || object.Type() != VT_DISPATCH) return names;
    DispatchDriver list(ComPtr<IDispatch>(object.Dispatch()));
    Variant count;
    if (FAILED(list.GetProperty(1, &count))) return names;
    int64_t n = 0;
    count.GetInteger(&n);
    for (int64_t i = 0; i < n; ++i) {
        Variant name;
        list.Call(2, {Variant(static_cast<int16_t>(i))}, &name);
        names.push_back(name.Type() == VT_BSTR ? name.Bstr() : "");
    }
    return names;
}

inline void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
}

// A private 1024 x 768 X server with the painted content and the pointer at (kPointerX, kPointerY).
class ScreenFixture : public ::testing::Test {
protected:
    static constexpr int kPointerX = 700;
    static constexpr int kPointerY = 200;

    void SetUp() override {
        server_ = std::make_unique<testing_support::XvfbServer>(1024, 768);
        if (!server_->Running()) GTEST_SKIP() << "Xvfb did not start";
        server_->Export();
        painter_ = std::make_unique<PaintedScreen>(server_->Display());
        ASSERT_TRUE(painter_->Ready());
        const std::string move = "DISPLAY=" + server_->Display() + " xdotool mousemove " +
                                 std::to_string(kPointerX) + " " + std::to_string(kPointerY) + " 2>&1";
        testing_support::CommandOutput(move);
        RegisterScreenModules();
    }
    void TearDown() override {
        painter_.reset();
        server_.reset();
    }

    std::filesystem::path File(const std::string& name) const {
        return testing_support::TestEnvironment::Current().Dir() / name;
    }

    std::unique_ptr<testing_support::XvfbServer> server_;
    std::unique_ptr<PaintedScreen> painter_;
};

}  // namespace scrivel_test
