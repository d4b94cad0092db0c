// The broadcast page offscreen: its lists and settings lines, the checks before a broadcast, a
// device broadcast through the real capture control that ffmpeg plays on loopback, and the
// schedule with its limit and after-action.
#include "app/pages/BroadcastPage.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <future>

#include "app/network/BroadcasterServerDialog.h"
#include "app/options/BalloonTip.h"
#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/shell/SettingsFile.h"
#include "platform/os/FileDialogRecorder.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ModalDialogAnswerer.h"
#include "platform/os/WallClockOverride.h"
#include "tests/app/pages/ProcessControlSupport.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/Loopback.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"

using namespace std::chrono_literals;
using namespace page_test;
using testing_support::TestEnvironment;

namespace {

bool Listening(uint16_t port) {
    int fd = mmsh_test::Connect(port);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Whether an interface other than the loopback is up with an IPv4 address.
bool HasOtherInterface() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (const ifaddrs* entry = list; entry && !found; entry = entry->ifa_next)
        found = entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && (entry->ifa_flags & IFF_UP) &&
                !(entry->ifa_flags & IFF_LOOPBACK);
    freeifaddrs(list);
    return found;
}

std::vector<std::string> ShutdownCommands() {
    return testing_support::Lines(testing_support::ReadFile(TestEnvironment::Current().ShutdownLog()));
}

class BroadcastPageTest : public testing::Test {
protected:
    void SetUp() override {
        DeviceState() = {};
        Settings() = {};
    }
    void TearDown() override {
        page_.reset();
        DestroyProcessControl();
        DeviceState() = {};
        Settings() = {};
    }
    std::string Folder() const { return testing_support::DistDir().string(); }
    BroadcastPage& Page() {
        if (!page_) page_ = std::make_unique<BroadcastPage>(Folder());
        return *page_;
    }
    // The schedule's six edits set to `when`.
    void ScheduleAt(WallClockTime when) {
        const SYSTEMTIME t = LocalTimeOf(when);
        const int values[6] = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
        for (int i = 0; i < 6; ++i) Page().ScheduleEdit(i)->setText(QString::number(values[i]));
    }

    QWidget container_;
    std::unique_ptr<BroadcastPage> page_;
};

}  // namespace

TEST_F(BroadcastPageTest, QualityListDefaultsAndTheSettingsLinesItReads) {
    BroadcastPage& page = Page();
    ASSERT_EQ(page.QualityList()->count(), BroadcastPage::kQualityCount);
    EXPECT_EQ(page.QualityList()->itemText(0).toStdString(), "176x144 Window Media Video/Audio 9 (Low Quality)");
    EXPECT_EQ(page.QualityList()->itemText(17).toStdString(), "1280x1024 Window Media Video/Audio 9 (High Quality)");
    EXPECT_EQ(page.QualityList()->itemText(18).toStdString(), "Custom WMV Profile (Custom Quality)");
    EXPECT_EQ(page.PortEdit()->text().toStdString(), "8080");
    EXPECT_EQ(page.ClientsEdit()->text().toStdString(), "3");
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");
    EXPECT_EQ(page.WhenTimeIsUp()->currentText().toStdString(), "Start video capture");
    EXPECT_FALSE(page.StopButton()->isEnabled());
    ASSERT_EQ(page.BroadcastMenu()->actions().size(), 2);
    EXPECT_EQ(page.BroadcastMenu()->actions()[1]->text().toStdString(), "Broadcast from video/audio files (DJ)");
    page_.reset();

    struct Line {
        const char* value;
        int index;
        const char* file;
    };
    for (const Line& line : {Line{"5", 4, "/WMVFiles/320x240-m.prx"}, Line{"3", 2, "/WMVFiles/176x144.prx"},
                             Line{"18", 17, "/WMVFiles/1280x1024.prx"}, Line{"19", 4, "/WMVFiles/320x240-m.prx"},
                             Line{"20", 4, nullptr}, Line{"0", 4, nullptr}, Line{"x", 4, nullptr}}) {
        Settings().wmvQuality = line.value;
        Settings().broadcastPort = "9000";
        BroadcastPage restored(Folder());
        EXPECT_EQ(restored.QualityList()->currentIndex(), line.index) << line.value;
        EXPECT_EQ(restored.ProfileFile(), line.file ? Folder() + line.file : "") << line.value;
        EXPECT_EQ(restored.PortEdit()->text().toStdString(), "9000");
        EXPECT_TRUE(std::filesystem::exists(Folder() + (line.file ? line.file : "/WMVFiles"))) << line.value;
    }
}

