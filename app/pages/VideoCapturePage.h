#pragma once
// The "Video Capture" page: hosts the capture control in its "Preview:" frame and drives it only
// through CLumicor. It fills the device, format, input and audio lists from the control's
// collections, keeps a preview running, records to AVI, WMV and MPEG files, takes snapshots,
// tunes TV cards and switches the overlay. Once a second it carries out the capture starts and
// stops other pages request (DeviceCaptureState) and counts a started capture's time limit.
#include <QRect>
#include <QWidget>
#include <map>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;
class QTimer;

enum class RecordFormat { Mpeg, Wmv, Avi };

// The recording's file: `name` with the format's extension (".mpg", ".wmv", ".avi") appended
// unless it already ends with it, compared without case ("clip.AVI" stays as it is).
std::string RecordingFileName(const std::string& name, RecordFormat format);
// The format a requested path's last three letters choose (without case): "wmv", "avi", else
// MPEG.
RecordFormat RequestedFormat(const std::string& path);

class VideoCapturePage : public QWidget {
    Q_OBJECT
public:
    // Creates the capture control and initialises the page; `programFolder` holds the shipped
    // profiles and logo.
    explicit VideoCapturePage(std::string programFolder, QWidget* parent = nullptr);
    ~VideoCapturePage() override;

    // Handlers, as the widgets call them.
    void OnPreview();
    void OnRecord(RecordFormat format);
    void OnStop();
    void OnPause();
    void OnResume();
    void OnSnapshot();
    void OnSnapshotSettings();
    void OnHelp();
    void OnDevicePropertyPage();
    void OnMuteTv();
    void OnOverlaySettings();
    void OnAddOverlayChanged();
    void OnScanTvChannels();
    void OnChannelChanged();
    void OnChannelStep(int step);
    void OnSize();
    void OnDeviceChanged();
    void OnVideoFormatChanged();
    void OnVideoInputChanged();
    void OnAudioDeviceChanged();
    // The one-second timer's work.
    void OnTimer();

    // Maps the four list selections and the chosen compressors onto the control.
    void ApplySelections();
    // Switches the overlay off, or applies the overlay settings, as Add Text/Image says.
    void ApplyOverlay();

    // The widgets, for those who drive the page.
    QComboBox* DeviceList() const { return device_; }
    QComboBox* FormatList() const { return format_; }
    QComboBox* InputList() const { return input_; }
    QComboBox* AudioDeviceList() const { return audioDevice_; }
    QComboBox* AudioPinList() const { return audioPin_; }
    QComboBox* ChannelList() const { return channel_; }
    QPushButton* Button(const std::string& text) const;
    QCheckBox* Check(const std::string& text) const;
    QMenu* CaptureMenu() const { return captureMenu_; }
    QWidget* ControlHost() const { return controlHost_; }
    QGroupBox* PreviewFrame() const { return previewFrame_; }
    QTimer* Timer() const { return timer_; }
    bool Enlarged() const { return enlarged_; }
    bool SnapshotConfirmed() const { return snapshotConfirmed_; }
    // Where the last snapshot went ("" before the first).
    const std::string& LastSnapshot() const { return lastSnapshot_; }

private:
    void BuildWidgets();
    void LayOut();
    void Initialise();
    void FillDeviceLists();
    void FillFormatsAndInputs();
    void FillAudioPins();
    void RestoreSelections();
    // Applies the selections and starts a preview, with the overlay when ticked.
    void StartPreview();
    // Sets the recording's properties and calls Start; tells the person on failure and brings
    // the preview back. `file` is used as it stands.
    bool StartRecording(RecordFormat format, const std::string& file);
    void SetFormatProperties(RecordFormat format) const;
    void StopCapture(bool setEnded);
    void SetRecordingButtons(bool recording);
    std::string TakeSnapshot();

    std::string programFolder_;
    QComboBox* device_;
    QComboBox* format_;
    QComboBox* input_;
    QComboBox* audioDevice_;
    QComboBox* audioPin_;
    QComboBox* channel_;
    std::map<std::string, QPushButton*> buttons_;
    std::map<std::string, QCheckBox*> checks_;
    QMenu* captureMenu_;
    QGroupBox* previewFrame_;
    QWidget* controlHost_;
    std::map<QWidget*, QRect> normalGeometry_;
    QTimer* timer_;
    bool controlCreated_ = false;
    bool enlarged_ = false;
    bool snapshotConfirmed_ = false;
    bool limitCounting_ = false;
    bool limitStartedThisTick_ = false;
    int limitCount_ = 0;
    std::string lastSnapshot_;
};
