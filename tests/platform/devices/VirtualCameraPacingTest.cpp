// The virtual camera keeps the clock's pace as a real device does: a consumer that holds the
// stream back loses the frames whose time passed, they count as dropped, and what reaches the
// consumer is the frame of the current slot, never a late one.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/MediaType.h"
#include "tests/platform/devices/CaptureGraph.h"
#include "tests/support/TestEnvironment.h"

namespace {

constexpr int kWidth = 160, kHeight = 120;
constexpr REFERENCE_TIME kInterval = UNITS / 10;  // 10 fps: a scheduling hiccup is not a lost slot
constexpr auto kRunFor = std::chrono::milliseconds(2000);

// One fixed-caps camera; `extra` adds keys to its description.
ComPtr<IBaseFilter> Camera(const std::string& extra) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(file) << R"({"devices": [{"name": "Pacing Camera", "capture": [{"format": "RGB24", "width": 160, )"
                           R"("height": 120, "frameRate": 10}])"
                        << extra << "}]}";
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
    return BindFirstVideoDevice();
}

// What a consumer saw: the slot of each sample and the frame its picture shows. It takes
// `hold` for every sample, as a slow encoder would.
class Consumer : public ComObject<ISampleGrabberCB> {
public:
    explicit Consumer(std::chrono::milliseconds hold) : hold_(hold) {}
    HRESULT SampleCB(double, IMediaSample* sample) override {
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        int64_t shown = TestPictureFrameNumber(data, kWidth, kHeight);
        {
            std::lock_guard lock(mutex_);
            slots_.push_back(start / kInterval);
            onSlot_ = onSlot_ && start % kInterval == 0 && stop - start == kInterval;
            pictureMatches_ = pictureMatches_ && shown == start / kInterval;
        }
        std::this_thread::sleep_for(hold_);
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

    std::vector<int64_t> Slots() {
        std::lock_guard lock(mutex_);
        return slots_;
    }
    bool OnSlot() {
        std::lock_guard lock(mutex_);
        return onSlot_;
    }
    bool PictureMatches() {
        std::lock_guard lock(mutex_);
        return pictureMatches_;
    }

private:
    std::chrono::milliseconds hold_;
    std::mutex mutex_;
    std::vector<int64_t> slots_;
    bool onSlot_ = true, pictureMatches_ = true;
};

struct Counts {
    LONG dropped = -1, delivered = -1;
    std::vector<LONG> droppedFrames;
    long slots = 0;  // frame slots the run lasted
};

ComPtr<IAMDroppedFrames> CaptureCounter(CaptureGraph& run) {
    ComPtr<IAMDroppedFrames> counter;
    run.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, run.device.Get(), IAMDroppedFrames::iid,
                               counter.ReleaseAndGetVoidAddress());
    return counter;
}

// Runs the graph for kRunFor and reads the capture pin's counts after the stop.
Counts RunAndCount(CaptureGraph& run) {
    Counts c;
    ComPtr<IAMDroppedFrames> counter = CaptureCounter(run);
    EXPECT_TRUE(counter);
    if (!counter) return c;
    EXPECT_EQ(run.Run(), S_OK);
    auto began = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(kRunFor);
    auto elapsed = std::chrono::steady_clock::now() - began;
    run.Stop();
    c.slots = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * 10 / kInterval);
    counter->GetNumDropped(&c.dropped);
    counter->GetNumNotDropped(&c.delivered);
    c.droppedFrames.resize(static_cast<size_t>(std::max<LONG>(c.dropped, 1)));
    LONG copied = 0;
    counter->GetDroppedInfo(static_cast<LONG>(c.droppedFrames.size()), c.droppedFrames.data(), &copied);
    c.droppedFrames.resize(static_cast<size_t>(copied));
    return c;
}

// Every frame number up to the last one seen is either delivered or reported dropped, never both.
void ExpectEverySlotAccountedFor(const std::vector<int64_t>& delivered, const std::vector<LONG>& dropped) {
    ASSERT_FALSE(delivered.empty());
    std::set<int64_t> seen(delivered.begin(), delivered.end());
    EXPECT_EQ(seen.size(), delivered.size()) << "a slot delivered twice";
    std::set<int64_t> lost(dropped.begin(), dropped.end());
    for (int64_t slot = 0; slot <= *seen.rbegin(); ++slot)
        EXPECT_NE(seen.count(slot) + lost.count(slot), 0u) << "frame " << slot << " neither delivered nor dropped";
    for (int64_t slot : lost) EXPECT_EQ(seen.count(slot), 0u) << "frame " << slot << " delivered and dropped";
}

