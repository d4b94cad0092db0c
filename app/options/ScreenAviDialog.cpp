#include "app/options/ScreenAviDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>
#include <initializer_list>

#include "app/options/DialogButtonRow.h"
#include "app/options/Mp3QualityDialog.h"
#include "app/outside/CScreen2Video.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

namespace {

QString Lower(const QComboBox* list) { return list->currentText().toLower(); }

// Fills `list` with `names` and selects the last one holding any of `keys` (lower case); with
// none, entry 0 and `use` unticked.
void FillAndPick(QComboBox* list, QCheckBox* use, const std::vector<std::string>& names,
                 std::initializer_list<const char*> keys) {
    int pick = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        const QString name = QString::fromStdString(names[i]);
        list->addItem(name);
        for (const char* key : keys)
            if (name.toLower().contains(QString::fromUtf8(key))) pick = static_cast<int>(i);
    }
    if (pick >= 0) {
        list->setCurrentIndex(pick);
    } else if (list->count() > 0) {
        list->setCurrentIndex(0);
        use->setChecked(false);
    }
}

}  // namespace

ScreenAviDialog::ScreenAviDialog(AviOptions& options, QWidget* parent)
    : QDialog(parent),
      options_(options),
      control_(std::make_unique<CScreen2Video>()),
      video_(new QComboBox),
      audio_(new QComboBox),
      useVideo_(new QCheckBox(QStringLiteral("Use Video Compressor"))),
      useAudio_(new QCheckBox(QStringLiteral("Use Audio Compressor"))),
      videoSetting_(new QPushButton(QStringLiteral("Setting"))),
      audioSetting_(new QPushButton(QStringLiteral("Setting"))) {
    setWindowTitle(QString::fromUtf8(kAviOptionsTitle));
    auto* host = new QWidget(this);
    host->setFixedSize(1, 1);
    host->hide();
    if (HRESULT hr = control_->Create(host); FAILED(hr))
        std::fprintf(stderr, "orvanta: the screen capture control cannot be created: 0x%08X\n",
                     static_cast<unsigned>(hr));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Video Compressor:")), 0, 0);
    grid->addWidget(video_, 0, 1);
    grid->addWidget(videoSetting_, 0, 2);
    grid->addWidget(useVideo_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Audio Compressor:")), 2, 0);
    grid->addWidget(audio_, 2, 1);
    grid->addWidget(audioSetting_, 2, 2);
    grid->addWidget(useAudio_, 3, 1);
    auto* tip1 = new QLabel(QStringLiteral("Tips 1: Recommended to use 'Microsoft Video 1' or 'MPEG-4 Video Codec "
                                           "V2/V3' as video compressor."));
    auto* tip2 = new QLabel(QStringLiteral("Tips 2: Divx/Xvid video compressors are NOT recommended, because they "
                                           "have video resolution limitation."));
    tip1->setWordWrap(true);
    tip2->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(tip1);
    layout->addWidget(tip2);
    AddDialogButtonRow(this, layout, QStringLiteral("Next"), [this] {
        OnNext();
        return true;
    });

    ReadAviOptions(IniStore::Instance(), options_);
    useVideo_->setChecked(true);
    useAudio_->setChecked(true);
    FillAndPick(audio_, useAudio_, control_->AudioCompressors().Names(), {"mp3", "mpeg layer-3"});
    FillAndPick(video_, useVideo_, control_->VideoCompressors().Names(),
                {"microsoft video 1", "microsoft mpeg-4 video codec v2", "microsoft mpeg-4 video codec v3"});
    if (options_.isChange) {
        useVideo_->setChecked(options_.isSetVideo);
        useAudio_->setChecked(options_.isSetAudio);
        // Indexes saved with other codecs installed may point past today's lists.
        if (options_.video >= 0 && options_.video < video_->count()) video_->setCurrentIndex(options_.video);
        if (options_.audio >= 0 && options_.audio < audio_->count()) audio_->setCurrentIndex(options_.audio);
    }
    ApplyEnabling();

    connect(useVideo_, &QCheckBox::toggled, this, &ScreenAviDialog::ApplyEnabling);
    connect(useAudio_, &QCheckBox::toggled, this, &ScreenAviDialog::ApplyEnabling);
    connect(audio_, &QComboBox::currentIndexChanged, this, &ScreenAviDialog::ApplyEnabling);
    connect(videoSetting_, &QPushButton::clicked, this, &ScreenAviDialog::OnVideoSetting);
    connect(audioSetting_, &QPushButton::clicked, this, &ScreenAviDialog::OnAudioSetting);
}

ScreenAviDialog::~ScreenAviDialog() = default;

void ScreenAviDialog::ApplyEnabling() {
    video_->setEnabled(useVideo_->isChecked());
    videoSetting_->setEnabled(useVideo_->isChecked());
    audio_->setEnabled(useAudio_->isChecked());
    audioSetting_->setEnabled(useAudio_->isChecked() && Lower(audio_).contains(QStringLiteral("mpeg layer-3")));
}

void ScreenAviDialog::OnVideoSetting() {
    const int index = control_->VideoCompressors().Find(video_->currentText().toStdString());
    if (!control_->ShowVideoCompressorPage(index)) MessageBox(kNoPropertyPageText, {}, MB_OK);
}

void ScreenAviDialog::OnAudioSetting() {
    if (Lower(audio_) != QStringLiteral("mpeg layer-3")) {
        MessageBox(kNoPropertyPageText, {}, MB_OK);
        return;
    }
    Mp3QualityDialog dialog(options_, this);
    RunModalDialog(dialog);
}

void ScreenAviDialog::OnNext() {
    options_.isSetVideo = useVideo_->isChecked();
    options_.isSetAudio = useAudio_->isChecked();
    options_.video = video_->currentIndex();
    options_.audio = audio_->currentIndex();
    options_.isChange = true;
    WriteAviOptions(IniStore::Instance(), options_);
}
