#pragma once
// The "Ready to record" dialog the Screen Recorder shows before each recording: the output file,
// chosen with Browse, and an optional countdown before the recording starts. While it is open the
// main window is hidden; on OK it comes back, minimised when the recording is to run with the
// window out of the way. UI thread only.
//
//     ReadyToRecord ready(mainWindow, {"AVI files|*.avi||", "Save the recording as:", "avi", hide});
//     if (ready.DoModal() == IDOK) Record(ready.PathName());
#include <QDialog>
#include <QPointer>
#include <string>

#include "app/pages/CountdownTime.h"
#include "platform/os/WallClock.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

struct ReadyToRecordRequest {
    std::string filter;     // the save dialog's types: "AVI files|*.avi;*.AVI||"
    std::string title;      // the save dialog's title
    std::string extension;  // the extension the path must end in, without the dot: "avi"
    bool hideWhenCapture = false;  // on OK the main window comes back minimised
};

class ReadyToRecord : public QDialog {
    Q_OBJECT
public:
    static constexpr int kStatusHeight = 23;  // the dialog grows by this while counting

    // `mainWindow` may be null.
    ReadyToRecord(QWidget* mainWindow, ReadyToRecordRequest request, QWidget* parent = nullptr);
    ~ReadyToRecord() override;

    // Opens the dialog modally: IDOK with PathName() set, or IDCANCEL.
    int DoModal();
    std::string PathName() const { return path_; }

    // The handlers, as the buttons and keys run them.
    void OnBrowse();
    void OnRecordNow();
    void OnCountdown();  // "Countdown Recording", or "Cancel Countdown" while counting
    void OnTick();
    bool Counting() const { return counting_; }

    // `path` with the required extension: appended after a dot when the name has none,
    // replacing a different one (compared without case), kept when equal.
    static std::string WithExtension(const std::string& path, const std::string& extension);

    // The widgets, for tests and for the screen.
    QLineEdit* PathEdit() const { return pathEdit_; }
    QCheckBox* EnableCountdown() const { return enable_; }
    QLineEdit* HoursEdit() const { return hours_; }
    QLineEdit* MinutesEdit() const { return minutes_; }
    QLineEdit* SecondsEdit() const { return seconds_; }
    QPushButton* BrowseButton() const { return browse_; }
    QPushButton* RecordNowButton() const { return recordNow_; }
    QPushButton* CountdownButton() const { return countdown_; }
    QLabel* StatusLine() const { return status_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void OnOpen();
    void SetCountdownEnabled(bool on);
    void StartCountdown();
    void CancelCountdown();
    void Grow(int by);
    // The main window back, as the recording wants it; then the dialog closes with OK.
    void Finish();
    void RestoreMainWindow(bool minimised);
    bool RequirePath();

    QPointer<QWidget> mainWindow_;
    ReadyToRecordRequest request_;
    std::string path_;
    QLineEdit* pathEdit_;
    QPushButton* browse_;
    QCheckBox* enable_;
    QLineEdit* hours_;
    QLineEdit* minutes_;
    QLineEdit* seconds_;
    QLabel* status_;
    QPushButton* recordNow_;
    QPushButton* countdown_;
    QTimer* ticker_;

    bool counting_ = false;
    WallClockTime start_{};
    int64_t total_ = 0;
    std::string entered_[3];  // the edits as typed, given back on cancel
};
