// The format dialog and the device settings dialog, over devices in a running graph; the dialogs
// are worked through their widgets and closed by the test.
#include "engine/VideoFormats.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "engine/VideoFormatPages.h"
#include "platform/devices/CaptureDevices.h"
#include "tests/engine/VideoFormatTestDevices.h"

using namespace format_test;

namespace {

// While it lives, the property frame is run by `run` instead of being shown.
class FrameHook {
public:
    explicit FrameHook(std::function<int(QDialog&)> run) {
        previous_ = SetPropertyFrameShow([this, run = std::move(run)](QDialog& dialog) {
            ++runs;
            return run(dialog);
        });
    }
    ~FrameHook() { SetPropertyFrameShow(std::move(previous_)); }
    int runs = 0;

private:
    PropertyFrameShow previous_;
};

// A device in a graph, its capture pin rendered through a Smart Tee into a Null Renderer, and a
// filter of its own that nothing connects to. Running.
struct DeviceGraph {
    explicit DeviceGraph(const std::string& deviceName, const char* nameInGraph = nullptr) {
        graph = NewGraph();
        device = BindVideoDevice(deviceName);
        EXPECT_TRUE(graph && device);
        if (!graph || !device) return;
        name = nameInGraph ? nameInGraph : deviceName;
        EXPECT_EQ(graph->AddFilter(device.Get(), name.c_str()), S_OK);
        ComPtr<IBaseFilter> tee, sink, lonely;
        EXPECT_EQ(CreateFilterGraphObject(CLSID_SmartTee, &tee), S_OK);
        EXPECT_EQ(CreateFilterGraphObject(CLSID_NullRenderer, &sink), S_OK);
        EXPECT_EQ(CreateFilterGraphObject(CLSID_NullRenderer, &lonely), S_OK);
        graph->AddFilter(tee.Get(), "Smart Tee");
        graph->AddFilter(sink.Get(), "NullRenderer");
        graph->AddFilter(lonely.Get(), "Lonely");
        ComPtr<ICaptureGraphBuilder2> builder = NewBuilder(graph.Get());
        EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device.Get(), tee.Get(), sink.Get()),
                  S_OK);
        control = QueryAs<IMediaControl>(graph.Get());
        EXPECT_TRUE(SUCCEEDED(control->Run()));
    }
    ~DeviceGraph() {
        if (control) control->Stop();
    }
    bool Has(const char* filterName) const {
        ComPtr<IBaseFilter> found;
        return graph->FindFilterByName(filterName, found.ReleaseAndGetAddressOf()) == S_OK;
    }
    OAFilterState State() const {
        OAFilterState state = -1;
        control->GetState(1000, &state);
        return state;
    }
    bool CaptureConnected() const {
        ComPtr<IPin> pin, peer;
        device->FindPin("Capture", pin.ReleaseAndGetAddressOf());
        return pin && pin->ConnectedTo(peer.ReleaseAndGetAddressOf()) == S_OK;
    }

    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> device;
    ComPtr<IMediaControl> control;
    std::string name;
};

TEST(VideoFormatPage, WithoutAGraphOrTheDeviceNothingIsShown) {
    unsetenv("ORVANTA_DEVICES");
    FrameHook hook([](QDialog&) { return int(QDialog::Accepted); });
    EXPECT_EQ(ShowVideoFormatPage(nullptr, "Orvanta Virtual Camera"), "");
    EXPECT_EQ(ShowCaptureDevicePage(nullptr, "Orvanta Virtual Camera"), 0);
    DeviceGraph running("Orvanta Virtual Camera");
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), "Some Other Camera"), "");
    EXPECT_EQ(ShowCaptureDevicePage(running.graph.Get(), "Some Other Camera"), 0);
    EXPECT_EQ(hook.runs, 0);
    // The graph was not touched.
    EXPECT_EQ(running.State(), State_Running);
    EXPECT_TRUE(running.Has("NullRenderer"));
}

