#pragma once
// The "Advanced Settings/Broadcast" page. Its upper half broadcasts the capture device's live
// picture through the capture control (quality profile, port, client limit) or opens the
// media-file broadcaster; its lower half, "Advanced Settings of Auto-Capture", arms a schedule
// that starts a device recording (through the Video Capture page's request flags) or a device
// broadcast at a local date and time, bounded by the capture limit. A one-second timer polls the
// shared flags and the schedule. UI thread only.
#include <QWidget>
#include <array>
#include <string>

#include "app/pages/CaptureSchedule.h"

class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

class BroadcastPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kQualityCount = 19;  // the custom entry last
    static constexpr int kCustomQuality = 18;
    static constexpr int kDefaultQuality = 4;  // 320x240 Normal Quality

    // The list's text and profile file (under the program folder; "" for the custom entry).
    static const char* QualityText(int index);
    static const char* QualityFile(int index);

    // Fills the page from the process's settings (read already) and starts its timer.
    explicit BroadcastPage(std::string programFolder, QWidget* parent = nullptr);
    ~BroadcastPage() override;

    // The handlers, as the widgets run them.
    void OnQualityChanged(int index);
    void OnBrowseProfile();
    // "Broadcast from device" (and the scheduled broadcast): true when the broadcast runs.
    bool StartDeviceBroadcast();
    void OnStop();
    // "Broadcast from video/audio files (DJ)": runs the broadcaster dialog modally.
    void StartMediaFileBroadcast();
    void OnHow();
    void OnLimitTime();
    void OnScheduleStart();
    // The one-second timer's work (also run at once when a schedule is armed).
    void OnTimer();

    // The address players are told to open: "mms://address:port" with the machine's address.
    std::string BroadcastAddress() const;
    // The profile file the control broadcasts with (WMVCustomFileName as last set).
    const std::string& ProfileFile() const { return profileFile_; }
    const CaptureSchedule& Schedule() const { return schedule_; }

    QComboBox* QualityList() const { return quality_; }
    QLineEdit* CustomProfileEdit() const { return customProfile_; }
    QLineEdit* PortEdit() const { return port_; }
    QLineEdit* ClientsEdit() const { return clients_; }
    QPushButton* BroadcastButton() const { return broadcast_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* HowButton() const { return how_; }
    QMenu* BroadcastMenu() const { return menu_; }
    // Year, month, day, hour, minute, second.
    QLineEdit* ScheduleEdit(int field) const { return scheduleEdits_[static_cast<size_t>(field)]; }
    QComboBox* WhenTimeIsUp() const { return whenUp_; }
    QPushButton* LimitTimeButton() const { return limitTime_; }
    QPushButton* ScheduleButton() const { return start_; }

private:
    void BuildUpperHalf();
    void BuildLowerHalf();
    void RestoreSettings();
    void FillScheduleWithNow();
    void SelectQuality(int index);  // without running Browse for the custom entry
    void ApplyQuality();
    // The port text as a number of 0 to 9999, else says so and gives -1.
    int CheckedPort();
    void DisarmSchedule();
    // Obtains RequestedOutputPath for a scheduled recording: false when the person cancelled.
    bool AskRecordingFile();
    void RunSchedule();

    std::string programFolder_;
    std::string profileFile_;
    CaptureSchedule schedule_;
    bool deviceBroadcasting_ = false;
    bool inTimer_ = false;  // the timer's work may open message boxes: never inside itself

    QComboBox* quality_ = nullptr;
    QLineEdit* customProfile_ = nullptr;
    QPushButton* browse_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* clients_ = nullptr;
    QPushButton* broadcast_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* how_ = nullptr;
    QMenu* menu_ = nullptr;
    std::array<QLineEdit*, 6> scheduleEdits_{};
    QComboBox* whenUp_ = nullptr;
    QPushButton* limitTime_ = nullptr;
    QPushButton* start_ = nullptr;
    QTimer* timer_ = nullptr;
};
