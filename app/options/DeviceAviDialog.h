#pragma once
// "AVI/MPEG4 Output Settings:" before a device recording to AVI: a video and an audio compressor
// from the capture control's own compressor collections, each with its use box, and the video
// compressor's configuration page. The choice lives for the run only.
#include <QDialog>
#include <string>

#include "app/options/AviDialogTexts.h"

class CLumicor;
class QCheckBox;
class QComboBox;
class QPushButton;

struct SessionAviOptions {
    std::string audioCompressor;
    std::string videoCompressor;
    int frameRate = 25;
    bool useAudio = false;
    bool useVideo = false;
    int audioIndex = -1;
    int videoIndex = -1;
    bool set = false;  // confirmed at least once
};

// The process-wide record.
SessionAviOptions& DeviceAviOptions();


class DeviceAviDialog : public QDialog {
    Q_OBJECT
public:
    DeviceAviDialog(SessionAviOptions& options, const CLumicor& control, QWidget* parent = nullptr);

    bool DoModal();

    QComboBox* VideoList() const { return video_; }
    QComboBox* AudioList() const { return audio_; }
    QCheckBox* UseVideo() const { return useVideo_; }
    QCheckBox* UseAudio() const { return useAudio_; }
    QPushButton* VideoSetting() const { return videoSetting_; }
    QComboBox* FrameRates() const { return frameRates_; }

    void ApplyEnabling();
    void OnVideoSetting();
    void OnOK();

private:
    SessionAviOptions& options_;
    const CLumicor& control_;
    QComboBox* video_;
    QComboBox* audio_;
    QCheckBox* useVideo_;
    QCheckBox* useAudio_;
    QPushButton* videoSetting_;
    QComboBox* frameRates_;  // hidden, as the recording's frame rate is not offered here
};