TEST(VideoFormatPage, DriverFormatDialogRunsOnTheStrippedGraph) {
    unsetenv("ORVANTA_DEVICES");
    DeviceGraph running("Orvanta Virtual Capture Card");
    std::vector<int> asked;
    bool connectedWhenAsked = true;
    SetDeviceDialogHandler([&](const DeviceDescription& device, int dialog, uint32_t) {
        EXPECT_EQ(device.name, "Orvanta Virtual Capture Card");
        asked.push_back(dialog);
        connectedWhenAsked = running.CaptureConnected();
        return HRESULT(S_OK);
    });
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), running.name), "");
    SetDeviceDialogHandler(nullptr);
    EXPECT_EQ(asked, (std::vector<int>{VfwCaptureDialog_Format}));
    EXPECT_FALSE(connectedWhenAsked);
    // Everything downstream of the device is gone; the rest stays, stopped.
    EXPECT_EQ(running.State(), State_Stopped);
    EXPECT_FALSE(running.Has("Smart Tee"));
    EXPECT_FALSE(running.Has("NullRenderer"));
    EXPECT_TRUE(running.Has("Lonely"));
    EXPECT_TRUE(running.Has(running.name.c_str()));
}

TEST(VideoFormatPage, FormatPageSetsTheChosenFormatAndNamesIt) {
    unsetenv("ORVANTA_DEVICES");  // the camera has no driver format dialog
    DeviceGraph running("Orvanta Virtual Camera");
    std::vector<std::string> offered;
    std::string caption = "unset";
    FrameHook hook([&](QDialog& dialog) {
        caption = dialog.windowTitle().toStdString();
        auto* list = dialog.findChild<QComboBox*>("formatList");
        auto* width = dialog.findChild<QSpinBox*>("formatWidth");
        auto* height = dialog.findChild<QSpinBox*>("formatHeight");
        EXPECT_TRUE(list && width && height);
        if (!list || !width || !height) return int(QDialog::Rejected);
        for (int i = 0; i < list->count(); ++i) offered.push_back(list->itemText(i).toStdString());
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(width->value(), 640);  // the current size
        list->setCurrentIndex(1);
        width->setValue(352);
        height->setValue(288);
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), running.name), "YUY2 (352x288)");
    EXPECT_EQ(hook.runs, 1);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(offered, (std::vector<std::string>{"RGB24 (1920x1080)", "YUY2 (1920x1080)"}));
    AM_MEDIA_TYPE type = CurrentFormat(running.device.Get(), "Capture");
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(type.VideoInfo()->bmiHeader.biWidth, 352);
    EXPECT_EQ(type.VideoInfo()->bmiHeader.biSizeImage, 352u * 288u * 2u);
    EXPECT_FALSE(running.Has("Smart Tee"));
    EXPECT_FALSE(running.CaptureConnected());
}

TEST(VideoFormatPage, CancelledFormatPageNamesTheCurrentFormat) {
    unsetenv("ORVANTA_DEVICES");
    DeviceGraph running("Orvanta Virtual Camera");
    FrameHook hook([&](QDialog& dialog) {
        dialog.findChild<QComboBox*>("formatList")->setCurrentIndex(1);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), running.name), "RGB24 (640x480)");
    EXPECT_EQ(CurrentFormat(running.device.Get(), "Capture").subtype, MEDIASUBTYPE_RGB24);
}

TEST(VideoFormatPage, NoScreenMeansTheDialogIsCancelledAtOnce) {
    // Offscreen, with no hook: the modal dialog must not wait for a user who is not there.
    unsetenv("ORVANTA_DEVICES");
    DeviceGraph running("Orvanta Virtual Camera");
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), running.name), "RGB24 (640x480)");
    EXPECT_EQ(ShowCaptureDevicePage(running.graph.Get(), running.name), 1);
}

