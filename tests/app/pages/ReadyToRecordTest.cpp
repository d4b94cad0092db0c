// The recording countdown and the capture limit: the edits' bounds, the carry into minutes and
// hours, the countdown run on a test clock to its end, cancelling it, and the limit dialog's OK.
#include "app/pages/ReadyToRecord.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/pages/CountdownTime.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/LimitCaptureTime.h"
#include "platform/os/FileDialogRecorder.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/WallClockOverride.h"
#include "tests/support/TestEnvironment.h"

using namespace std::chrono_literals;

namespace {

// What a person typing `text` into the focused edit sends.
void Type(QWidget* widget, const std::string& text) {
    for (char c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(widget, &press);
    }
}

void Key(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

ReadyToRecordRequest AviRequest(bool hide = false) {
    return {"AVI files|*.avi;*.AVI||", "Save the recording as:", "avi", hide};
}

}  // namespace

TEST(CountdownTime, CarriesSecondsAndMinutesAndBoundsTheHours) {
    EXPECT_EQ((CountdownTime{0, 1, 75}.Carried()), (CountdownTime{0, 2, 15}));
    EXPECT_EQ((CountdownTime{0, 1, 75}.Carried().TotalSeconds()), 135);
    EXPECT_EQ((CountdownTime{1, 59, 60}.Carried()), (CountdownTime{2, 0, 0}));
    EXPECT_EQ((CountdownTime{kMaxCountdownHours, 59, 120}.Carried().hours), kMaxCountdownHours);
    // The largest countdown there is still adds up in 64 bits.
    EXPECT_EQ((CountdownTime{kMaxCountdownHours, 59, 59}.TotalSeconds()), kMaxCountdownHours * 3600 + 3599);
    EXPECT_EQ(CountdownTime::FromTotal(3725), (CountdownTime{1, 2, 5}));
    EXPECT_EQ(CountdownTime::FromTotal(-4), (CountdownTime{0, 0, 0}));
}

TEST(CountdownTime, EditsKeepTheirBounds) {
    EXPECT_EQ(ClampMinutesOrSecondsText("75"), "59");
    EXPECT_EQ(ClampMinutesOrSecondsText("60"), "59");
    EXPECT_EQ(ClampMinutesOrSecondsText("59"), "59");
    EXPECT_EQ(ClampMinutesOrSecondsText("-1"), "0");
    EXPECT_EQ(ClampMinutesOrSecondsText("x"), "0");
    EXPECT_EQ(ClampMinutesOrSecondsText("99999999999999999999999"), "59");
    EXPECT_EQ(ClampMinutesOrSecondsText(""), "") << "the person is still typing";
    EXPECT_EQ(ClampHoursText("-3"), "0");
    EXPECT_EQ(ClampHoursText("12"), "12");
    EXPECT_EQ(ClampHoursText("123456"), std::to_string(kMaxCountdownHours));
    EXPECT_EQ(ClampHoursText("-99999999999999999999999"), "0");
    EXPECT_EQ(CountdownStatus(9), "Start recording in 00:00:09");
    EXPECT_EQ(CountdownStatus(3725), "Start recording in 01:02:05");
    EXPECT_EQ(NextTickMs(60), 250);
    EXPECT_EQ(NextTickMs(61), 500);
}

TEST(ReadyToRecord, ExtensionIsAppendedReplacedOrKept) {
    EXPECT_EQ(ReadyToRecord::WithExtension("/v/clip", "avi"), "/v/clip.avi");
    EXPECT_EQ(ReadyToRecord::WithExtension("/v/clip.wmv", "avi"), "/v/clip.avi");
    EXPECT_EQ(ReadyToRecord::WithExtension("/v/clip.AVI", "avi"), "/v/clip.AVI");
    EXPECT_EQ(ReadyToRecord::WithExtension("/v.d/clip", "avi"), "/v.d/clip.avi") << "a dot in a folder";
    EXPECT_EQ(ReadyToRecord::WithExtension("/v/clip.", "avi"), "/v/clip.avi");
}

TEST(ReadyToRecord, OpensSmallWithTheCountdownOff) {
    QWidget main;
    main.show();
    ReadyToRecord ready(&main, AviRequest());
    EXPECT_FALSE(main.isVisible()) << "the main window is out of the way while choosing";
    EXPECT_EQ(ready.windowTitle().toStdString(), "Ready to record");
    EXPECT_EQ(Text(ready.HoursEdit()), "0");
    EXPECT_EQ(Text(ready.MinutesEdit()), "0");
    EXPECT_EQ(Text(ready.SecondsEdit()), "10");
    EXPECT_FALSE(ready.CountdownButton()->isEnabled());
    EXPECT_FALSE(ready.SecondsEdit()->isEnabled());
    EXPECT_TRUE(ready.StatusLine()->isHidden());
    ready.EnableCountdown()->setChecked(true);
    EXPECT_TRUE(ready.CountdownButton()->isEnabled());
    EXPECT_TRUE(ready.HoursEdit()->isEnabled());
    // Typing beyond the bounds.
    ready.MinutesEdit()->setText("");
    Type(ready.MinutesEdit(), "75");
    EXPECT_EQ(Text(ready.MinutesEdit()), "59");
    ready.HoursEdit()->setText("");
    Type(ready.HoursEdit(), "-");
    EXPECT_EQ(Text(ready.HoursEdit()), "0");
}

TEST(ReadyToRecord, RecordNowWantsAPathThenBringsTheMainWindowBack) {
    MessageBoxRecorder boxes;
    FileDialogRecorder files;
    QWidget main;
    main.show();
    ReadyToRecord ready(&main, AviRequest(/*hide=*/true));
    ready.OnRecordNow();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "Please specify an output filename first.");
    EXPECT_EQ(boxes.Calls()[0].caption, "Tips");
    EXPECT_NE(ready.result(), QDialog::Accepted);