TEST_F(BroadcastPageTest, CustomEntryBrowsesAndFallsBackToTheNormalProfile) {
    FileDialogRecorder files;
    BroadcastPage& page = Page();
    files.Cancel();
    page.OnQualityChanged(BroadcastPage::kCustomQuality);
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].title, "Please select a custom WMV profile:");
    EXPECT_EQ(files.Requests()[0].filter, "WMV Profile(*.prx)|*.prx||");
    EXPECT_EQ(files.Requests()[0].initialFolder, Folder() + "/WMVFiles");
    EXPECT_EQ(page.CustomProfileEdit()->text().toStdString(), "");
    EXPECT_EQ(page.ProfileFile(), Folder() + "/WMVFiles/320x240-m.prx");
    EXPECT_EQ(Settings().wmvQuality, "19");

    const std::string custom = Folder() + "/WMVFiles/640x480-l.prx";
    files.Answer(custom);
    page.OnBrowseProfile();
    EXPECT_EQ(page.CustomProfileEdit()->text().toStdString(), custom);
    EXPECT_EQ(page.ProfileFile(), custom);

    page.OnQualityChanged(0);
    EXPECT_EQ(page.ProfileFile(), Folder() + "/WMVFiles/176x144-l.prx");
    EXPECT_EQ(Settings().wmvQuality, "1");
    EXPECT_EQ(files.Requests().size(), 2u);

    // The port and clients edits take digits only and go to their settings lines.
    page.PortEdit()->clear();
    page.PortEdit()->insert("12a3");
    EXPECT_EQ(page.PortEdit()->text().toStdString(), "");
    page.PortEdit()->setText("9999");
    page.ClientsEdit()->setText("7");
    EXPECT_EQ(Settings().broadcastPort, "9999");
    EXPECT_EQ(Settings().maxClients, "7");
}

TEST_F(BroadcastPageTest, ChecksBeforeABroadcastAndAFailedStartThatSaysSo) {
    ASSERT_NO_FATAL_FAILURE(RegisterModule(testing_support::DistDir() / "system" / "Airlume.so"));
    MessageBoxRecorder boxes;
    ModalDialogAnswerer dialogs;
    std::vector<std::string> opened;
    dialogs.Answer("BroadcasterServerDialog", [&](QDialog& dialog) {
        auto& server = static_cast<BroadcasterServerDialog&>(dialog);
        opened.push_back(server.AddressEdit()->text().toStdString() + (DeviceState().IsBroadcasting ? " on" : " off"));
        return static_cast<int>(QDialog::Rejected);
    });
    BroadcastPage& page = Page();

    DeviceState().IsDeviceCapturing = true;
    EXPECT_FALSE(page.StartDeviceBroadcast());
    page.StartMediaFileBroadcast();
    DeviceState().IsDeviceCapturing = false;
    page.PortEdit()->setText("10000");
    EXPECT_FALSE(page.StartDeviceBroadcast());
    page.StartMediaFileBroadcast();
    page.PortEdit()->setText("9999");
    page.ClientsEdit()->setText("0");
    page.StartMediaFileBroadcast();
    ASSERT_EQ(boxes.Calls().size(), 5u);
    const char* capturing = "Video capture is working now, please stop it before you broadcast the video.";
    const char* port = "Please make sure you have input a port number between 0 - 9999!";
    EXPECT_EQ(boxes.Calls()[0].text, capturing);
    EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONERROR);
    EXPECT_EQ(boxes.Calls()[1].text, capturing);
    EXPECT_EQ(boxes.Calls()[2].text, port);
    EXPECT_EQ(boxes.Calls()[3].text, port);
    EXPECT_EQ(boxes.Calls()[4].text, "Maximum Number of Clients must be bigger than zero.");
    EXPECT_TRUE(opened.empty());

    // No capture control: clients "0" passes the device checks, the start fails and says so.
    EXPECT_FALSE(page.StartDeviceBroadcast());
    ASSERT_EQ(boxes.Calls().size(), 6u);
    EXPECT_THAT(boxes.Calls()[5].text, testing::HasSubstr("could not be started"));
    EXPECT_FALSE(DeviceState().IsBroadcasting);
    EXPECT_TRUE(page.BroadcastButton()->isEnabled());
    EXPECT_FALSE(page.StopButton()->isEnabled());

    // Ports 0 and 9999 open the media-file broadcaster, flagged as broadcasting while it is open.
    page.ClientsEdit()->setText("2");
    for (const char* accepted : {"0", "9999"}) {
        page.PortEdit()->setText(accepted);
        page.StartMediaFileBroadcast();
    }
    EXPECT_EQ(boxes.Calls().size(), 6u);
    ASSERT_EQ(opened.size(), 2u);
    const std::string address = page.BroadcastAddress();
    EXPECT_EQ(opened[1], address + " on");
    EXPECT_FALSE(DeviceState().IsBroadcasting);
    EXPECT_TRUE(page.BroadcastButton()->isEnabled());
    EXPECT_THAT(address, testing::EndsWith(":9999"));
    ASSERT_THAT(address, testing::StartsWith("mms://"));
    if (HasOtherInterface()) {
        EXPECT_THAT(address, testing::Not(testing::StartsWith("mms://127."))) << address;
    }

    // How? names the same address and port.
    page.OnHow();
    ASSERT_EQ(BalloonTip::OpenCount(), 1);
}

