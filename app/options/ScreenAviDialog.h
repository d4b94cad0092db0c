#pragma once
// "AVI/MPEG4 Output Settings:" before a screen recording to AVI: the video and audio compressor
// of the screen capture control's lists (read through a hidden instance of the control hosted in
// the dialog), whether each is used, the video compressor's own settings page and the MP3
// quality. The choice persists in "AVIDLG"; stored indexes that name no entry of today's lists
// give way to the automatic choice.
#include <QDialog>
#include <memory>

#include "app/options/AviDialogTexts.h"
#include "app/shell/ConfigSections.h"

class CScreen2Video;
class QCheckBox;
class QComboBox;
class QPushButton;


class ScreenAviDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScreenAviDialog(AviOptions& options, QWidget* parent = nullptr);
    ~ScreenAviDialog() override;

    QComboBox* VideoList() const { return video_; }
    QComboBox* AudioList() const { return audio_; }
    QCheckBox* UseVideo() const { return useVideo_; }
    QCheckBox* UseAudio() const { return useAudio_; }
    QPushButton* VideoSetting() const { return videoSetting_; }
    QPushButton* AudioSetting() const { return audioSetting_; }

    void OnNext();
    void OnVideoSetting();
    void OnAudioSetting();

private:
    void ApplyEnabling();

    AviOptions& options_;
    std::unique_ptr<CScreen2Video> control_;
    QComboBox* video_;
    QComboBox* audio_;
    QCheckBox* useVideo_;
    QCheckBox* useAudio_;
    QPushButton* videoSetting_;
    QPushButton* audioSetting_;
};
