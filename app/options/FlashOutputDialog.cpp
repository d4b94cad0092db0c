#include "app/options/FlashOutputDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <optional>

#include "app/options/DialogButtonRow.h"
#include "platform/os/MessageBox.h"

namespace {

constexpr std::array<int, 8> kVideoBitrates = {200, 500, 800, 1500, 2000, 2500, 3000, 3500};
constexpr int kCustomBitrate = 8;
constexpr int kDefaultVideoBitrate = 3;  // 1500 kbps
constexpr std::array<int, 3> kSampleRates = {11025, 22050, 44100};
constexpr std::array<int, 10> kAudioBitrates = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kAudioBitrate128 = 4;
constexpr std::array<const char*, 16> kSizes = {"176*144", "240*176", "320*240", "352*240", "352*288", "384*288",
                                                "480*480", "480*576", "640*368", "640*480", "704*480", "704*576",
                                                "720*480", "720*576", "1280*720", "Custom Size"};
constexpr int kCustomSize = 15;
constexpr int kDefaultSize = 2;  // 320*240

// Bounds of the numbers typed for a custom bitrate (kbps) and size (pixels).
constexpr int kMaxBitrate = 100000;
constexpr int kMaxSide = 8192;

std::optional<int> NumberIn(const QLineEdit* edit, int low, int high) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

FlashOutputDialog::FlashOutputDialog(const char* title, const FlashKeys& keys, FlashChoice& choice, QWidget* parent)
    : QDialog(parent),
      keys_(keys),
      choice_(choice),
      videoBitrate_(new QComboBox),
      bitrateEdit_(new QLineEdit),
      sampleRate_(new QComboBox),
      audioBitrate_(new QComboBox),
      channel_(new QComboBox),
      size_(new QComboBox),
      widthEdit_(new QLineEdit),
      heightEdit_(new QLineEdit) {
    setWindowTitle(QString::fromUtf8(title));
    for (int rate : kVideoBitrates) videoBitrate_->addItem(QStringLiteral("%1 kbps").arg(rate));
    videoBitrate_->addItem(QStringLiteral("Custom Bitrate"));
    for (int rate : kSampleRates) sampleRate_->addItem(QString::number(rate));
    channel_->addItems({QStringLiteral("Stereo"), QStringLiteral("Mono")});
    for (const char* size : kSizes) size_->addItem(QString::fromUtf8(size));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Video Bitrate:")), 0, 0);
    grid->addWidget(videoBitrate_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Bitrate(kbps):")), 0, 2);
    grid->addWidget(bitrateEdit_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Audio Sample Rate:")), 1, 0);
    grid->addWidget(sampleRate_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Audio Bitrate:")), 2, 0);
    grid->addWidget(audioBitrate_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Audio Channel:")), 3, 0);
    grid->addWidget(channel_, 3, 1);
    // The size travels through hidden: the recorder sets it to the capture size.
    grid->addWidget(size_, 4, 1);
    grid->addWidget(widthEdit_, 4, 2);
    grid->addWidget(heightEdit_, 4, 3);
    size_->hide();
    widthEdit_->hide();
    heightEdit_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    AddDialogButtonRow(this, layout, QStringLiteral("Next"), [this] { return OnNext(); });
    connect(videoBitrate_, &QComboBox::currentIndexChanged, this, &FlashOutputDialog::OnVideoBitrateChanged);
    connect(sampleRate_, &QComboBox::currentIndexChanged, this, &FlashOutputDialog::OnSampleRateChanged);
    connect(size_, &QComboBox::currentIndexChanged, this, &FlashOutputDialog::OnSizeChanged);

    ReadFlashChoice(IniStore::Instance(), keys_, choice_);
    videoBitrate_->setCurrentIndex(kDefaultVideoBitrate);
    OnVideoBitrateChanged(kDefaultVideoBitrate);
    channel_->setCurrentIndex(0);
    sampleRate_->setCurrentIndex(2);
    OnSampleRateChanged(2);
    size_->setCurrentIndex(kDefaultSize);
    OnSizeChanged(kDefaultSize);
    if (choice_.isChange) Restore();
}

void FlashOutputDialog::FillAudioBitrates(int sampleRate) {
    QSignalBlocker block(audioBitrate_);
    audioBitrate_->clear();
    // Below 44100 Hz the encoder takes nothing above 160 kbps.
    const size_t count = sampleRate == 44100 ? kAudioBitrates.size() : 6;
    for (size_t i = 0; i < count; ++i) audioBitrate_->addItem(QString::number(kAudioBitrates[i]));
    audioBitrate_->setCurrentIndex(kAudioBitrate128);
}

void FlashOutputDialog::OnVideoBitrateChanged(int index) {
    const bool custom = index == kCustomBitrate;
    if (index >= 0 && index < kCustomBitrate) bitrateEdit_->setText(QString::number(kVideoBitrates[index]));
    else if (custom) bitrateEdit_->setText(QString::number(kVideoBitrates[kDefaultVideoBitrate]));
    bitrateEdit_->setEnabled(custom);
}

void FlashOutputDialog::OnSampleRateChanged(int index) {
    if (index >= 0 && index < static_cast<int>(kSampleRates.size())) FillAudioBitrates(kSampleRates[index]);
}

void FlashOutputDialog::OnSizeChanged(int index) {
    const bool custom = index == kCustomSize;
    if (index >= 0 && !custom) {
        const QStringList parts = size_->itemText(index).split('*');
        widthEdit_->setText(parts.value(0));
        heightEdit_->setText(parts.value(1));
    } else if (custom) {
        widthEdit_->setText(QStringLiteral("320"));
        heightEdit_->setText(QStringLiteral("240"));
    }
    widthEdit_->setEnabled(custom);
    heightEdit_->setEnabled(custom);
}

void FlashOutputDialog::Restore() {
    channel_->setCurrentIndex(choice_.channel);
    const int rate = sampleRate_->findText(QString::number(choice_.sampleRate));
    sampleRate_->setCurrentIndex(rate >= 0 ? rate : 2);
    OnSampleRateChanged(sampleRate_->currentIndex());
    const int audio = audioBitrate_->findText(QString::number(choice_.audioBitrate));
    audioBitrate_->setCurrentIndex(audio >= 0 ? audio : kAudioBitrate128);

    const int size = size_->findText(QStringLiteral("%1*%2").arg(choice_.width).arg(choice_.height));
    size_->setCurrentIndex(size >= 0 ? size : kCustomSize);
    OnSizeChanged(size_->currentIndex());
    if (size < 0) {
        widthEdit_->setText(QString::number(choice_.width));
        heightEdit_->setText(QString::number(choice_.height));
    }

    int video = kCustomBitrate;
    for (size_t i = 0; i < kVideoBitrates.size(); ++i)
        if (kVideoBitrates[i] == choice_.videoBitrate) video = static_cast<int>(i);
    videoBitrate_->setCurrentIndex(video);
    OnVideoBitrateChanged(video);
    if (video == kCustomBitrate) bitrateEdit_->setText(QString::number(choice_.videoBitrate));
}

bool FlashOutputDialog::OnNext() {
    const std::optional<int> bitrate = NumberIn(bitrateEdit_, 1, kMaxBitrate);
    const std::optional<int> width = NumberIn(widthEdit_, 1, kMaxSide);
    const std::optional<int> height = NumberIn(heightEdit_, 1, kMaxSide);
    if (!bitrate || !width || !height) {
        MessageBox(kInvalidNumberText, "Error", MB_OK | MB_ICONEXCLAMATION);
        QLineEdit* wrong = !bitrate ? bitrateEdit_ : (!width ? widthEdit_ : heightEdit_);
        wrong->setFocus();
        wrong->selectAll();
        return false;
    }
    choice_.channel = channel_->currentIndex();
    choice_.videoBitrate = *bitrate;
    choice_.width = *width;
    choice_.height = *height;
    choice_.sampleRate = sampleRate_->currentText().toInt();
    choice_.audioBitrate = audioBitrate_->currentText().toInt();
    choice_.isChange = true;
    WriteFlashChoice(IniStore::Instance(), keys_, choice_);
    return true;
}
