#pragma once
// "MPEG Output Settings:": the encoder, picture size, bitrates, frame rate and audio format of a
// device recording to MPEG. The choice lives for the run only; requested starts whose path does
// not end in "wmv" or "avi" use it too.
#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;

struct MpegChoice {
    int encoder = 0;  // 0 MPEG1, 1 MPEG2
    int channel = 0;  // 0 Stereo, 1 Mono
    std::string frameRate = "25";
    int videoBitrate = 1150;  // kbps
    int width = 320;
    int height = 240;
    int sampleRate = 44100;  // Hz
    int audioBitrate = 224;  // kbps
    bool confirmed = false;
};

// The process-wide choice.
MpegChoice& DeviceMpegChoice();

// The whole part of a frame-rate text ("29.97" gives 29); 0 when it does not start with a digit.
int WholeFrameRate(const std::string& text);

inline constexpr char kMpegOptionsTitle[] = "MPEG Output Settings:";

class MpegOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on `choice` when it was confirmed earlier, else on the initial selections; OK stores
    // into it.
    explicit MpegOptionsDialog(MpegChoice& choice, QWidget* parent = nullptr);

    // Runs the dialog modally; true when it closed with OK.
    bool DoModal();

    QComboBox* Encoder() const { return encoder_; }
    QComboBox* OutputSize() const { return size_; }
    QComboBox* VideoBitrate() const { return videoBitrate_; }
    QComboBox* FrameRate() const { return frameRate_; }
    QComboBox* SampleRate() const { return sampleRate_; }
    QComboBox* AudioBitrate() const { return audioBitrate_; }
    QComboBox* Channel() const { return channel_; }
    QLineEdit* WidthEdit() const { return width_; }
    QLineEdit* HeightEdit() const { return height_; }
    QLineEdit* BitrateEdit() const { return bitrate_; }

    void OnSizeChanged();
    void OnBitrateChanged();
    void OnOK();

private:
    void Restore(const MpegChoice& choice);

    MpegChoice& choice_;
    QComboBox* encoder_;
    QComboBox* size_;
    QComboBox* videoBitrate_;
    QComboBox* frameRate_;
    QComboBox* sampleRate_;
    QComboBox* audioBitrate_;
    QComboBox* channel_;
    QLineEdit* width_;
    QLineEdit* height_;
    QLineEdit* bitrate_;
};
