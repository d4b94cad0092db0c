#include "app/options/DeviceAviDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cctype>

#include "app/outside/CLumicor.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

namespace {

// The collection's member that shows an entry's configuration page.
constexpr DISPID kShowPropertyPage = 4;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

SessionAviOptions& DeviceAviOptions() {
    static SessionAviOptions options;
    return options;
}

DeviceAviDialog::DeviceAviDialog(SessionAviOptions& options, const CLumicor& control, QWidget* parent)
    : QDialog(parent),
      options_(options),
      control_(control),
      video_(new QComboBox),
      audio_(new QComboBox),
      useVideo_(new QCheckBox(QStringLiteral("Use Video Compressor"))),
      useAudio_(new QCheckBox(QStringLiteral("Use Audio Compressor"))),
      videoSetting_(new QPushButton(QStringLiteral("Setting"))),
      frameRates_(new QComboBox) {
    setObjectName(QStringLiteral("DeviceAviDialog"));
    setWindowTitle(QString::fromUtf8(kAviOptionsTitle));
    video_->setMinimumWidth(220);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Video Compressor:")), 0, 0);
    grid->addWidget(video_, 0, 1);
    grid->addWidget(videoSetting_, 0, 2);
    grid->addWidget(useVideo_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Audio Compressor:")), 2, 0);
    grid->addWidget(audio_, 2, 1);
    grid->addWidget(useAudio_, 3, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &DeviceAviDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(frameRates_);
    layout->addWidget(buttons);
    frameRates_->hide();

    useVideo_->setChecked(false);
    useAudio_->setChecked(false);
    int audioChoice = -1;
    const std::vector<std::string> audioNames = control_.AudioCompressors().Names();
    for (size_t i = 0; i < audioNames.size(); ++i) {
        audio_->addItem(QString::fromStdString(audioNames[i]));
        if (Contains(Lower(audioNames[i]), "pcm")) audioChoice = static_cast<int>(i);
    }
    audio_->setCurrentIndex(audioChoice >= 0 ? audioChoice : (audio_->count() ? 0 : -1));
    int videoChoice = -1;
    const std::vector<std::string> videoNames = control_.VideoCompressors().Names();
    for (size_t i = 0; i < videoNames.size(); ++i) {
        video_->addItem(QString::fromStdString(videoNames[i]));
        const std::string name = Lower(videoNames[i]);
        if ((Contains(name, "divx") && !Contains(name, "yv12")) || (Contains(name, "xvid") && videoChoice < 0))
            videoChoice = static_cast<int>(i);
    }
    video_->setCurrentIndex(videoChoice >= 0 ? videoChoice : (video_->count() ? 0 : -1));
    for (const char* rate : {"10", "13", "15", "18", "20", "23", "24", "25", "29", "30"})
        frameRates_->addItem(QString::fromUtf8(rate));
    frameRates_->setCurrentIndex(frameRates_->findText(QStringLiteral("25")));

    if (options_.set) {
        const int rate = frameRates_->findText(QString::number(options_.frameRate));
        if (rate >= 0) frameRates_->setCurrentIndex(rate);
        if (options_.audioIndex < audio_->count()) audio_->setCurrentIndex(options_.audioIndex);
        if (options_.videoIndex < video_->count()) video_->setCurrentIndex(options_.videoIndex);
        useAudio_->setChecked(options_.useAudio);
        useVideo_->setChecked(options_.useVideo);
    }
    ApplyEnabling();
    connect(useVideo_, &QCheckBox::toggled, this, &DeviceAviDialog::ApplyEnabling);
    connect(useAudio_, &QCheckBox::toggled, this, &DeviceAviDialog::ApplyEnabling);
    connect(videoSetting_, &QPushButton::clicked, this, &DeviceAviDialog::OnVideoSetting);
}

bool DeviceAviDialog::DoModal() { return RunModalDialog(*this) == QDialog::Accepted; }

void DeviceAviDialog::ApplyEnabling() {
    video_->setEnabled(useVideo_->isChecked());
    videoSetting_->setEnabled(useVideo_->isChecked());
    audio_->setEnabled(useAudio_->isChecked());
}

void DeviceAviDialog::OnVideoSetting() {
    LumicorCollection compressors = control_.VideoCompressors();
    const int index = compressors.Find(video_->currentText().toStdString());
    Variant shown;
    const bool hasPage = index >= 0 &&
                         SUCCEEDED(compressors.Driver().Call(kShowPropertyPage, {Variant(static_cast<int16_t>(index))},
                                                             &shown)) &&
                         IntegerOfVariant(shown, 0) != 0;
    if (!hasPage) MessageBox(kNoPropertyPageText, {}, MB_OK);
}

void DeviceAviDialog::OnOK() {
    options_.audioCompressor = audio_->currentText().toStdString();
    options_.videoCompressor = video_->currentText().toStdString();
    options_.frameRate = frameRates_->currentText().toInt();
    options_.useAudio = useAudio_->isChecked();
    options_.useVideo = useVideo_->isChecked();
    options_.audioIndex = audio_->currentIndex();
    options_.videoIndex = video_->currentIndex();
    options_.set = true;
    accept();
}
