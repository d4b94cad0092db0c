// The device settings page and the driver dialogs built on it, worked through their widgets.
#include "platform/devices/DevicePropertyPage.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QSlider>
#include <QWidget>

#include <fstream>

#include "platform/devices/CaptureDevices.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "tests/support/TestEnvironment.h"

namespace {

ComPtr<IBaseFilter> BindFirst(const CLSID& category, const std::string& wanted) {
    ComPtr<ICreateDevEnum> devices;
    CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf());
    ComPtr<IEnumMoniker> list;
    ComPtr<IBaseFilter> filter;
    if (devices->CreateClassEnumerator(category, list.ReleaseAndGetAddressOf(), 0) != S_OK) return filter;
    ComPtr<IMoniker> moniker;
    while (!filter && list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress());
        Variant name;
        if (bag->Read("FriendlyName", &name, nullptr) == S_OK && name.Bstr() == wanted)
            moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress());
    }
    return filter;
}

class StatusLog : public ComObject<IPropertyPageSite> {
public:
    HRESULT OnStatusChange(DWORD flags) override {
        changes.push_back(flags);
        return S_OK;
    }
    std::vector<DWORD> changes;
};

// A proc-amp that takes nothing: every Set fails as a device busy elsewhere would.
class RefusingProcAmp : public ComObject<IAMVideoProcAmp> {
public:
    HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* defaultValue, LONG* caps) override {
        if (property != VideoProcAmp_Contrast) return E_INVALIDARG;
        *min = 0;
        *max = 10;
        *step = 1;
        *defaultValue = 5;
        *caps = VideoProcAmp_Flags_Manual;
        return S_OK;
    }
    HRESULT Set(LONG, LONG, LONG) override { return E_FAIL; }
    HRESULT Get(LONG, LONG* value, LONG* flags) override {
        *value = 5;
        *flags = VideoProcAmp_Flags_Manual;
        return S_OK;
    }
};

template <class T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_TRUE(child) << name;
    return child;
}

LONG ProcAmpValue(IBaseFilter* device, LONG property, LONG* flags = nullptr) {
    ComPtr<IAMVideoProcAmp> procAmp = QueryAs<IAMVideoProcAmp>(device);
    LONG value = 0, f = 0;
    procAmp->Get(property, &value, &f);
    if (flags) *flags = f;
    return value;
}

TEST(DevicePropertyPage, CameraRowsComeFromTheDeviceRanges) {
    ComPtr<IBaseFilter> camera = BindFirst(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Camera");
    ASSERT_TRUE(camera);
    auto page = MakeCom<DevicePropertyPage>();
    IUnknown* objects[] = {camera.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    std::vector<std::string> names;
    for (const auto& s : page->Settings()) names.push_back(s.name);
    // Every proc-amp setting the camera offers, then its camera controls, in property order.
    EXPECT_EQ(names, (std::vector<std::string>{"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "Gamma",
                                               "WhiteBalance", "BacklightCompensation", "Gain", "Pan", "Tilt", "Zoom",
                                               "Exposure", "Focus"}));
    const DeviceSetting& balance = page->Settings()[6];
    EXPECT_EQ(std::make_tuple(balance.min, balance.max, balance.step, balance.value), std::make_tuple(2800, 6500, 10, 4600));
    EXPECT_TRUE(balance.automatic);
    PROPPAGEINFO info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.title, "Device Settings");

    // Only the rows the device can switch get an "Auto" box; automatic rows cannot be dragged.
    QWidget frame;
    ASSERT_EQ(page->Activate(&frame), S_OK);
    EXPECT_TRUE(frame.findChild<QCheckBox*>("WhiteBalance.auto"));
    EXPECT_FALSE(frame.findChild<QCheckBox*>("Brightness.auto"));
    EXPECT_FALSE(Child<QSlider>(frame, "WhiteBalance")->isEnabled());
    EXPECT_TRUE(Child<QSlider>(frame, "Brightness")->isEnabled());
    EXPECT_EQ(page->Activate(&frame), E_UNEXPECTED);  // one set of widgets at a time
    page->Deactivate();
    EXPECT_FALSE(frame.findChild<QWidget*>("DevicePropertyPage"));
}

TEST(DevicePropertyPage, ApplyWritesOnlyWhatChanged) {
    ComPtr<IBaseFilter> camera = BindFirst(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Camera");
    ASSERT_TRUE(camera);
    auto page = MakeCom<DevicePropertyPage>();
    auto site = MakeCom<StatusLog>();
    page->SetPageSite(site.Get());
    IUnknown* objects[] = {camera.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    QWidget frame;
    ASSERT_EQ(page->Activate(&frame), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);

    Child<QSlider>(frame, "Brightness")->setValue(-30);
    Child<QCheckBox>(frame, "WhiteBalance.auto")->setChecked(false);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_FALSE(site->changes.empty());
    EXPECT_EQ(site->changes.back(), PROPPAGESTATUS_DIRTY);
    // Nothing reaches the device before Apply.
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_Brightness), 0);

    // Someone else changes the contrast meanwhile: the page, which did not touch it, keeps off it.
    ComPtr<IAMVideoProcAmp> procAmp = QueryAs<IAMVideoProcAmp>(camera.Get());
    ASSERT_EQ(procAmp->Set(VideoProcAmp_Contrast, 77, VideoProcAmp_Flags_Manual), S_OK);

    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(site->changes.back(), PROPPAGESTATUS_CLEAN);
    LONG flags = 0;
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_Brightness, &flags), -30);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_WhiteBalance, &flags), 4600);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_Contrast), 77);

    // Values moved and then dropped without Apply are lost.
    Child<QSlider>(frame, "Brightness")->setValue(40);
    page->Deactivate();
    page->SetObjects(0, nullptr);
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_Brightness), -30);
}

