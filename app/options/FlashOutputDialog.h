#pragma once
// The Flash output dialog shown before a screen recording to SWF ("SWF Output Settings:",
// section "SWFDLG") or to FLV ("FLV Output Settings:", section "FLVDLG"): video bitrate (a list,
// or a custom number in the edit beside it), audio sample rate, audio bitrate and channels, and a
// hidden output-size list that carries the stored size through. Opening reads the section over
// the record; Next checks the custom numbers, stores the record and writes every key.
#include <QDialog>

#include "app/shell/ConfigSections.h"

class QComboBox;
class QLineEdit;

inline constexpr char kSwfDialogTitle[] = "SWF Output Settings:";
inline constexpr char kFlvDialogTitle[] = "FLV Output Settings:";
// Said when a custom bitrate or size is no number in its range; the dialog stays open.
inline constexpr char kInvalidNumberText[] = "Please specify a valid number.";

class FlashOutputDialog : public QDialog {
    Q_OBJECT
public:
    FlashOutputDialog(const char* title, const FlashKeys& keys, FlashChoice& choice, QWidget* parent = nullptr);

    QComboBox* VideoBitrateList() const { return videoBitrate_; }
    QLineEdit* BitrateEdit() const { return bitrateEdit_; }
    QComboBox* SampleRateList() const { return sampleRate_; }
    QComboBox* AudioBitrateList() const { return audioBitrate_; }
    QComboBox* ChannelList() const { return channel_; }
    QComboBox* SizeList() const { return size_; }
    QLineEdit* WidthEdit() const { return widthEdit_; }
    QLineEdit* HeightEdit() const { return heightEdit_; }

    // Next: false (after saying why) when a custom number is not valid.
    bool OnNext();

private:
    void OnVideoBitrateChanged(int index);
    void OnSampleRateChanged(int index);
    void OnSizeChanged(int index);
    void FillAudioBitrates(int sampleRate);
    void Restore();

    const FlashKeys& keys_;
    FlashChoice& choice_;
    QComboBox* videoBitrate_;
    QLineEdit* bitrateEdit_;
    QComboBox* sampleRate_;
    QComboBox* audioBitrate_;
    QComboBox* channel_;
    QComboBox* size_;
    QLineEdit* widthEdit_;
    QLineEdit* heightEdit_;
};
