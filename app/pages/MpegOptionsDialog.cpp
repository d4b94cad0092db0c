#include "app/pages/MpegOptionsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <array>

#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

namespace {

constexpr std::array kSizes = {"80*60",   "96*72",   "128*96",  "160*120", "176*120", "176*144",
                               "192*144", "240*180", "320*200", "320*240", "352*240", "352*288",
                               "640*480", "720*480", "720*576", "800*600", "Custom Size"};
constexpr std::array kVideoBitrates = {
    "300 kbps",  "500 kbps",  "800 kbps",  "1150 kbps", "1152 kbps", "1500 kbps",
    "2000 kbps", "2366 kbps", "2376 kbps", "3000 kbps", "3500 kbps", "4000 kbps",
    "5000 kbps", "6000 kbps", "7000 kbps", "8000 kbps", "Custom Bitrate"};
constexpr std::array kFrameRates = {"23.976", "24", "25", "29.97", "30", "50", "59.94"};
constexpr std::array kSampleRates = {"32000", "44100", "48000"};
constexpr std::array kAudioBitrates = {"64",  "80",  "96",  "112", "128", "160",
                                       "192", "224", "256", "320", "384"};

// The MPEG encoder takes picture sizes up to 4095 and even, as its chroma planes are halved.
constexpr int kMinSide = 16;
constexpr int kMaxSide = 4095;
constexpr char kSizeMessage[] =
    "Please input an output width and height between 16 and 4095; both must be even numbers.";
constexpr char kBitrateMessage[] = "Please input a video bitrate between 1 and 100000 kbps.";

template <size_t N>
QComboBox* List(const std::array<const char*, N>& entries) {
    auto* box = new QComboBox;
    for (const char* entry : entries) box->addItem(QString::fromUtf8(entry));
    return box;
}

int IndexOf(const QComboBox* box, const QString& text) { return box->findText(text, Qt::MatchExactly); }

// The leading number of a text ("1150 kbps" gives 1150).
int LeadingNumber(const QString& text) {
    int value = 0;
    for (QChar c : text) {
        if (!c.isDigit()) break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

bool IsCustom(const QComboBox* box) { return box->currentIndex() == box->count() - 1; }

}  // namespace

MpegChoice& DeviceMpegChoice() {
    static MpegChoice choice;
    return choice;
}

int WholeFrameRate(const std::string& text) { return LeadingNumber(QString::fromStdString(text)); }

MpegOptionsDialog::MpegOptionsDialog(MpegChoice& choice, QWidget* parent)
    : QDialog(parent),
      choice_(choice),
      encoder_(List(std::array{"MPEG1", "MPEG2"})),
      size_(List(kSizes)),
      videoBitrate_(List(kVideoBitrates)),
      frameRate_(List(kFrameRates)),
      sampleRate_(List(kSampleRates)),
      audioBitrate_(List(kAudioBitrates)),
      channel_(List(std::array{"Stereo", "Mono"})),
      width_(new QLineEdit),
      height_(new QLineEdit),
      bitrate_(new QLineEdit) {
    setObjectName(QStringLiteral("MpegOptionsDialog"));
    setWindowTitle(QString::fromUtf8(kMpegOptionsTitle));
    for (QLineEdit* edit : {width_, height_, bitrate_}) {
        edit->setValidator(new QIntValidator(0, 999999, edit));
        edit->setMaximumWidth(70);
    }

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const char* label, QWidget* field) {
        grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    addRow("MPEG Encoder:", encoder_);
    addRow("Output Size:", size_);
    auto* sizeEdits = new QHBoxLayout;
    sizeEdits->addWidget(new QLabel(QStringLiteral("Width:")));
    sizeEdits->addWidget(width_);
    sizeEdits->addWidget(new QLabel(QStringLiteral("Height:")));
    sizeEdits->addWidget(height_);
    grid->addLayout(sizeEdits, row++, 1);
    addRow("Video Bitrate:", videoBitrate_);
    auto* bitrateEdit = new QHBoxLayout;
    bitrateEdit->addWidget(new QLabel(QStringLiteral("Bitrate(kbps):")));
    bitrateEdit->addWidget(bitrate_);
    bitrateEdit->addStretch();
    grid->addLayout(bitrateEdit, row++, 1);
    addRow("Frame Rate:", frameRate_);
    addRow("Audio Sample Rate:", sampleRate_);
    addRow("Audio Bitrate:", audioBitrate_);
    addRow("Audio Channel:", channel_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &MpegOptionsDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    encoder_->setCurrentIndex(0);
    size_->setCurrentIndex(IndexOf(size_, QStringLiteral("320*240")));
    videoBitrate_->setCurrentIndex(IndexOf(videoBitrate_, QStringLiteral("1150 kbps")));
    frameRate_->setCurrentIndex(IndexOf(frameRate_, QStringLiteral("25")));
    sampleRate_->setCurrentIndex(IndexOf(sampleRate_, QStringLiteral("44100")));
    audioBitrate_->setCurrentIndex(IndexOf(audioBitrate_, QStringLiteral("224")));
    channel_->setCurrentIndex(0);
    OnSizeChanged();
    OnBitrateChanged();
    if (choice.confirmed) Restore(choice);

    connect(size_, &QComboBox::currentIndexChanged, this, &MpegOptionsDialog::OnSizeChanged);
    connect(videoBitrate_, &QComboBox::currentIndexChanged, this, &MpegOptionsDialog::OnBitrateChanged);
}

void MpegOptionsDialog::Restore(const MpegChoice& choice) {
    encoder_->setCurrentIndex(choice.encoder);
    channel_->setCurrentIndex(choice.channel);
    auto select = [](QComboBox* box, const QString& text) {
        if (int index = IndexOf(box, text); index >= 0) box->setCurrentIndex(index);
    };
    select(sampleRate_, QString::number(choice.sampleRate));
    select(audioBitrate_, QString::number(choice.audioBitrate));
    select(frameRate_, QString::fromStdString(choice.frameRate));
    const int size = IndexOf(size_, QStringLiteral("%1*%2").arg(choice.width).arg(choice.height));
    size_->setCurrentIndex(size >= 0 ? size : size_->count() - 1);
    OnSizeChanged();
    width_->setText(QString::number(choice.width));
    height_->setText(QString::number(choice.height));
    const int bitrate = IndexOf(videoBitrate_, QStringLiteral("%1 kbps").arg(choice.videoBitrate));
    videoBitrate_->setCurrentIndex(bitrate >= 0 ? bitrate : videoBitrate_->count() - 1);
    OnBitrateChanged();
    bitrate_->setText(QString::number(choice.videoBitrate));
}

bool MpegOptionsDialog::DoModal() { return RunModalDialog(*this) == QDialog::Accepted; }

void MpegOptionsDialog::OnSizeChanged() {
    const bool custom = IsCustom(size_);
    if (custom) {
        width_->setText(QStringLiteral("320"));
        height_->setText(QStringLiteral("240"));
    } else {
        const QStringList sides = size_->currentText().split(QLatin1Char('*'));
        width_->setText(sides.value(0));
        height_->setText(sides.value(1));
    }
    width_->setEnabled(custom);
    height_->setEnabled(custom);
}

void MpegOptionsDialog::OnBitrateChanged() {
    const bool custom = IsCustom(videoBitrate_);
    bitrate_->setText(custom ? QStringLiteral("1150")
                             : QString::number(LeadingNumber(videoBitrate_->currentText())));
    bitrate_->setEnabled(custom);
}

void MpegOptionsDialog::OnOK() {
    const int width = width_->text().toInt();
    const int height = height_->text().toInt();
    auto usable = [](int side) { return side >= kMinSide && side <= kMaxSide && side % 2 == 0; };
    if (!usable(width) || !usable(height)) {
        MessageBox(kSizeMessage, kMpegOptionsTitle, MB_OK | MB_ICONEXCLAMATION);
        (width_->isEnabled() ? width_ : static_cast<QWidget*>(size_))->setFocus();
        return;
    }
    const int bitrate = bitrate_->text().toInt();
    if (bitrate < 1 || bitrate > 100000) {
        MessageBox(kBitrateMessage, kMpegOptionsTitle, MB_OK | MB_ICONEXCLAMATION);
        bitrate_->setFocus();
        return;
    }
    choice_.encoder = encoder_->currentIndex();
    choice_.channel = channel_->currentIndex();
    choice_.frameRate = frameRate_->currentText().toStdString();
    choice_.videoBitrate = bitrate;
    choice_.width = width;
    choice_.height = height;
    choice_.sampleRate = LeadingNumber(sampleRate_->currentText());
    choice_.audioBitrate = LeadingNumber(audioBitrate_->currentText());
    choice_.confirmed = true;
    accept();
}