TEST(VirtualCameraPacing, SlowConsumerLosesThePassedFramesAndTheyCount) {
    ComPtr<IBaseFilter> camera = Camera("");
    ASSERT_TRUE(camera);
    CaptureGraph run;
    ASSERT_EQ(run.Add(camera.Get()), S_OK);
    ComPtr<Consumer> slow = MakeCom<Consumer>(std::chrono::milliseconds(250));
    ASSERT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    QueryAs<ISampleGrabber>(run.grabber.Get())->SetCallback(slow.Get(), 0);
    Counts c = RunAndCount(run);

    std::vector<int64_t> slots = slow->Slots();
    EXPECT_GT(c.dropped, 0);
    // (A frame made as the graph stops may never reach the consumer.)
    EXPECT_NEAR(c.delivered, static_cast<LONG>(slots.size()), 1);
    EXPECT_NEAR(c.delivered + c.dropped, c.slots, 2) << "delivered " << c.delivered << ", dropped " << c.dropped;
    // Each sample is stamped with its own slot and shows that slot's picture.
    EXPECT_TRUE(slow->OnSlot());
    EXPECT_TRUE(slow->PictureMatches());
    ExpectEverySlotAccountedFor(slots, c.droppedFrames);
}

TEST(VirtualCameraPacing, FastConsumerLosesOnlyTheDescribedDrops) {
    ComPtr<IBaseFilter> camera = Camera(R"(, "droppedFrames": {"every": 4})");
    ASSERT_TRUE(camera);
    CaptureGraph run;
    ASSERT_EQ(run.Add(camera.Get()), S_OK);
    ComPtr<Consumer> fast = MakeCom<Consumer>(std::chrono::milliseconds(0));
    ASSERT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    QueryAs<ISampleGrabber>(run.grabber.Get())->SetCallback(fast.Get(), 0);
    Counts c = RunAndCount(run);

    EXPECT_NEAR(c.delivered + c.dropped, c.slots, 2) << "delivered " << c.delivered << ", dropped " << c.dropped;
    for (LONG frame : c.droppedFrames) EXPECT_EQ((frame + 1) % 4, 0) << "frame " << frame << " lost without cause";
    EXPECT_EQ(c.droppedFrames.size(), static_cast<size_t>(c.dropped));
    EXPECT_TRUE(fast->PictureMatches());
    ExpectEverySlotAccountedFor(fast->Slots(), c.droppedFrames);
}

TEST(VirtualCameraPacing, SlowPreviewDoesNotCountAgainstTheCapture) {
    ComPtr<IBaseFilter> camera = Camera(R"(, "preview": "capture")");
    ASSERT_TRUE(camera);
    CaptureGraph run;
    ASSERT_EQ(run.Add(camera.Get()), S_OK);
    ASSERT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    ComPtr<IBaseFilter> previewGrabber, previewSink;
    ASSERT_EQ(CreateFilterGraphObject(CLSID_SampleGrabber, IBaseFilter::iid, previewGrabber.ReleaseAndGetVoidAddress()), S_OK);
    ASSERT_EQ(CreateFilterGraphObject(CLSID_NullRenderer, IBaseFilter::iid, previewSink.ReleaseAndGetVoidAddress()), S_OK);
    ASSERT_EQ(run.graph->AddFilter(previewGrabber.Get(), "Preview Grabber"), S_OK);
    ASSERT_EQ(run.graph->AddFilter(previewSink.Get(), "Preview Sink"), S_OK);
    ComPtr<Consumer> slowPreview = MakeCom<Consumer>(std::chrono::milliseconds(250));
    QueryAs<ISampleGrabber>(previewGrabber.Get())->SetCallback(slowPreview.Get(), 0);
    ASSERT_EQ(run.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(), previewGrabber.Get(),
                                        previewSink.Get()),
              S_OK);
    Counts c = RunAndCount(run);
    for (IBaseFilter* f : {previewSink.Get(), previewGrabber.Get()}) run.graph->RemoveFilter(f);

    // The preview lost frames of its own; the capture stream lost none and counts only itself.
    std::vector<int64_t> previewSlots = slowPreview->Slots();
    ASSERT_FALSE(previewSlots.empty());
    EXPECT_LT(static_cast<long>(previewSlots.size()), c.slots / 2);
    EXPECT_EQ(c.dropped, 0);
    EXPECT_NEAR(c.delivered, c.slots, 2);
    EXPECT_NEAR(c.delivered, static_cast<LONG>(run.log->Samples().size()), 1);
}

}  // namespace