TEST_F(BroadcastPageTest, DeviceBroadcastIsPlayedOnLoopbackAtTheQualitysSizeAndStopClosesThePort) {
    ASSERT_NO_FATAL_FAILURE(CreateProcessControl(container_));
    const uint16_t port = testing_support::FreeLoopbackPortUpTo(9999);
    ASSERT_NE(port, 0);
    BroadcastPage& page = Page();
    page.PortEdit()->setText(QString::number(port));
    page.ClientsEdit()->setText("2");
    page.OnQualityChanged(1);  // 176x144 Normal Quality
    MessageBoxRecorder boxes;
    ASSERT_TRUE(page.StartDeviceBroadcast());
    EXPECT_TRUE(boxes.Calls().empty()) << boxes.Calls()[0].text;
    EXPECT_TRUE(DeviceState().IsBroadcasting);
    EXPECT_TRUE(DeviceState().OverlayChanged);
    EXPECT_FALSE(page.BroadcastButton()->isEnabled());
    EXPECT_FALSE(page.QualityList()->isEnabled());
    EXPECT_TRUE(page.StopButton()->isEnabled());
    Spin([&] { return Listening(port); }, 15s);
    ASSERT_TRUE(Listening(port));

    const std::filesystem::path frames = TestEnvironment::Current().Dir() / "frames.rgb";
    const std::string command = "ffmpeg -nostdin -v error -i mmsh://127.0.0.1:" + std::to_string(port) +
                                "/ -frames:v 5 -pix_fmt rgb24 -f rawvideo -y '" + frames.string() + "'";
    auto played = std::async(std::launch::async, [command] { return mmsh_test::Run(command, 30); });
    Spin([&] { return played.wait_for(0s) == std::future_status::ready; }, 35s);
    const mmsh_test::CommandResult result = played.get();
    EXPECT_EQ(result.status, 0) << result.output;
    ASSERT_TRUE(std::filesystem::exists(frames));
    EXPECT_EQ(std::filesystem::file_size(frames), 5u * 176 * 144 * 3);

    DeviceState().OverlayChanged = false;
    page.OnStop();
    EXPECT_FALSE(DeviceState().IsBroadcasting);
    EXPECT_TRUE(DeviceState().OverlayChanged);
    EXPECT_TRUE(page.BroadcastButton()->isEnabled());
    EXPECT_FALSE(page.StopButton()->isEnabled());
    Spin([&] { return !Listening(port); }, 10s);
    EXPECT_FALSE(Listening(port));
}

TEST_F(BroadcastPageTest, ScheduledBroadcastStopsAtItsLimitAndOnlyThenShutsDownOnce) {
    ASSERT_NO_FATAL_FAILURE(CreateProcessControl(container_));
    const uint16_t port = testing_support::FreeLoopbackPortUpTo(9999);
    ASSERT_NE(port, 0);
    WallClockOverride clock("2026-12-09 21:59:58");
    BroadcastPage& page = Page();
    page.PortEdit()->setText(QString::number(port));
    DeviceState().CaptureLimitSeconds = "5";
    DeviceState().ShutdownAfterCapture = 1;
    ScheduleAt(clock.Now() + 3s);  // 22:00:01, across the hour
    page.WhenTimeIsUp()->setCurrentIndex(1);
    page.OnScheduleStart();
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Stop");
    EXPECT_FALSE(page.LimitTimeButton()->isEnabled());
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Armed);
    for (int second = 1; second <= 2; ++second) {
        clock.Advance(1s);
        page.OnTimer();
        EXPECT_FALSE(DeviceState().IsBroadcasting) << second;
    }
    clock.Advance(1s);
    page.OnTimer();
    ASSERT_TRUE(DeviceState().IsBroadcasting);
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Running);
    Spin([&] { return Listening(port); }, 15s);
    EXPECT_TRUE(Listening(port));
    for (int second = 1; second <= 4; ++second) {
        clock.Advance(1s);
        page.OnTimer();
        EXPECT_TRUE(DeviceState().IsBroadcasting) << second;
    }
    EXPECT_TRUE(ShutdownCommands().empty());
    clock.Advance(1s);
    page.OnTimer();
    EXPECT_FALSE(DeviceState().IsBroadcasting);
    EXPECT_EQ(ShutdownCommands(), std::vector<std::string>{"poweroff --check-inhibitors=no"});
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");
    EXPECT_TRUE(page.LimitTimeButton()->isEnabled());
    for (int second = 1; second <= 3; ++second) {
        clock.Advance(1s);
        page.OnTimer();
    }
    EXPECT_EQ(ShutdownCommands().size(), 1u);
}

