// The control at work in a container: setters' notifications, Start's results, the device
// dialogs, the broadcast helper's client reports, design-time browsing and the framework's rules.
#include <QDialog>
#include <QTabWidget>
#include <cstring>

#include "control/LumicorIds.h"
#include "control/LumicorPropPage.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "engine/HelperBlocks.h"
#include "engine/SessionMessages.h"
#include "engine/VideoFormatPages.h"
#include "platform/contracts/PublishFailureReport.h"
#include "platform/devices/DevicePropertyPage.h"
#include "platform/os/MessageWindow.h"
#include "platform/os/WindowMessages.h"
#include "tests/control/LumicorTestSupport.h"

using namespace lumicor_test;

namespace {

class Behaviour : public HostedControl {
protected:
    void SetUp() override {
        HostedControl::SetUp();
        ASSERT_EQ(site->InitNew(), S_OK);
    }
    void Activate() {
        RegisterOverlayModule();
        ASSERT_EQ(site->Activate(), S_OK);
        ASSERT_TRUE(Object().ControlWidget());
    }
    int16_t Start() { return static_cast<int16_t>(GetIntOf(Call(78))); }
    static int64_t GetIntOf(const Variant& v) {
        int64_t n = 0;
        if (v.Type() == VT_BOOL) return v.Bool() ? 1 : 0;
        EXPECT_TRUE(v.GetInteger(&n));
        return n;
    }
    void UseDevice(const std::string& name) {
        int16_t index = IndexOf(DeviceNames(), name);
        ASSERT_GE(index, 0) << name;
        Put(1, Variant(index));
        Call(93);  // RefreshDevice
    }
    static std::string GetTextOf(const Variant& v) {
        EXPECT_EQ(v.Type(), VT_BSTR);
        return v.Type() == VT_BSTR ? v.Bstr() : std::string();
    }
    std::vector<std::string> DeviceNames() {
        std::vector<std::string> names;
        Variant devices = Get(3);
        DispatchDriver collection(ComPtr<IDispatch>(devices.Dispatch()));
        Variant count;
        EXPECT_EQ(collection.GetProperty("Count", &count), S_OK);
        for (int16_t i = 1; i <= count.I2(); ++i) {
            Variant item;
            EXPECT_EQ(collection.Call("Item", {Variant(i)}, &item), S_OK);
            Variant name;
            EXPECT_EQ(DispatchDriver(ComPtr<IDispatch>(item.Dispatch())).GetProperty("Name", &name), S_OK);
            names.push_back(name.Bstr());
        }
        return names;
    }
    // A client report as the helper sends it.
    static std::vector<uint8_t> Report(uint32_t tag, int16_t count, const std::string& text) {
        std::vector<uint8_t> bytes(kReportOffsetText + text.size() + 1, 0);
        std::memcpy(bytes.data() + kReportOffsetTag, &tag, 4);
        std::memcpy(bytes.data() + kReportOffsetCount, &count, 2);
        std::memcpy(bytes.data() + kReportOffsetText, text.data(), text.size());
        return bytes;
    }
    LRESULT SendReport(ULONG_PTR dwData, std::vector<uint8_t> bytes) {
        COPYDATASTRUCT data;
        data.dwData = dwData;
        data.cbData = static_cast<DWORD>(bytes.size());
        data.lpData = bytes.data();
        return SendMessage(Object().MessageWindowHandle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
};

}  // namespace

TEST_F(Behaviour, InDesignModeDeviceNotifiesWithoutModifiedAndVideoFormatDoesBoth) {
    site->SetUserMode(false);
    Put(1, Variant(int16_t{2}));
    EXPECT_EQ(site->Changes(), std::vector<DISPID>{1});
    EXPECT_FALSE(site->IsDirty());
    Put(2, Variant(int16_t{1}));
    EXPECT_EQ(site->Changes(), (std::vector<DISPID>{1, 2}));
    EXPECT_TRUE(site->IsDirty());
    // N* notifies in either mode, N only in design mode.
    site->SetUserMode(true);
    site->ClearRecords();
    Put(1, Variant(int16_t{0}));
    Put(46, Variant(int16_t{10}));
    Put(57, Variant(false));
    EXPECT_EQ(site->Changes(), std::vector<DISPID>{57});
    const int before = Object().InvalidateCount();
    Put(26, Variant(int16_t{1}));  // I
    Put(6, Variant(true));         // M only
    EXPECT_EQ(Object().InvalidateCount(), before + 1);
}

TEST_F(Behaviour, ReadOnlyPropertiesRefuseAPutAndObjectsComeWithTheirOwnReference) {
    Variant devices = Get(3);
    ASSERT_EQ(devices.Type(), VT_DISPATCH);
    EXPECT_EQ(control.PutProperty(3, devices), CTL_E_SETNOTSUPPORTED);
    Variant brightness = Get(8);
    ASSERT_EQ(brightness.Type(), VT_DISPATCH);
    EXPECT_EQ(control.PutProperty(8, brightness), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(control.PutProperty(24, brightness), CTL_E_SETNOTSUPPORTED);
    DISPID id = 0;
    EXPECT_EQ(control.GetIdOfName("Focus", &id), S_OK);
    EXPECT_EQ(id, 24);
    EXPECT_EQ(control.GetIdOfName("AboutBox", &id), S_OK);
    EXPECT_EQ(id, DISPID_ABOUTBOX);
    DWORD status = 0;
    EXPECT_EQ(site->Object()->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
    ComPtr<ISpecifyPropertyPages> pages = QueryAs<ISpecifyPropertyPages>(control.Get());
    ASSERT_TRUE(pages);
    CAUUID list;
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.elements[0], CLSID_LumicorPropPage);
    std::free(list.elements);
}

TEST_F(Behaviour, StartReportsAMissingFileNameThenAMissingDevice) {
    Put(6, Variant(true));
    EXPECT_EQ(Start(), -2);
    EXPECT_FALSE(Object().Session().Graph());
    // Not activated: the collections are empty, so no video device resolves.
    Put(6, Variant(false));
    EXPECT_EQ(Start(), -1);
    EXPECT_FALSE(Object().Session().Graph());
}

TEST_F(Behaviour, StartWithAProfileBeyondTheListPassesTheZeroIdentifier) {
    Activate();
    UseDevice(kCamera);
    Put(27, Variant(false));
    Put(44, Variant(int16_t{0}));
    ASSERT_EQ(Start(), 0);
    EXPECT_NE(Object().Session().wmvProfileGuid, Guid{});
    Call(79);
    Put(44, Variant(int16_t{30000}));
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Object().Session().wmvProfileGuid, Guid{});
    Call(79);
    EXPECT_FALSE(Object().Session().Graph());
}

TEST_F(Behaviour, StartCopiesTheSettingsIntoTheSession) {
    Activate();
    UseDevice(kCamera);
    Put(27, Variant(false));
    Put(46, Variant(int16_t{20}));
    Put(77, Variant(int16_t{30}));
    Put(52, Variant(int16_t{3}));
    Put(38, Variant(int16_t{49}));
    ASSERT_EQ(Start(), 0);
    const CCaptureSession& session = Object().Session();
    EXPECT_EQ(session.frameRate, 20);
    EXPECT_FLOAT_EQ(session.mpegFrameRate, 30.0f);
    EXPECT_TRUE(session.tunerInput);
    EXPECT_EQ(session.countryCode, 49);
    EXPECT_FALSE(session.captureAudio);
    EXPECT_EQ(session.videoDeviceName, kCamera);
    EXPECT_NE(session.ownerWindow, HWND_NONE);
    EXPECT_EQ(session.ownerWindow, Object().MessageWindowHandle());
    EXPECT_EQ(session.audioInputPinEntries != nullptr, true);
    Call(79);
}

TEST_F(Behaviour, DevicePagesWithoutAGraphLeaveTheSelectionAndReportWhatTheyDid) {
    Put(2, Variant(int16_t{7}));
    Put(42, Variant(int16_t{5}));
    EXPECT_EQ(GetIntOf(Call(84)), 1);  // always TRUE
    EXPECT_EQ(GetInt(2), 7);
    EXPECT_EQ(GetIntOf(Call(85)), 0);  // the session reports -1
    EXPECT_EQ(GetInt(42), 5);
}

TEST_F(Behaviour, CrossbarPageOnARunningCardTakesTheRoutedInput) {
    DeviceDialogRun previous = SetDeviceDialogRun([](QDialog&) { return int(QDialog::Rejected); });
    PropertyFrameShow previousFrame = SetPropertyFrameShow([](QDialog&) { return int(QDialog::Rejected); });
    Activate();
    UseDevice(kCard);
    Put(27, Variant(false));
    Put(42, Variant(int16_t{1}));
    ASSERT_EQ(Start(), 0);
    Put(42, Variant(int16_t{99}));
    EXPECT_EQ(GetIntOf(Call(85)), 1);
    EXPECT_EQ(GetInt(42), 1);
    // The routed input is reported however the dialog ended; -1 only without a crossbar.
    Put(42, Variant(int16_t{7}));
    EXPECT_EQ(GetIntOf(Call(85)), 1);
    EXPECT_EQ(GetInt(42), 1);
    Call(79);
    SetDeviceDialogRun(previous);
    SetPropertyFrameShow(previousFrame);
}

TEST_F(Behaviour, AClientReportFillsTheAddressListAndFiresClientConnected) {
    Activate();
    EXPECT_EQ(SendReport(kHelperCopyDataTag, Report(kClientReportTag, 4, "a;b;;c;")), TRUE);
    auto fired = Fired(kDispidClientConnected);
    ASSERT_EQ(fired.size(), 1u);
    ASSERT_EQ(fired[0].args.size(), 2u);
    EXPECT_EQ(fired[0].args[0].I2(), 4);
    EXPECT_EQ(fired[0].args[1].Bstr(), "a;b;;c;");
    const char* expected[] = {"a", "b", "", "c"};
    for (int16_t i = 0; i < 4; ++i) EXPECT_EQ(GetTextOf(Call(102, {Variant(i)})), expected[i]) << i;
    EXPECT_EQ(GetTextOf(Call(102, {Variant(int16_t{4})})), "");
    EXPECT_EQ(GetTextOf(Call(102, {Variant(int16_t{-1})})), "");

    // An empty text still fires, and keeps the list.
    SendReport(kHelperCopyDataTag, Report(kClientReportTag, 0, ""));
    EXPECT_EQ(Fired(kDispidClientConnected).size(), 2u);
    EXPECT_EQ(GetTextOf(Call(102, {Variant(int16_t{3})})), "c");
    // Another dwData or another tag is no report.
    EXPECT_EQ(SendReport(0x10017, Report(kClientReportTag, 1, "x")), 0);
    EXPECT_EQ(SendReport(kHelperCopyDataTag, Report(0x10039, 1, "x")), 0);
    std::vector<uint8_t> tooShort(10, 0);
    EXPECT_EQ(SendReport(kHelperCopyDataTag, tooShort), 0);
    EXPECT_EQ(Fired(kDispidClientConnected).size(), 2u);
    EXPECT_EQ(GetTextOf(Call(102, {Variant(int16_t{0})})), "a");
}

TEST_F(Behaviour, AHelperThatCannotPublishFiresCaptureErrorAndLeavesTheClientList) {
    Activate();
    SendReport(kHelperCopyDataTag, Report(kClientReportTag, 1, "10.0.0.7"));
    const std::string reason = "cannot connect to rtmp://127.0.0.1:9/live: Connection refused; trying again in 1 s";
    EXPECT_EQ(SendReport(kHelperCopyDataTag, BuildPublishFailureReport({HResultFromErrno(ECONNREFUSED), reason})), TRUE);
    auto fired = Fired(kDispidCaptureError);
    ASSERT_EQ(fired.size(), 1u);
    ASSERT_EQ(fired[0].args.size(), 2u);
    EXPECT_EQ(fired[0].args[0].I4(), HResultFromErrno(ECONNREFUSED));
    EXPECT_EQ(fired[0].args[1].Bstr(), reason);
    EXPECT_EQ(Fired(kDispidClientConnected).size(), 1u);
    EXPECT_EQ(GetTextOf(Call(102, {Variant(int16_t{0})})), "10.0.0.7");
    // Cut short before its code, it is nothing.
    std::vector<uint8_t> cut = BuildPublishFailureReport({1, "x"});
    cut.resize(kPublishFailureOffsetCode);
    EXPECT_EQ(SendReport(kHelperCopyDataTag, cut), 0);
    EXPECT_EQ(Fired(kDispidCaptureError).size(), 1u);
}

TEST_F(Behaviour, DesignTimeBrowsingNamesTheSelectedEntryAndOffersThemAll) {
    Activate();
    ComPtr<IPerPropertyBrowsing> browsing = QueryAs<IPerPropertyBrowsing>(control.Get());
    ASSERT_TRUE(browsing);
    const std::vector<std::string> devices = DeviceNames();
    ASSERT_GE(devices.size(), 2u);
    Put(1, Variant(int16_t{1}));
    std::string shown;
    ASSERT_EQ(browsing->GetDisplayString(1, &shown), S_OK);
    EXPECT_EQ(shown, devices[1]);
    for (int16_t outside : {int16_t{-1}, static_cast<int16_t>(devices.size())}) {
        Put(1, Variant(outside));
        ASSERT_EQ(browsing->GetDisplayString(1, &shown), S_OK);
        EXPECT_EQ(shown, "");
    }
    std::vector<std::string> names;
    std::vector<DWORD> cookies;
    ASSERT_EQ(browsing->GetPredefinedStrings(1, &names, &cookies), S_OK);
    EXPECT_EQ(names, devices);
    ASSERT_EQ(cookies.size(), devices.size());
    for (size_t i = 0; i < cookies.size(); ++i) EXPECT_EQ(cookies[i], i);
    Variant value;
    ASSERT_EQ(browsing->GetPredefinedValue(1, 1, &value), S_OK);
    EXPECT_EQ(value.Type(), VT_I2);
    EXPECT_EQ(value.I2(), 1);
    // The video format names of the first device; an empty list shows nothing.
    ASSERT_EQ(browsing->GetPredefinedStrings(2, &names, &cookies), S_OK);
    EXPECT_FALSE(names.empty());
    Put(44, Variant(int16_t{0}));
    ASSERT_EQ(browsing->GetDisplayString(44, &shown), S_OK);
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(browsing->GetDisplayString(46, &shown), E_NOTIMPL);
    EXPECT_EQ(browsing->GetPredefinedStrings(7, &names, &cookies), E_NOTIMPL);
}

TEST_F(Behaviour, MouseInputOnTheVideoAreaFiresTheStockEventsAtTheSink) {
    Activate();
    CCaptureSession& session = Object().Session();
    ASSERT_TRUE(session.Window());
    // A left press, a double click and a move with the left button and Ctrl (MK_LBUTTON | MK_CONTROL).
    session.WindowProcedure(session.Window()->Handle(), WM_LBUTTONDOWN, 0x1, 0);
    session.WindowProcedure(session.Window()->Handle(), WM_LBUTTONDBLCLK, 0x1, 0);
    session.WindowProcedure(session.Window()->Handle(), WM_MOUSEMOVE, 0x9, (40 << 16) | 25);
    EXPECT_EQ(Fired(DISPID_CLICK).size(), 1u);
    EXPECT_EQ(Fired(DISPID_DBLCLICK).size(), 1u);
    auto moves = Fired(DISPID_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    ASSERT_EQ(moves[0].args.size(), 4u);
    EXPECT_EQ(moves[0].args[0].Type(), VT_I2);
    EXPECT_EQ(moves[0].args[0].I2(), 9);
    EXPECT_EQ(moves[0].args[1].I2(), 9);
    EXPECT_EQ(moves[0].args[2].I4(), 25);
    EXPECT_EQ(moves[0].args[3].I4(), 40);
}

TEST_F(Behaviour, ResizeControlAsksTheContainerAndTheSessionWindowFillsTheControl) {
    Activate();
    Call(92, {Variant(int16_t{300}), Variant(int16_t{200})});
    ASSERT_EQ(site->ResizeRequests().size(), 1u);
    EXPECT_EQ(site->ResizeRequests()[0].width, 300);
    EXPECT_EQ(site->ResizeRequests()[0].height, 200);
    EXPECT_EQ(Object().ControlWidget()->size(), QSize(300, 200));
    ASSERT_TRUE(Object().Session().Window());
    EXPECT_EQ(Object().Session().Window()->geometry(), QRect(0, 0, 300, 200));
    // A container that resizes the control by itself gets the same fill.
    ASSERT_EQ(site->Resize(160, 120), S_OK);
    EXPECT_EQ(Object().Session().Window()->geometry(), QRect(0, 0, 160, 120));
    EXPECT_TRUE(Object().Session().captureDefaultDest);
}

TEST_F(Behaviour, ForwardingSettersReachTheSessionAtOnceAndStartLeavesTheirsAlone) {
    Put(54, Variant(int16_t{2}));
    Put(69, Variant(true));
    Put(70, Variant(int16_t{4}));
    Put(50, Variant("/tmp/custom.prx"));
    Put(68, Variant(true));
    Put(66, Variant(int16_t{9191}));
    Put(67, Variant(int16_t{7}));
    Put(65, Variant("http://127.0.0.1:9191/"));
    Put(40, Variant(true));
    Put(57, Variant(false));
    Put(62, Variant(false));
    Call(101, {Variant(int16_t{352}), Variant(int16_t{288})});
    CCaptureSession& session = Object().Session();
    EXPECT_EQ(session.audioInputPin, 2);
    EXPECT_TRUE(session.useUserFormat);
    EXPECT_EQ(session.outputType, 4);
    EXPECT_EQ(session.wmvCustomFileName, "/tmp/custom.prx");
    EXPECT_TRUE(session.broadcast);
    EXPECT_EQ(session.broadcastPort, 9191);
    EXPECT_EQ(session.maxClients, 7);
    EXPECT_EQ(session.publishingUrl, "http://127.0.0.1:9191/");
    EXPECT_TRUE(session.tvMute);
    EXPECT_FALSE(session.showText);
    EXPECT_FALSE(session.showDate);
    EXPECT_EQ(session.userWidth, 352);
    EXPECT_EQ(session.userHeight, 288);
    // SetUserDefineVideoFormat is neither persisted nor a modification.
    EXPECT_TRUE(site->IsDirty());
    PropertyBag bag;
    ASSERT_EQ(site->Save(&bag), S_OK);
    Call(101, {Variant(int16_t{100}), Variant(int16_t{100})});
    EXPECT_FALSE(site->IsDirty());
    // What only the setters hand over survives a Start that changes its own fields.
    session.wmvCustomFileName = "changed elsewhere";
    session.broadcastPort = 1;
    EXPECT_EQ(Start(), -1);
    EXPECT_EQ(session.wmvCustomFileName, "changed elsewhere");
    EXPECT_EQ(session.broadcastPort, 1);
    EXPECT_EQ(session.outputType, 4);
}

TEST_F(Behaviour, StartAndDestructionAskTheBroadcastHelperToQuit) {
    std::vector<std::pair<WPARAM, LPARAM>> commands;
    std::unique_ptr<MessageWindow> helper = MessageWindow::Create(
        "Relayoclass", "", [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_COMMAND) commands.emplace_back(wParam, lParam);
            return DefWindowProc(window, message, wParam, lParam);
        });
    ASSERT_TRUE(helper);
    Put(6, Variant(true));
    EXPECT_EQ(Start(), -2);  // step 1 runs before the checks
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], (std::pair<WPARAM, LPARAM>{1, 0}));
    site->Destroy();
    control.Attach(nullptr);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1], (std::pair<WPARAM, LPARAM>{1, 0}));
}

TEST_F(Behaviour, ThePropertiesVerbShowsTheControlsOwnPageInTheFrame) {
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_LumicorPropPage, MakeCom<ClassFactory<CLumicorPropPage>>()->GetUnknown(),
                                    CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    std::vector<std::string> tabs;
    PropertyFrameShow previous = SetPropertyFrameShow([&](QDialog& dialog) {
        if (auto* pages = dialog.findChild<QTabWidget*>("propertyPages"))
            for (int i = 0; i < pages->count(); ++i) tabs.push_back(pages->tabText(i).toStdString());
        return int(QDialog::Rejected);
    });
    Activate();
    EXPECT_EQ(site->ShowProperties(), S_OK);
    EXPECT_EQ(tabs.size(), 1u);
    SetPropertyFrameShow(previous);
    CoRevokeClassObject(cookie);
}
