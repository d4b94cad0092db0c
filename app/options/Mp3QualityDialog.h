#pragma once
// "MP3 Encoder Settings:": the MP3 quality of screen recordings to AVI ("AVIDLG" "AviMp3Mode"),
// and the bitrate and sample rate each entry stands for.
#include <QDialog>
#include <array>

#include "app/shell/ConfigSections.h"

class QComboBox;

inline constexpr char kMp3DialogTitle[] = "MP3 Encoder Settings:";

struct Mp3Quality {
    short kbps;
    long hertz;
};
// The quality of list entry `mode`; 128 kbps at 44100 Hz for a value outside the list.
Mp3Quality Mp3QualityOf(int mode);

class Mp3QualityDialog : public QDialog {
    Q_OBJECT
public:
    explicit Mp3QualityDialog(AviOptions& options, QWidget* parent = nullptr);
    QComboBox* QualityList() const { return quality_; }
    void OnOk();

private:
    AviOptions& options_;
    QComboBox* quality_;
};
