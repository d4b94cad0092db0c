// A recording the schedule starts, end to end on the real clock with the real pages and control:
// the broadcast page arms the schedule and raises the start request; the Video Capture page's
// one-second timer records, counts the limit, stops and then runs the after-action. The shutdown
// recorder reads the file with ffprobe at the moment the command runs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <fstream>

#include "app/pages/BroadcastPage.h"
#include "app/pages/CaptureSchedule.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/support/MediaProbe.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using namespace page_testing;

namespace {

class ScheduledRecording : public PageFixture {};

// Runs the events until `done` or the limit; true when done.
bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) RunEvents(20);
    return done();
}

}  // namespace

TEST_F(ScheduledRecording, ThreeSecondsAheadWithAFiveSecondLimitRecordsFiveSecondsThenShutsDownOnce) {
    DeviceState() = {};
    VideoCapturePage& capture = Page();
    ASSERT_EQ(capture.DeviceList()->currentText().toStdString(), "Orvanta Virtual Camera");
    capture.Check("Capture Audio")->setChecked(false);
    // The AVI dialog's choice as it stands: no compressors, the page's own frame rate.

    // The shutdown command, at the moment it runs: how long the file is by then, and the command.
    const fs::path file = dir_ / "scheduled.avi", log = dir_ / "shutdown-seen.log";
    {
        std::ofstream script(dir_ / "recorder.sh");
        script << "d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 '" << file.string() << "')\n"
               << "echo \"$d $*\" >> '" << log.string() << "'\n";
    }
    setenv("ORVANTA_SHUTDOWN_COMMAND", ("/bin/sh " + (dir_ / "recorder.sh").string()).c_str(), 1);

    files_.Answer(file.string());
    BroadcastPage broadcast(program_.string());
    DeviceState().CaptureLimitSeconds = "5";
    DeviceState().ShutdownAfterCapture = 1;
    const WallClockTime at = std::chrono::time_point_cast<std::chrono::seconds>(WallClockNow()) + 3s;
    const SYSTEMTIME t = LocalTimeOf(at);
    const int values[6] = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    for (int i = 0; i < 6; ++i) broadcast.ScheduleEdit(i)->setText(QString::number(values[i]));
    broadcast.OnScheduleStart();
    const Clock::time_point armed = Clock::now();
    ASSERT_EQ(broadcast.ScheduleButton()->text().toStdString(), "Stop");
    EXPECT_FALSE(DeviceState().StartCaptureRequest);

    // The start: the capture page has taken the request and is recording.
    ASSERT_TRUE(RunEventsUntil([] { return DeviceState().IsDeviceCapturing; }, 10s))
        << "ended " << DeviceState().CaptureEnded << ", boxes " << boxes_.Calls().size();
    // Not before the time set (2 to 3 s ahead of arming, whole seconds), and within the two
    // pages' one-second ticks after it plus the start itself: building and starting the graph
    // took up to 2 s with the sanitizers on a busy machine.
    const double startedAfter = std::chrono::duration<double>(Clock::now() - armed).count();
    EXPECT_GE(startedAfter, 1.9);
    EXPECT_LE(startedAfter, 7.0);
    EXPECT_FALSE(capture.Button("Capture")->isEnabled());

    ASSERT_TRUE(RunEventsUntil(
        [&] { return fs::exists(log) && broadcast.ScheduleButton()->text() == "Start"; }, 20s));
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    EXPECT_TRUE(capture.Button("Capture")->isEnabled());

    const std::vector<std::string> probed =
        testing_support::Lines(testing_support::Ffprobe(file, "-show_entries format=duration -of csv=p=0"));
    ASSERT_EQ(probed.size(), 1u);
    const double duration = std::atof(probed[0].c_str());
    EXPECT_GE(duration, 4.5);
    EXPECT_LE(duration, 5.5);
    // Let a second shutdown show itself if there were one.
    RunEvents(2500);
    const std::vector<std::string> seen = testing_support::Lines(testing_support::ReadFile(log));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], probed[0] + " poweroff --check-inhibitors=no") << "the file was whole when the shutdown ran";
    EXPECT_EQ(broadcast.Schedule().GetState(), CaptureSchedule::State::Disarmed);
    EXPECT_TRUE(broadcast.LimitTimeButton()->isEnabled());
    // A requested start shows neither the notice nor the options: nothing asked the person.
    EXPECT_TRUE(boxes_.Calls().empty());
    DeviceState() = {};
}