    const std::string base = testing_support::TestEnvironment::Current().Dir().string();
    files.Answer(base + "/take.mpg");
    ready.OnBrowse();
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].kind, FileDialogKind::Save);
    EXPECT_EQ(files.Requests()[0].title, "Save the recording as:");
    EXPECT_EQ(files.Requests()[0].filter, "AVI files|*.avi;*.AVI||");
    EXPECT_EQ(ready.PathName(), base + "/take.avi");
    EXPECT_EQ(Text(ready.PathEdit()), base + "/take.avi");
    // Enter with the countdown off records now.
    Key(&ready, Qt::Key_Return);
    EXPECT_EQ(ready.result(), QDialog::Accepted);
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(main.isMinimized()) << "the recording runs with the window out of the way";
    EXPECT_EQ(boxes.Calls().size(), 1u);
}

TEST(ReadyToRecord, CountdownOfOneMinuteAndSeventyFiveSecondsRecordsAfter135Seconds) {
    WallClockOverride clock("2026-12-09 10:00:00");
    FileDialogRecorder files;
    QWidget main;
    main.show();
    ReadyToRecord ready(&main, AviRequest());
    const int small = ready.height();
    files.Answer(testing_support::TestEnvironment::Current().Dir().string() + "/take.avi");
    ready.OnBrowse();
    ready.EnableCountdown()->setChecked(true);
    ready.MinutesEdit()->setText("1");
    ready.SecondsEdit()->setText("75");  // as set, not typed: the start carries it
    Key(&ready, Qt::Key_Enter);          // the countdown is on: Enter counts down
    ASSERT_TRUE(ready.Counting());
    EXPECT_EQ(Text(ready.HoursEdit()), "0");
    EXPECT_EQ(Text(ready.MinutesEdit()), "2");
    EXPECT_EQ(Text(ready.SecondsEdit()), "15");
    EXPECT_EQ(ready.CountdownButton()->text().toStdString(), "Cancel Countdown");
    EXPECT_FALSE(ready.BrowseButton()->isEnabled());
    EXPECT_FALSE(ready.SecondsEdit()->isEnabled());
    EXPECT_FALSE(ready.StatusLine()->isHidden());
    EXPECT_EQ(ready.height(), small + ReadyToRecord::kStatusHeight);
    EXPECT_EQ(ready.StatusLine()->text().toStdString(), "Start recording in 00:02:15");

    clock.Advance(70s);
    ready.OnTick();
    EXPECT_EQ(ready.StatusLine()->text().toStdString(), "Start recording in 00:01:05");
    EXPECT_EQ(Text(ready.MinutesEdit()), "1");
    EXPECT_EQ(Text(ready.SecondsEdit()), "5");
    clock.Advance(64s + 900ms);
    ready.OnTick();  // 134.9 s: one whole second is left
    EXPECT_EQ(ready.StatusLine()->text().toStdString(), "Start recording in 00:00:01");
    EXPECT_NE(ready.result(), QDialog::Accepted);
    EXPECT_FALSE(main.isVisible());
    clock.Advance(100ms);
    ready.OnTick();
    EXPECT_EQ(ready.result(), QDialog::Accepted);
    EXPECT_FALSE(ready.Counting());
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.isMinimized());
}

