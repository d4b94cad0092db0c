// The screen source on a private X server: shared memory used and kept, the frame rate held from
// the graph clock with honest dropped-frame counts, and a clear refusal without an X server.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "components/pavisse/ScreenSourceFilter.h"
#include "components/pavisse/X11ScreenGrabber.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/StockInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"
#include "tests/support/XvfbServer.h"

namespace {

class ScreenSource : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<testing_support::XvfbServer>(640, 480);
        if (!server_->Running()) GTEST_SKIP() << "Xvfb did not start";
        server_->Export();
    }
    std::unique_ptr<testing_support::XvfbServer> server_;
};

TEST_F(ScreenSource, SharedMemoryIsAttachedOnceAndRenewedOnlyForANewSize) {
    X11ScreenGrabber grabber;
    ASSERT_TRUE(grabber.Open("")) << grabber.Error();
    EXPECT_EQ(grabber.ScreenWidth(), 640);
    EXPECT_EQ(grabber.ScreenHeight(), 480);
    ASSERT_TRUE(grabber.UsesSharedMemory());
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(grabber.Grab(i * 10, i * 5, 200, 100, true)) << grabber.Error();
    EXPECT_EQ(grabber.SegmentsMade(), 1);
    ASSERT_TRUE(grabber.Grab(0, 0, 320, 240, false));
    ASSERT_TRUE(grabber.Grab(10, 10, 320, 240, false));
    EXPECT_EQ(grabber.SegmentsMade(), 2);
    EXPECT_GE(grabber.Stride(), 320 * 4);
}

TEST_F(ScreenSource, WhatIsOnTheScreenIsWhatIsRead) {
    Display* display = XOpenDisplay(server_->Display().c_str());
    ASSERT_TRUE(display);
    Window root = DefaultRootWindow(display);
    XSetWindowBackground(display, root, 0x123456);
    XClearWindow(display, root);
    XSync(display, False);
    X11ScreenGrabber grabber;
    ASSERT_TRUE(grabber.Open(server_->Display()));
    ASSERT_TRUE(grabber.Grab(100, 100, 4, 4, false));
    const uint8_t* p = grabber.Pixels();
    EXPECT_EQ(p[0], 0x56);
    EXPECT_EQ(p[1], 0x34);
    EXPECT_EQ(p[2], 0x12);
    XCloseDisplay(display);
}

// A consumer that takes 250 ms a frame: the source, at 10 frames a second, cannot deliver them
// all, and says so.
class SlowConsumer final : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double, IMediaSample* sample) override {
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        starts.push_back(start);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return S_OK; }
    std::vector<REFERENCE_TIME> starts;
};

TEST_F(ScreenSource, LateFramesAreCountedAsDroppedAndTheRestKeepTheirSlots) {
    ASSERT_EQ(RegisterFilterGraphClasses(), S_OK);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
    ComPtr<ScreenSourceFilter> source = MakeCom<ScreenSourceFilter>();
    ASSERT_EQ(source->SetOutputSize(320, 240), S_OK);
    ASSERT_EQ(source->SetFrameInterval(UNITS / 10), S_OK);
    ComPtr<IBaseFilter> grabber, renderer;
    ASSERT_EQ(CreateFilterGraphObject(CLSID_SampleGrabber, &grabber), S_OK);
    ASSERT_EQ(CreateFilterGraphObject(CLSID_NullRenderer, &renderer), S_OK);
    ComPtr<SlowConsumer> consumer = MakeCom<SlowConsumer>();
    QueryAs<ISampleGrabber>(grabber.Get())->SetCallback(consumer.Get(), 0);
    ASSERT_EQ(graph->AddFilter(source.Get(), "Screen"), S_OK);
    ASSERT_EQ(graph->AddFilter(grabber.Get(), "Grabber"), S_OK);
    ASSERT_EQ(graph->AddFilter(renderer.Get(), "Null"), S_OK);
    auto pin = [](IBaseFilter* filter, PIN_DIRECTION wanted) {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(pins.ReleaseAndGetAddressOf());
        ComPtr<IPin> p;
        PIN_DIRECTION direction;
        while (pins->Next(1, p.ReleaseAndGetAddressOf(), nullptr) == S_OK)
            if (SUCCEEDED(p->QueryDirection(&direction)) && direction == wanted) return p;
        return ComPtr<IPin>();
    };
    ComPtr<IPin> out = pin(source.Get(), PINDIR_OUTPUT), in = pin(grabber.Get(), PINDIR_INPUT);
    ComPtr<IPin> grabOut = pin(grabber.Get(), PINDIR_OUTPUT), nullIn = pin(renderer.Get(), PINDIR_INPUT);
    ASSERT_TRUE(out && in && grabOut && nullIn);
    ASSERT_EQ(graph->Connect(out.Get(), in.Get()), S_OK);
    ASSERT_EQ(graph->Connect(grabOut.Get(), nullIn.Get()), S_OK);
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph.Get());
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    // The slots of the time the graph ran: a sleep that overran adds slots of its own.
    const auto ran = std::chrono::steady_clock::now() - began;
    control->Stop();
    const long slots = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(ran).count() / 100);

    LONG dropped = 0, delivered = 0;
    source->Pin()->GetNumDropped(&dropped);
    source->Pin()->GetNumNotDropped(&delivered);
    EXPECT_GE(dropped, 8);
    EXPECT_NEAR(dropped + delivered, slots, 4);
    ASSERT_GE(consumer->starts.size(), 4u);
    for (size_t i = 1; i < consumer->starts.size(); ++i) {
        EXPECT_EQ(consumer->starts[i] % (UNITS / 10), 0);
        EXPECT_GE(consumer->starts[i] - consumer->starts[i - 1], 2 * (UNITS / 10));  // a slot was skipped
    }
    LONG frames[64];
    LONG copied = 0;
    ASSERT_EQ(source->Pin()->GetDroppedInfo(64, frames, &copied), S_OK);
    EXPECT_EQ(copied, std::min<LONG>(dropped, 64));
}

TEST(ScreenSourceWithoutServer, AWaylandSessionWithoutXIsRefusedInWords) {
    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    X11ScreenGrabber grabber;
    EXPECT_FALSE(grabber.Open(""));
    EXPECT_NE(grabber.Error().find("Wayland"), std::string::npos) << grabber.Error();
    ComPtr<ScreenSourceFilter> source = MakeCom<ScreenSourceFilter>();
    LONG width = 0, height = 0;
    EXPECT_EQ(source->GetScreenSize(&width, &height), E_FAIL);
    std::string error;
    source->GetLastError(&error);
    EXPECT_EQ(error, grabber.Error());
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(grabber.Open(":987"));
    EXPECT_NE(grabber.Error().find(":987"), std::string::npos);
}

}  // namespace
