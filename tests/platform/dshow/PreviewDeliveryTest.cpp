// Which thread feeds the Smart Tee's preview branch: one that never waits (as IMemInputPin::
// ReceiveCanBlock reports it through the filters on the way) is fed on the streaming thread and
// gets every frame; one that may wait is fed from the tee's own thread and never holds up capture.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "platform/dshow/filters/NullRenderer.h"
#include "platform/dshow/filters/RendererFilter.h"
#include "platform/dshow/filters/SampleGrabber.h"
#include "platform/dshow/filters/SmartTee.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
constexpr CLSID kThreadSink = MakeGuid("{5B0F7C2E-8D14-4F6A-9E3B-2C71A0D4E915}");
constexpr uint64_t kFrames = 120;

// A renderer that notes the thread of every sample; it says whether it may wait.
class ThreadSink final : public RendererFilter {
public:
    explicit ThreadSink(bool mayBlock) : RendererFilter(kThreadSink, "In"), mayBlock_(mayBlock) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
    bool RenderCanBlock() const override { return mayBlock_; }
    HRESULT RenderSample(IMediaSample*) override {
        std::lock_guard lock(lock_);
        threads_.insert(std::this_thread::get_id());
        ++count_;
        return S_OK;
    }
    void OnEndOfStream() override {
        std::lock_guard lock(lock_);
        ended_ = true;
        changed_.notify_all();
    }
    bool WaitForEnd() {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return ended_; });
    }
    std::set<std::thread::id> Threads() {
        std::lock_guard lock(lock_);
        return threads_;
    }
    uint64_t Count() {
        std::lock_guard lock(lock_);
        return count_;
    }

private:
    bool mayBlock_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::set<std::thread::id> threads_;
    uint64_t count_ = 0;
    bool ended_ = false;
};

class NoteCallback final : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double, IMediaSample*) override { return S_OK; }
    HRESULT BufferCB(double, BYTE*, LONG) override { return E_UNEXPECTED; }
};

// source (no clock: as fast as taken) -> tee; capture -> capture sink; preview -> grabber -> preview sink.
struct TeeGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<SyntheticVideoSource> source;
    ComPtr<SmartTee> tee = MakeCom<SmartTee>();
    ComPtr<ThreadSink> capture = MakeCom<ThreadSink>(false);
    ComPtr<SampleGrabber> grabber = MakeCom<SampleGrabber>();
    ComPtr<ThreadSink> preview;

    explicit TeeGraph(bool previewMayBlock) : preview(MakeCom<ThreadSink>(previewMayBlock)) {
        SyntheticVideoFormat f;
        f.width = 32;
        f.height = 24;
        f.frameLimit = kFrames;
        source = MakeCom<SyntheticVideoSource>(f);
        CreateFilterGraphObject(CLSID_FilterGraph, &graph);
        QueryAs<IMediaFilter>(graph.Get())->SetSyncSource(nullptr);
        graph->AddFilter(source.Get(), "source");
        graph->AddFilter(tee.Get(), "tee");
        graph->AddFilter(capture.Get(), "capture");
        graph->AddFilter(grabber.Get(), "grabber");
        graph->AddFilter(preview.Get(), "preview");
    }
    bool Connect() {
        return graph->Connect(Pin(source.Get(), "Capture").Get(), Pin(tee.Get(), "Input").Get()) == S_OK &&
               graph->Connect(Pin(tee.Get(), "Capture").Get(), Pin(capture.Get(), "In").Get()) == S_OK &&
               graph->Connect(Pin(tee.Get(), "Preview").Get(), Pin(grabber.Get(), "Input").Get()) == S_OK &&
               graph->Connect(Pin(grabber.Get(), "Output").Get(), Pin(preview.Get(), "In").Get()) == S_OK;
    }
    HRESULT GrabberCanBlock() { return QueryAs<IMemInputPin>(Pin(grabber.Get(), "Input").Get())->ReceiveCanBlock(); }
    void RunToTheEnd() {
        ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
        ASSERT_TRUE(capture->WaitForEnd());
        ASSERT_TRUE(preview->WaitForEnd());
        QueryAs<IMediaControl>(graph.Get())->Stop();
    }
};

TEST(PreviewDelivery, ReceiveCanBlockFollowsTheFiltersOnTheWay) {
    TeeGraph g(false);
    ASSERT_TRUE(g.Connect());
    EXPECT_EQ(g.GrabberCanBlock(), S_FALSE);
    EXPECT_EQ(QueryAs<IMemInputPin>(Pin(g.preview.Get(), "In").Get())->ReceiveCanBlock(), S_FALSE);
    ComPtr<NullRenderer> null = MakeCom<NullRenderer>();
    EXPECT_EQ(QueryAs<IMemInputPin>(Pin(null.Get(), "In").Get())->ReceiveCanBlock(), S_FALSE);
    // A callback may take any time.
    ComPtr<NoteCallback> note = MakeCom<NoteCallback>();
    g.grabber->SetCallback(note.Get(), 0);
    EXPECT_EQ(g.GrabberCanBlock(), S_OK);
    g.grabber->SetCallback(nullptr, 0);
    EXPECT_EQ(g.GrabberCanBlock(), S_FALSE);
    // Without a connected output there is no telling: taken to wait.
    g.graph->Disconnect(Pin(g.grabber.Get(), "Output").Get());
    g.graph->Disconnect(Pin(g.preview.Get(), "In").Get());
    EXPECT_EQ(g.GrabberCanBlock(), S_OK);

    TeeGraph waiting(true);
    ASSERT_TRUE(waiting.Connect());
    EXPECT_EQ(waiting.GrabberCanBlock(), S_OK);
}

TEST(PreviewDelivery, ABranchThatNeverWaitsIsFedOnTheStreamingThreadWithEveryFrame) {
    TeeGraph g(false);
    ASSERT_TRUE(g.Connect());
    g.RunToTheEnd();
    EXPECT_EQ(g.capture->Count(), kFrames);
    EXPECT_EQ(g.preview->Count(), kFrames);
    EXPECT_EQ(g.tee->PreviewDropped(), 0u);
    EXPECT_EQ(g.capture->Threads().size(), 1u);
    EXPECT_EQ(g.preview->Threads(), g.capture->Threads());
}

TEST(PreviewDelivery, ABranchThatMayWaitIsFedFromTheTeesThread) {
    for (bool callback : {false, true}) {
        TeeGraph g(!callback);  // a waiting renderer, or a grabber callback in front of one that never waits
        ASSERT_TRUE(g.Connect());
        ComPtr<NoteCallback> note = MakeCom<NoteCallback>();
        if (callback) g.grabber->SetCallback(note.Get(), 0);
        g.RunToTheEnd();
        EXPECT_EQ(g.capture->Count(), kFrames);
        std::set<std::thread::id> previewThreads = g.preview->Threads();
        ASSERT_EQ(previewThreads.size(), 1u) << "callback " << callback;
        EXPECT_NE(*previewThreads.begin(), *g.capture->Threads().begin()) << "callback " << callback;
        EXPECT_EQ(g.preview->Count() + g.tee->PreviewDropped(), kFrames);
    }
}

}  // namespace