TEST(ReadyToRecord, CancellingTheCountdownGivesTheEnteredValuesBackAndEscapeThenCloses) {
    WallClockOverride clock("2026-12-09 10:00:00");
    FileDialogRecorder files;
    ReadyToRecord ready(nullptr, AviRequest());
    ready.show();
    const int small = ready.height();
    files.Answer(testing_support::TestEnvironment::Current().Dir().string() + "/take.avi");
    ready.OnBrowse();
    ready.EnableCountdown()->setChecked(true);
    ready.SecondsEdit()->setText("90");
    ready.OnCountdown();
    ASSERT_TRUE(ready.Counting());
    clock.Advance(30s);
    ready.OnTick();
    EXPECT_EQ(Text(ready.SecondsEdit()), "0");
    Key(&ready, Qt::Key_Escape);  // while counting: cancels the countdown only
    EXPECT_FALSE(ready.Counting());
    EXPECT_TRUE(ready.isVisible()) << "the dialog stays";
    EXPECT_EQ(Text(ready.MinutesEdit()), "0");
    EXPECT_EQ(Text(ready.SecondsEdit()), "90");
    EXPECT_EQ(ready.CountdownButton()->text().toStdString(), "Countdown Recording");
    EXPECT_TRUE(ready.BrowseButton()->isEnabled());
    EXPECT_TRUE(ready.SecondsEdit()->isEnabled());
    EXPECT_TRUE(ready.StatusLine()->isHidden());
    EXPECT_EQ(ready.height(), small);
    // A tick left over from the countdown does nothing now.
    clock.Advance(120s);
    ready.OnTick();
    EXPECT_NE(ready.result(), QDialog::Accepted);
    Key(&ready, Qt::Key_Escape);
    EXPECT_FALSE(ready.isVisible());
    EXPECT_EQ(ready.result(), QDialog::Rejected);
}

TEST(ReadyToRecord, CountdownWantsAPathToo) {
    MessageBoxRecorder boxes;
    ReadyToRecord ready(nullptr, AviRequest());
    ready.EnableCountdown()->setChecked(true);
    ready.OnCountdown();
    EXPECT_FALSE(ready.Counting());
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].caption, "Tips");
}

class LimitCaptureTimeTest : public testing::Test {
protected:
    void SetUp() override { DeviceState() = {}; }
    void TearDown() override { DeviceState() = {}; }
};

TEST_F(LimitCaptureTimeTest, ShowsTheLimitInForceAndStoresAPositiveNumber) {
    DeviceState().CaptureLimitSeconds = "30";
    DeviceState().ShutdownAfterCapture = 1;
    LimitCaptureTime dialog;
    EXPECT_TRUE(dialog.SpecifyBox()->isChecked());
    EXPECT_EQ(dialog.SecondsEdit()->text().toStdString(), "30");
    EXPECT_EQ(dialog.WhenOver()->currentText().toStdString(), "Shut Down Computer");
    EXPECT_TRUE(dialog.SecondsEdit()->isEnabled());
    dialog.SecondsEdit()->setText(" 9223372036854775807 ");
    dialog.WhenOver()->setCurrentIndex(0);
    dialog.OnOk();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(DeviceState().CaptureLimitSeconds, "9223372036854775807");
    EXPECT_EQ(DeviceState().ShutdownAfterCapture, 0);
}

TEST_F(LimitCaptureTimeTest, RefusesWhatIsNoPositiveNumberAndClearsTheLimit) {
    MessageBoxRecorder boxes;
    for (const char* text : {"0", "-5", "12x", "9223372036854775808", "1.5"}) {
        DeviceState().CaptureLimitSeconds = "30";
        LimitCaptureTime dialog;
        dialog.SecondsEdit()->setText(text);
        dialog.OnOk();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << text;
        EXPECT_EQ(DeviceState().CaptureLimitSeconds, "") << text;
    }
    ASSERT_EQ(boxes.Calls().size(), 5u);
    EXPECT_EQ(boxes.Calls()[0].text, "Please specify a valid number.");
}

TEST_F(LimitCaptureTimeTest, UntickedOrEmptyClearsTheLimitAndKeepsTheAfterAction) {
    LimitCaptureTime dialog;
    EXPECT_FALSE(dialog.SpecifyBox()->isChecked());
    EXPECT_FALSE(dialog.SecondsEdit()->isEnabled());
    EXPECT_FALSE(dialog.WhenOver()->isEnabled());
    dialog.SpecifyBox()->setChecked(true);
    EXPECT_TRUE(dialog.WhenOver()->isEnabled());
    dialog.SecondsEdit()->setText("  ");
    dialog.WhenOver()->setCurrentIndex(1);
    dialog.OnOk();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(DeviceState().CaptureLimitSeconds, "");
    EXPECT_EQ(DeviceState().ShutdownAfterCapture, 1);
    EXPECT_EQ(ParseCaptureLimit("+45"), 45);
    EXPECT_EQ(ParseCaptureLimit(""), std::nullopt);
}