TEST(DevicePropertyPage, RefusedWriteIsReportedAndStaysPending) {
    auto refusing = MakeCom<RefusingProcAmp>();
    auto page = MakeCom<DevicePropertyPage>();
    IUnknown* objects[] = {refusing->GetUnknown()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    ASSERT_EQ(page->Settings().size(), 1u);
    QWidget frame;
    ASSERT_EQ(page->Activate(&frame), S_OK);
    Child<QSlider>(frame, "Contrast")->setValue(8);
    EXPECT_EQ(page->Apply(), E_FAIL);
    EXPECT_EQ(page->IsPageDirty(), S_OK);  // the change is still to be made

    // An object with nothing to set is not this page's.
    auto nothing = MakeCom<StatusLog>();
    auto other = MakeCom<DevicePropertyPage>();
    IUnknown* none[] = {nothing->GetUnknown()};
    EXPECT_EQ(other->SetObjects(1, none), E_NOINTERFACE);
    EXPECT_EQ(other->Activate(&frame), E_UNEXPECTED);
}

TEST(DevicePropertyPage, SoundCardLinesEnableAndLevel) {
    ComPtr<IBaseFilter> mic = BindFirst(CLSID_AudioInputDeviceCategory, "Orvanta Virtual Microphone");
    ASSERT_TRUE(mic);
    auto page = MakeCom<DevicePropertyPage>();
    IUnknown* objects[] = {mic.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    ASSERT_EQ(page->Settings().size(), 4u);
    EXPECT_EQ(page->Settings()[1].name, "Line In");
    EXPECT_EQ(page->Settings()[1].property, 1);  // position among the input pins
    EXPECT_TRUE(page->Settings()[0].automatic);  // the microphone is enabled at start
    EXPECT_EQ(page->Settings()[0].value, 100);
    PROPPAGEINFO info;
    page->GetPageInfo(&info);
    EXPECT_EQ(info.title, "Audio Inputs");

    QWidget frame;
    ASSERT_EQ(page->Activate(&frame), S_OK);
    Child<QCheckBox>(frame, "Line In.enabled")->setChecked(true);
    Child<QSlider>(frame, "Line In")->setValue(35);
    ASSERT_EQ(page->Apply(), S_OK);

    ComPtr<IPin> line;
    ASSERT_EQ(mic->FindPin("Line In", line.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IAMAudioInputMixer> mixer = QueryAs<IAMAudioInputMixer>(line.Get());
    BOOL enabled = FALSE;
    double level = 0;
    mixer->get_Enable(&enabled);
    mixer->get_MixLevel(&level);
    EXPECT_EQ(enabled, TRUE);
    EXPECT_DOUBLE_EQ(level, 0.35);
}

// The driver dialogs, run through the dialog hook that stands in for the user.
struct DialogHook {
    explicit DialogHook(DeviceDialogRun run) { SetDeviceDialogRun(std::move(run)); }
    ~DialogHook() { SetDeviceDialogRun(nullptr); }
};

TEST(DeviceDialogs, SourceDialogShowsTheSettingsPage) {
    ComPtr<IBaseFilter> camera = BindFirst(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Camera");
    ASSERT_TRUE(camera);
    ComPtr<IAMVfwCaptureDialogs> dialogs = QueryAs<IAMVfwCaptureDialogs>(camera.Get());
    ASSERT_TRUE(dialogs);
    EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Source), S_OK);
    EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Format), S_FALSE);
    EXPECT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Format, 0), E_INVALIDARG);

    std::string caption;
    {
        DialogHook hook([&](QDialog& dialog) {
            caption = dialog.windowTitle().toStdString();
            dialog.findChild<QSlider*>("Gain")->setValue(42);
            return int(QDialog::Accepted);
        });
        ASSERT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Source, 0), S_OK);
    }
    EXPECT_EQ(caption, "Orvanta Virtual Camera");
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_Gain), 42);

    // Cancel leaves the device as it was.
    DialogHook cancel([&](QDialog& dialog) {
        dialog.findChild<QSlider*>("Gain")->setValue(7);
        return int(QDialog::Rejected);
    });
    ASSERT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Source, 0), S_OK);
    EXPECT_EQ(ProcAmpValue(camera.Get(), VideoProcAmp_Gain), 42);
}

