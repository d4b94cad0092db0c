#include "app/options/Mp3QualityDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/options/DialogButtonRow.h"

namespace {

constexpr std::array<const char*, kMp3ModeCount> kEntries = {
    "Default (Audio Bitrate:128kbps, Sample Rate:44 kHz)", "Audio Bitrate:320kbps, Sample Rate:44 kHz",
    "Audio Bitrate:256kbps, Sample Rate:44 kHz",           "Audio Bitrate:224kbps, Sample Rate:44 kHz",
    "Audio Bitrate:192kbps, Sample Rate:44 kHz",           "Audio Bitrate:160kbps, Sample Rate:44 kHz",
    "Audio Bitrate:128kbps, Sample Rate:44 kHz",           "Audio Bitrate:112kbps, Sample Rate:44 kHz",
    "Audio Bitrate: 96kbps, Sample Rate:44 kHz",           "Audio Bitrate: 64kbps, Sample Rate:22 kHz",
    "Audio Bitrate: 56kbps, Sample Rate:22 kHz",           "Audio Bitrate: 48kbps, Sample Rate:22 kHz",
    "Audio Bitrate: 40kbps, Sample Rate:22 kHz",           "Audio Bitrate: 32kbps, Sample Rate:11 kHz",
    "Audio Bitrate: 24kbps, Sample Rate:11 kHz"};

constexpr std::array<Mp3Quality, kMp3ModeCount> kQualities = {{{128, 44100}, {320, 44100}, {256, 44100},
                                                               {224, 44100}, {192, 44100}, {160, 44100},
                                                               {128, 44100}, {112, 44100}, {96, 44100},
                                                               {64, 22050},  {56, 22050},  {48, 22050},
                                                               {40, 22050},  {32, 11025},  {24, 11025}}};

}  // namespace

Mp3Quality Mp3QualityOf(int mode) {
    if (mode < 0 || mode >= kMp3ModeCount) return {128, 44100};
    return kQualities[static_cast<size_t>(mode)];
}

Mp3QualityDialog::Mp3QualityDialog(AviOptions& options, QWidget* parent)
    : QDialog(parent), options_(options), quality_(new QComboBox) {
    setWindowTitle(QString::fromUtf8(kMp3DialogTitle));
    for (const char* entry : kEntries) quality_->addItem(QString::fromUtf8(entry));
    options_.mp3Mode = IniStore::Instance().GetIndex(kAviDialog, "AviMp3Mode", options_.mp3Mode, kMp3ModeCount);
    quality_->setCurrentIndex(options_.mp3Mode);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("MP3 Quality:")));
    row->addWidget(quality_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    AddDialogButtonRow(this, layout, QStringLiteral("OK"), [this] {
        OnOk();
        return true;
    });
}

void Mp3QualityDialog::OnOk() {
    options_.mp3Mode = quality_->currentIndex();
    IniStore::Instance().WriteInt(kAviDialog, "AviMp3Mode", options_.mp3Mode);
}