TEST_F(BroadcastPageTest, ArmingRefusesInvalidFieldsStartsAPastTimeAtOnceAndDisarms) {
    WallClockOverride clock("2026-12-09 10:00:00");
    MessageBoxRecorder boxes;
    FileDialogRecorder files;
    BroadcastPage& page = Page();
    EXPECT_EQ(page.ScheduleEdit(0)->text().toStdString(), "2026") << "filled with the time of opening";
    EXPECT_EQ(page.ScheduleEdit(3)->text().toStdString(), "10");
    page.ScheduleEdit(1)->setText("2");
    page.ScheduleEdit(2)->setText("30");
    page.OnScheduleStart();
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONERROR);
    EXPECT_TRUE(files.Requests().empty());

    // A scheduled broadcast while another broadcast runs (the media-file broadcaster's dialog is
    // open) is refused and disarms.
    DeviceState().IsBroadcasting = true;
    ScheduleAt(clock.Now());
    page.WhenTimeIsUp()->setCurrentIndex(1);
    page.OnScheduleStart();
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text, "Video is broadcasting now, please stop it first.");
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");
    DeviceState().IsBroadcasting = false;
    page.WhenTimeIsUp()->setCurrentIndex(0);

    // A capture wants its file; cancelling that leaves the schedule disarmed.
    ScheduleAt(clock.Now() - 1h);
    files.Cancel();
    page.OnScheduleStart();
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");

    const std::string output = TestEnvironment::Current().Dir().string() + "/scheduled.wmv";
    files.Answer(output);
    page.OnScheduleStart();
    EXPECT_EQ(DeviceState().RequestedOutputPath, output);
    EXPECT_TRUE(DeviceState().StartCaptureRequest) << "an hour late: at once";
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Running);
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Stop");

    // Stop while the recording it asked for runs asks for it to stop.
    page.OnScheduleStart();
    EXPECT_TRUE(DeviceState().StopCaptureRequest);
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");
    EXPECT_TRUE(page.LimitTimeButton()->isEnabled());

    // Stop while only armed leaves a recording started by hand alone.
    DeviceState().StopCaptureRequest = false;
    DeviceState().StartCaptureRequest = false;
    ScheduleAt(clock.Now() + 1h);
    files.Answer(output);
    page.OnScheduleStart();
    EXPECT_FALSE(DeviceState().StartCaptureRequest);
    page.OnScheduleStart();
    EXPECT_FALSE(DeviceState().StopCaptureRequest);

    // The Video Capture page reporting the end disarms the schedule.
    files.Answer(output);
    page.OnScheduleStart();
    ASSERT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Armed);
    DeviceState().CaptureEnded = true;
    page.OnTimer();
    EXPECT_FALSE(DeviceState().CaptureEnded);
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");
}

TEST_F(BroadcastPageTest, TheTimerDoesNotRunAgainInsideAMessageItOpened) {
    WallClockOverride clock("2026-12-09 10:00:00");
    BroadcastPage& page = Page();
    page.PortEdit()->setText("10000");  // the scheduled broadcast's check fails with a message
    int boxes = 0;
    bool untouchedInside = false;
    MessageBoxHandler previous = SetMessageBoxHandler([&](const MessageBoxRequest&) {
        ++boxes;
        // While the box is up the one-second timer keeps firing: those ticks do nothing.
        DeviceState().CaptureEnded = true;
        for (int i = 0; i < 3; ++i) page.OnTimer();
        untouchedInside = DeviceState().CaptureEnded;
        return IDOK;
    });
    ScheduleAt(clock.Now());
    page.WhenTimeIsUp()->setCurrentIndex(1);
    page.OnScheduleStart();
    SetMessageBoxHandler(std::move(previous));
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(untouchedInside);
    EXPECT_EQ(page.Schedule().GetState(), CaptureSchedule::State::Disarmed) << "a failed start disarms";
    EXPECT_EQ(page.ScheduleButton()->text().toStdString(), "Start");
    page.OnTimer();
    EXPECT_FALSE(DeviceState().CaptureEnded) << "the next tick after the box";
}
