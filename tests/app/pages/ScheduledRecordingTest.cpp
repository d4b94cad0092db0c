// A recording the schedule starts, end to end on the real clock with the real capture control:
// the broadcast page arms the schedule and raises the start request, and a stand-in for the
// Video Capture page's one-second request timer records, counts the limit, stops and then runs
// the after-action, as that page does. The shutdown recorder reads the file with ffprobe at the
// moment the command runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <fstream>

#include "app/outside/CLumicor.h"
#include "app/pages/BroadcastPage.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/LimitCaptureTime.h"
#include "app/shell/SettingsFile.h"
#include "platform/os/FileDialogRecorder.h"
#include "tests/app/pages/ProcessControlSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using namespace page_test;
using testing_support::TestEnvironment;

namespace {

// The Video Capture page's handling of the requests, reduced to a recording of the virtual
// camera to AVI: start on StartCaptureRequest, count CaptureLimitSeconds once a second, stop,
// report CaptureEnded, and only then the after-action.
class StandInCapturePoller {
public:
    StandInCapturePoller() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(1000);
    }
    Clock::time_point StartedAt() const { return startedAt_; }
    bool Started() const { return started_; }

private:
    void Tick() {
        DeviceCaptureState& state = DeviceState();
        CLumicor& control = Lumicor();
        if (state.StartCaptureRequest) {
            state.StartCaptureRequest = false;
            control.SetCaptureFileName(state.RequestedOutputPath);
            control.SetOutputType(0);
            control.SetCaptureAudio(FALSE);
            control.SetCaptureMode(TRUE);
            if (control.Start() != 0) {
                state.CaptureEnded = true;
                return;
            }
            state.IsDeviceCapturing = true;
            started_ = true;
            startedAt_ = Clock::now();
            counted_ = 0;
            return;
        }
        if (!state.IsDeviceCapturing) return;
        std::optional<int64_t> limit = ParseCaptureLimit(state.CaptureLimitSeconds);
        if (!limit || ++counted_ < *limit) return;
        control.SetShowPreview(TRUE);
        control.SetCaptureMode(FALSE);
        control.Stop();
        state.IsDeviceCapturing = false;
        state.CaptureEnded = true;
        RunAfterCaptureAction();
    }

    QTimer timer_;
    int64_t counted_ = 0;
    bool started_ = false;
    Clock::time_point startedAt_;
};

}  // namespace

TEST(ScheduledRecording, ThreeSecondsAheadWithAFiveSecondLimitRecordsFiveSecondsThenShutsDownOnce) {
    DeviceState() = {};
    Settings() = {};
    QWidget container;
    ASSERT_NO_FATAL_FAILURE(CreateProcessControl(container));
    const short camera = static_cast<short>(Lumicor().Devices().Find("Orvanta Virtual Camera"));
    ASSERT_GE(camera, 0);
    Lumicor().SetDevice(camera);
    Lumicor().RefreshDevice();

    // The shutdown command, at the moment it runs: how long the file is by then, and the command.
    const std::filesystem::path dir = TestEnvironment::Current().Dir();
    const std::filesystem::path file = dir / "scheduled.avi", log = dir / "shutdown-seen.log";
    {
        std::ofstream script(dir / "recorder.sh");
        script << "d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 '" << file.string() << "')\n"
               << "echo \"$d $*\" >> '" << log.string() << "'\n";
    }
    setenv("ORVANTA_SHUTDOWN_COMMAND", ("/bin/sh " + (dir / "recorder.sh").string()).c_str(), 1);

    FileDialogRecorder files;
    files.Answer(file.string());
    auto page = std::make_unique<BroadcastPage>(testing_support::DistDir().string());
    StandInCapturePoller poller;
    DeviceState().CaptureLimitSeconds = "5";
    DeviceState().ShutdownAfterCapture = 1;
    const WallClockTime at = std::chrono::time_point_cast<std::chrono::seconds>(WallClockNow()) + 3s;
    const SYSTEMTIME t = LocalTimeOf(at);
    const int values[6] = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    for (int i = 0; i < 6; ++i) page->ScheduleEdit(i)->setText(QString::number(values[i]));
    page->OnScheduleStart();
    const Clock::time_point armed = Clock::now();
    ASSERT_EQ(page->ScheduleButton()->text().toStdString(), "Stop");
    EXPECT_FALSE(DeviceState().StartCaptureRequest);

    ASSERT_TRUE(Spin([&] { return std::filesystem::exists(log) && page->ScheduleButton()->text() == "Start"; }, 30s))
        << "started " << poller.Started();
    const double startedAfter = std::chrono::duration<double>(poller.StartedAt() - armed).count();
    EXPECT_GE(startedAfter, 1.9);
    EXPECT_LE(startedAfter, 4.5);

    const std::vector<std::string> probed =
        testing_support::Lines(testing_support::Ffprobe(file, "-show_entries format=duration -of csv=p=0"));
    ASSERT_EQ(probed.size(), 1u);
    const double duration = std::atof(probed[0].c_str());
    EXPECT_GE(duration, 4.5);
    EXPECT_LE(duration, 5.5);
    // Let a second shutdown show itself if there were one.
    Spin([] { return false; }, 2500ms);
    const std::vector<std::string> seen = testing_support::Lines(testing_support::ReadFile(log));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], probed[0] + " poweroff --check-inhibitors=no") << "the file was whole when the shutdown ran";
    EXPECT_EQ(page->Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_TRUE(page->LimitTimeButton()->isEnabled());

    page.reset();
    DestroyProcessControl();
    DeviceState() = {};
}