TEST(DeviceDialogs, FormatDialogSetsTheChosenCapability) {
    ComPtr<IBaseFilter> card = BindFirst(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Capture Card");
    ASSERT_TRUE(card);
    ComPtr<IAMVfwCaptureDialogs> dialogs = QueryAs<IAMVfwCaptureDialogs>(card.Get());
    ASSERT_TRUE(dialogs);
    std::vector<std::string> offered;
    DialogHook hook([&](QDialog& dialog) {
        auto* list = dialog.findChild<QComboBox*>("Formats");
        for (int i = 0; i < list->count(); ++i) offered.push_back(list->itemText(i).toStdString());
        list->setCurrentIndex(3);
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Format, 0), S_OK);
    EXPECT_EQ(offered, (std::vector<std::string>{"YUY2 720x576", "YUY2 720x480", "RGB24 640x480", "RGB24 320x240"}));
    ComPtr<IPin> capture;
    ASSERT_EQ(card->FindPin("Capture", capture.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IAMStreamConfig> config = QueryAs<IAMStreamConfig>(capture.Get());
    AM_MEDIA_TYPE type;
    ASSERT_EQ(config->GetFormat(&type), S_OK);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(type.VideoInfo()->bmiHeader.biWidth, 320);
    EXPECT_EQ(type.VideoInfo()->bmiHeader.biHeight, 240);
}

TEST(DeviceDialogs, ReplacedHandlerStillDecides) {
    // The engine's tests answer the driver dialogs themselves; then no page is built at all.
    ComPtr<IBaseFilter> card = BindFirst(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Capture Card");
    ASSERT_TRUE(card);
    int pageRuns = 0;
    DialogHook hook([&](QDialog&) { return ++pageRuns, int(QDialog::Accepted); });
    std::vector<int> asked;
    SetDeviceDialogHandler([&](const DeviceDescription& device, int dialog, uint32_t owner) {
        EXPECT_EQ(device.name, "Orvanta Virtual Capture Card");
        EXPECT_EQ(owner, 77u);
        asked.push_back(dialog);
        return HRESULT(S_OK);
    });
    ComPtr<IAMVfwCaptureDialogs> dialogs = QueryAs<IAMVfwCaptureDialogs>(card.Get());
    EXPECT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Display, 77), S_OK);
    SetDeviceDialogHandler(nullptr);
    EXPECT_EQ(asked, (std::vector<int>{VfwCaptureDialog_Display}));
    EXPECT_EQ(pageRuns, 0);
}

}  // namespace