TEST(VideoFormatPage, CompressedCurrentFormatIsNamedByItsFourCC) {
    UseDevices(R"({"devices": [{"name": "Webcam", "kind": "video",
        "capture": [{"format": "UYVY", "width": 720, "height": 576},
                    {"format": "RGB565", "width": 320, "height": 240}]}]})");
    DeviceGraph running("Webcam");
    FrameHook keep([](QDialog&) { return int(QDialog::Rejected); });
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), "Webcam"), "UYVY (720x576)");
    FrameHook pick([](QDialog& dialog) {
        dialog.findChild<QComboBox*>("formatList")->setCurrentIndex(1);
        return int(QDialog::Accepted);
    });
    // RGB565 is one of the RGB names the page reports (its bit-field masks are no FourCC).
    EXPECT_EQ(ShowVideoFormatPage(running.graph.Get(), "Webcam"), "RGB565 (320x240)");
}

TEST(VideoFormatPage, DevicePageShowsTheSettingsAndAppliesThem) {
    unsetenv("ORVANTA_DEVICES");
    DeviceGraph running("Orvanta Virtual Camera", "Camera In Graph");
    std::string caption;
    std::vector<std::string> tabs;
    FrameHook hook([&](QDialog& dialog) {
        caption = dialog.windowTitle().toStdString();
        if (auto* pages = dialog.findChild<QTabWidget*>("propertyPages"))
            for (int i = 0; i < pages->count(); ++i) tabs.push_back(pages->tabText(i).toStdString());
        auto* gain = dialog.findChild<QSlider*>("Gain");
        EXPECT_TRUE(gain);
        if (gain) gain->setValue(42);
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(ShowCaptureDevicePage(running.graph.Get(), "Camera In Graph"), 1);
    EXPECT_EQ(hook.runs, 1);
    EXPECT_EQ(caption, "Camera In Graph");
    EXPECT_EQ(tabs, (std::vector<std::string>{"Device Settings"}));
    LONG value = 0, flags = 0;
    ComPtr<IAMVideoProcAmp> procAmp = QueryAs<IAMVideoProcAmp>(running.device.Get());
    ASSERT_TRUE(procAmp);
    procAmp->Get(VideoProcAmp_Gain, &value, &flags);
    EXPECT_EQ(value, 42);
    // The settings page leaves the graph as it was.
    EXPECT_EQ(running.State(), State_Running);
    EXPECT_TRUE(running.CaptureConnected());
}

TEST(VideoFormatPage, DeviceWithoutPagesIsFoundButShowsNothing) {
    UseDevices(R"({"devices": [{"name": "Plain", "kind": "video",
        "capture": [{"format": "RGB24", "width": 320, "height": 240}]}]})");
    DeviceGraph running("Plain");
    FrameHook hook([](QDialog&) { return int(QDialog::Accepted); });
    EXPECT_EQ(ShowCaptureDevicePage(running.graph.Get(), "Plain"), 1);
    EXPECT_EQ(hook.runs, 0);
}

TEST(VideoFormatPage, FrameLeavesOutPagesItCannotMake) {
    unsetenv("ORVANTA_DEVICES");
    ComPtr<IBaseFilter> camera = BindVideoDevice("Orvanta Virtual Camera");
    FrameHook hook([](QDialog&) { return int(QDialog::Accepted); });
    Guid unknown[] = {MakeGuid("{11111111-2222-3333-4444-555555555555}")};
    EXPECT_EQ(ShowPropertyFrame(0, "x", camera.Get(), CAUUID{1, unknown}), S_FALSE);
    // The format page cannot edit a filter (it needs a stream configuration).
    Guid format[] = {CLSID_OrvantaStreamFormatPage};
    EXPECT_EQ(ShowPropertyFrame(0, "x", camera.Get(), CAUUID{1, format}), S_FALSE);
    EXPECT_EQ(ShowPropertyFrame(0, "x", nullptr, CAUUID{1, format}), E_POINTER);
    EXPECT_EQ(hook.runs, 0);
    Guid both[] = {unknown[0], CLSID_OrvantaStreamFormatPage};
    ComPtr<IAMStreamConfig> config = PinConfig(camera.Get(), "Capture");
    EXPECT_EQ(ShowPropertyFrame(0, "x", config.Get(), CAUUID{2, both}), S_OK);
    EXPECT_EQ(hook.runs, 1);
}

}  // namespace
