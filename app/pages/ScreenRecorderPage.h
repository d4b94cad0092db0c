#pragma once
// The "Screen Recorder" page: records a rectangle of the screen, with sound and the mouse cursor
// when asked, to WMV, AVI/MPEG4, FLV or SWF through the screen capture control. It owns the
// capture area (typed, picked by window or cut from a frozen screen), the hot-key letters, the
// Capture/Resume, Pause and Stop commands and Dynamic Focus; its settings are "CatchScreen".
#include <QPoint>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/outside/CScreen2Video.h"
#include "app/pages/CaptureGeometry.h"
#include "app/shell/HotKeys.h"

class DynamicFocus;
class HoverTip;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;
class WindowPicker;

// The "Ready to record" step before each recording: the file to record to, or nullopt when the
// person cancelled. Given the save filter, the browse title, the required extension and whether
// the main window hides while capturing.
using ReadyToRecordFn = std::function<std::optional<std::string>(
    const std::string& filter, const std::string& title, const std::string& extension, bool hideWhenCapture)>;

inline constexpr char kScreenCaptureFailedText[] =
    "Fail to capture video! Possible reason may be that video compressor is invalid, or the output video file is "
    "in use now.";

// Record Format entries.
enum ScreenFormat { kFormatWmv = 0, kFormatAvi = 1, kFormatFlv = 2, kFormatSwf = 3 };

class ScreenRecorderPage : public QWidget {
    Q_OBJECT
public:
    struct Services {
        std::string programFolder;
        // Minimised, restored, hidden and shown around recordings; may be null.
        QWidget* mainWindow = nullptr;
        // The main window's ApplyHotKeys with the five edit texts; may be empty.
        std::function<HotKeyOutcome(const std::array<std::string, 5>&)> applyHotKeys;
        ReadyToRecordFn readyToRecord;
    };

    explicit ScreenRecorderPage(Services services, QWidget* parent = nullptr);
    ~ScreenRecorderPage() override;

    // Commands (buttons and hot keys).
    void OnCapture();
    void OnPause();
    void OnStop();
    void ZoomIn();
    void ZoomOut();
    // The hot-key action for ids 40981..40985.
    void OnHotKey(int id);
    void OnTips();
    void OnCutIcon();
    void SetReadyToRecord(ReadyToRecordFn fn) { services_.readyToRecord = std::move(fn); }

    // The capture area as the edits hold it, and setting it (the edits follow).
    CaptureArea Area() const;
    void SetArea(const CaptureArea& area);

    bool Recording() const { return recording_; }
    bool Paused() const { return paused_; }
    bool StopRequested() const { return stopRequested_; }
    void RequestStop() { stopRequested_ = true; }
    CScreen2Video& Control() { return control_; }
    DynamicFocus& Focus() const { return *focus_; }
    WindowPicker* Picker() const { return picker_; }

    QComboBox* FormatList() const { return format_; }
    QComboBox* FrameRateList() const { return frameRate_; }
    QCheckBox* VideoCaptureMode() const { return videoMode_; }
    QCheckBox* CaptureAudio() const { return audio_; }
    QCheckBox* CaptureMouse() const { return mouse_; }
    QCheckBox* HideWhenCapture() const { return hide_; }
    QComboBox* AudioDeviceList() const { return audioDevice_; }
    QComboBox* AudioPinList() const { return audioPin_; }
    QSlider* Volume() const { return volume_; }
    QLineEdit* HotKeyEdit(int row) const { return keys_[static_cast<size_t>(row)]; }
    QLineEdit* LeftEdit() const { return left_; }
    QLineEdit* TopEdit() const { return top_; }
    QLineEdit* WidthEdit() const { return width_; }
    QLineEdit* HeightEdit() const { return height_; }
    QPushButton* CaptureButton() const { return capture_; }
    QPushButton* PauseButton() const { return pause_; }
    QPushButton* StopButton() const { return stop_; }
    QLabel* PlusIcon() const { return plusIcon_; }
    QLabel* CutIcon() const { return cutIcon_; }
    QLabel* FocusLabel() const { return focusLabel_; }
    HoverTip* Tip() const { return tip_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void OnInitDialog();
    void FillAudioDevices();
    // Refills the pin list from the control's pins of the current device: the first pin, or with
    // `byKeyword` the first whose name holds a keyword.
    void FillPins(bool byKeyword);
    void OnAudioDeviceChanged(int index);
    // The options dialog of the chosen format and its control settings; false when cancelled.
    bool ChooseFormatOptions(int format, const CaptureArea& recorded, std::string* file);
    void SetRecordingButtons(bool recording);
    void WriteSettings();
    void OnSecond();
    void ShowHoverTip(QWidget* over);

    Services services_;
    CScreen2Video control_;
    std::unique_ptr<DynamicFocus> focus_;
    QTimer* second_;
    WindowPicker* picker_;
    HoverTip* tip_;
    bool recording_ = false;
    bool paused_ = false;
    bool stopRequested_ = false;
    bool mainHiddenForCut_ = false;
    QPoint mainPosition_;

    QComboBox* format_;
    QComboBox* frameRate_;
    QCheckBox* videoMode_;
    QCheckBox* audio_;
    QCheckBox* mouse_;
    QCheckBox* hide_;
    QComboBox* audioDevice_;
    QComboBox* audioPin_;
    QSlider* volume_;
    std::array<QLineEdit*, kHotKeyCount> keys_{};
    QLabel* focusLabel_;
    QLabel* plusIcon_;
    QLabel* cutIcon_;
    QLineEdit* left_;
    QLineEdit* top_;
    QLineEdit* width_;
    QLineEdit* height_;
    QPushButton* capture_;
    QPushButton* pause_;
    QPushButton* stop_;
    QPushButton* tips_;
    QWidget* controlHost_;
};

// The save filters and extensions of the formats, in Record Format order.
struct ScreenFormatFile {
    const char* filter;
    const char* extension;
};
ScreenFormatFile FileOfFormat(int format);
