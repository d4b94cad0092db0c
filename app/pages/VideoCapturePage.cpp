// The page's widgets, its initialisation, the lists and the preview. Recording, snapshots and
// the one-second timer are in VideoCaptureRecording.cpp.
#include "app/pages/VideoCapturePage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/options/DeviceAviDialog.h"
#include "app/options/OverlaySettings.h"
#include "app/options/OverlaySettingsDialog.h"
#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/shell/IniStore.h"
#include "app/shell/SettingsFile.h"
#include "platform/os/DialogUnits.h"
#include "platform/os/MessageBox.h"

namespace {

constexpr char kShowPreview[] = "Show Preview when Capture";
constexpr char kCaptureVideo[] = "Capture Video";
constexpr char kCaptureAudio[] = "Capture Audio";
constexpr char kMuteTv[] = "Mute TV (if exist)";
constexpr char kAddOverlay[] = "Add Text/Image";

constexpr char kSlowVideoText[] =
    "Some USB Web Cam which has microphone feature will\nslow down the video speed when capture "
    "the audio.\nIf this problem occurs, press the 'Preview' button\nagain until the video speed "
    "becomes normal.";
constexpr char kScanNotice[] =
    "Scanning TV channals will take some minutes, please be patient, press 'OK' to start.";
constexpr char kNoTunerText[] =
    "TV Turner Card can't be found in your system, operation will be cancelled.";

// The frames' background.
const QColor kFrameColour(243, 243, 243);

// Country code of the channel scan.
constexpr short kScanCountry = 86;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The input line that records what the computer plays, when there is one.
int PreferredAudioPin(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string name = Lower(names[i]);
        for (const char* keyword : {"what you hear", "what u hear", "stereo mix", "wave/mp3", "wave"}) {
            if (name.find(keyword) != std::string::npos) return static_cast<int>(i);
        }
    }
    return names.empty() ? -1 : 0;
}

void Fill(QComboBox* list, const std::vector<std::string>& names, int selection) {
    const QSignalBlocker blocker(list);
    list->clear();
    for (const std::string& name : names) list->addItem(QString::fromStdString(name));
    list->setCurrentIndex(names.empty() ? -1 : selection);
}

}  // namespace

VideoCapturePage::VideoCapturePage(std::string programFolder, QWidget* parent)
    : QWidget(parent),
      programFolder_(std::move(programFolder)),
      device_(new QComboBox(this)),
      format_(new QComboBox(this)),
      input_(new QComboBox(this)),
      audioDevice_(new QComboBox(this)),
      audioPin_(new QComboBox(this)),
      channel_(new QComboBox(this)),
      captureMenu_(new QMenu(this)),
      previewFrame_(new QGroupBox(QStringLiteral("Preview:"), this)),
      controlHost_(new QWidget(previewFrame_)),
      timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("Video Capture"));  // the tab title, as the other pages
    BuildWidgets();
    LayOut();
    Initialise();
}

VideoCapturePage::~VideoCapturePage() {
    timer_->stop();
    // The control goes before its window does, and before the application object ends.
    Lumicor().Destroy();
}

QPushButton* VideoCapturePage::Button(const std::string& text) const {
    auto it = buttons_.find(text);
    return it == buttons_.end() ? nullptr : it->second;
}

QCheckBox* VideoCapturePage::Check(const std::string& text) const {
    auto it = checks_.find(text);
    return it == checks_.end() ? nullptr : it->second;
}

void VideoCapturePage::BuildWidgets() {
    for (const char* text : {"Scan TV Channels", "Preview", "?", "Capture", "Stop", "Pause", "Resume",
                             "Snapshot", "Text/Image Settings", "Device Property Page",
                             "Snapshot Settings", "TV CH+", "TV CH-", "Size +/-"})
        buttons_[text] = new QPushButton(QString::fromUtf8(text), this);
    for (const char* text : {kShowPreview, kCaptureVideo, kCaptureAudio, kMuteTv, kAddOverlay})
        checks_[text] = new QCheckBox(QString::fromUtf8(text), this);

    captureMenu_->addAction(QStringLiteral("Save to MPEG1/MPEG2 (Recommend)"), this,
                            [this] { OnRecord(RecordFormat::Mpeg); });
    captureMenu_->addAction(QStringLiteral("Save to WMV file"), this, [this] { OnRecord(RecordFormat::Wmv); });
    captureMenu_->addAction(QStringLiteral("Save to AVI file"), this, [this] { OnRecord(RecordFormat::Avi); });
    Button("Capture")->setMenu(captureMenu_);

    auto onClick = [this](const char* text, void (VideoCapturePage::*handler)()) {
        connect(Button(text), &QPushButton::clicked, this, handler);
    };
    onClick("Scan TV Channels", &VideoCapturePage::OnScanTvChannels);
    onClick("Preview", &VideoCapturePage::OnPreview);
    onClick("?", &VideoCapturePage::OnHelp);
    onClick("Stop", &VideoCapturePage::OnStop);
    onClick("Pause", &VideoCapturePage::OnPause);
    onClick("Resume", &VideoCapturePage::OnResume);
    onClick("Snapshot", &VideoCapturePage::OnSnapshot);
    onClick("Text/Image Settings", &VideoCapturePage::OnOverlaySettings);
    onClick("Device Property Page", &VideoCapturePage::OnDevicePropertyPage);
    onClick("Snapshot Settings", &VideoCapturePage::OnSnapshotSettings);
    onClick("Size +/-", &VideoCapturePage::OnSize);
    connect(Button("TV CH+"), &QPushButton::clicked, this, [this] { OnChannelStep(1); });
    connect(Button("TV CH-"), &QPushButton::clicked, this, [this] { OnChannelStep(-1); });
    connect(Check(kMuteTv), &QCheckBox::clicked, this, &VideoCapturePage::OnMuteTv);
    connect(Check(kAddOverlay), &QCheckBox::clicked, this, &VideoCapturePage::OnAddOverlayChanged);
    connect(timer_, &QTimer::timeout, this, &VideoCapturePage::OnTimer);
}

void VideoCapturePage::LayOut() {
    const QFont pageFont = font();
    auto put = [&](QWidget* widget, int x, int y, int width, int height) {
        const QSize origin = DialogUnitsToPixels(x, y, pageFont);
        widget->setGeometry(QRect(QPoint(origin.width(), origin.height()),
                                  DialogUnitsToPixels(width, height, pageFont)));
        normalGeometry_[widget] = widget->geometry();
    };
    const QSize pageSize = DialogUnitsToPixels(324, 220, pageFont);
    setMinimumSize(pageSize);

    // Three frames: the lists, the check boxes and the buttons, with the preview frame beside.
    auto frame = [&](int x, int y, int width, int height) {
        auto* box = new QGroupBox(this);
        box->setAutoFillBackground(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Window, kFrameColour);
        box->setPalette(palette);
        put(box, x, y, width, height);
        box->lower();
    };
    frame(2, 1, 120, 147);
    frame(2, 149, 120, 68);
    frame(124, 153, 198, 64);
    put(previewFrame_, 124, 1, 198, 150);
    previewFrame_->setAutoFillBackground(true);
    QPalette palette = previewFrame_->palette();
    palette.setColor(QPalette::Window, kFrameColour);
    previewFrame_->setPalette(palette);
    previewFrame_->lower();
    // The control's place inside the preview frame (frame coordinates).
    const QSize hostOrigin = DialogUnitsToPixels(5, 10, pageFont);
    controlHost_->setGeometry(QRect(QPoint(hostOrigin.width(), hostOrigin.height()),
                                    DialogUnitsToPixels(188, 136, pageFont)));
    normalGeometry_[controlHost_] = controlHost_->geometry();

    struct Row {
        const char* label;
        QComboBox* list;
    };
    int y = 5;
    for (const Row& row : {Row{"Capture Device:", device_}, Row{"Video Format:", format_},
                           Row{"Video Input:", input_}, Row{"Audio Device:", audioDevice_},
                           Row{"Audio Input Pin:", audioPin_}, Row{"TV Channel:", channel_}}) {
        put(new QLabel(QString::fromUtf8(row.label), this), 6, y, 112, 9);
        put(row.list, 6, y + 9, row.list == channel_ ? 44 : 112, 12);
        y += 24;
    }
    put(Button("Scan TV Channels"), 52, 128, 68, 14);

    y = 153;
    for (const char* text : {kShowPreview, kCaptureVideo, kCaptureAudio, kMuteTv, kAddOverlay}) {
        put(Check(text), 6, y, 114, 11);
        y += 12;
    }

    struct Place {
        const char* text;
        int x, y, width;
    };
    for (const Place& place : {Place{"Preview", 128, 157, 40}, Place{"?", 170, 157, 14},
                               Place{"Capture", 186, 157, 44}, Place{"Stop", 232, 157, 40},
                               Place{"Pause", 274, 157, 44}, Place{"Resume", 128, 172, 40},
                               Place{"Snapshot", 170, 172, 60}, Place{"Snapshot Settings", 232, 172, 86},
                               Place{"Text/Image Settings", 128, 187, 90},
                               Place{"Device Property Page", 220, 187, 98}, Place{"TV CH+", 128, 202, 40},
                               Place{"TV CH-", 170, 202, 40}, Place{"Size +/-", 212, 202, 40}})
        put(Button(place.text), place.x, place.y, place.width, 14);
}

void VideoCapturePage::Initialise() {
    const HRESULT created = Lumicor().Create(controlHost_);
    controlCreated_ = SUCCEEDED(created);
    if (!controlCreated_)
        std::fprintf(stderr, "orvanta: the capture control cannot be created (0x%08X)\n",
                     static_cast<unsigned>(created));

    DeviceState() = DeviceCaptureState();
    OverlaySettings& overlay = Overlay();
    // The overlay the person set up last time is the one drawn from the start.
    ReadOverlaySettings(IniStore::Instance(), overlay);
    if (overlay.imagePath.empty()) overlay.imagePath = DefaultOverlayImage(programFolder_);
    ApplyOverlay();
    Lumicor().SetTVMute(TRUE);

    FillDeviceLists();
    FillAudioPins();
    for (const char* text : {kShowPreview, kCaptureAudio, kCaptureVideo, kMuteTv, kAddOverlay})
        Check(text)->setChecked(true);
    ApplyOverlay();
    RestoreSelections();
    SetRecordingButtons(false);

    connect(device_, &QComboBox::currentIndexChanged, this, &VideoCapturePage::OnDeviceChanged);
    connect(format_, &QComboBox::currentIndexChanged, this, &VideoCapturePage::OnVideoFormatChanged);
    connect(input_, &QComboBox::currentIndexChanged, this, &VideoCapturePage::OnVideoInputChanged);
    connect(audioDevice_, &QComboBox::currentIndexChanged, this, &VideoCapturePage::OnAudioDeviceChanged);
    connect(channel_, &QComboBox::currentIndexChanged, this, &VideoCapturePage::OnChannelChanged);

    StartPreview();
    timer_->start(1000);
}

void VideoCapturePage::FillDeviceLists() {
    const CLumicor& control = Lumicor();
    Fill(device_, control.Devices().Names(), 0);
    FillFormatsAndInputs();
    Fill(audioDevice_, control.AudioDevices().Names(), 0);
}

void VideoCapturePage::FillFormatsAndInputs() {
    Fill(format_, Lumicor().VideoFormats().Names(), 0);
    Fill(input_, Lumicor().VideoInputs().Names(), 0);
}

void VideoCapturePage::FillAudioPins() {
    const std::vector<std::string> names = Lumicor().AudioInputPins().Names();
    Fill(audioPin_, names, PreferredAudioPin(names));
}

void VideoCapturePage::RestoreSelections() {
    const DeviceSettings& settings = Settings();
    if (auto device = SelectionOf(settings.captureDevice, device_->count()); device && *device != 0) {
        const QSignalBlocker blocker(device_);
        device_->setCurrentIndex(*device);
        // The formats and inputs are the selected device's own.
        Lumicor().SetDevice(static_cast<short>(*device));
        Lumicor().RefreshDevice();
        FillFormatsAndInputs();
    }
    if (auto format = SelectionOf(settings.videoFormat, format_->count())) {
        const QSignalBlocker blocker(format_);
        format_->setCurrentIndex(*format);
    }
    if (auto input = SelectionOf(settings.videoInput, input_->count())) {
        const QSignalBlocker blocker(input_);
        input_->setCurrentIndex(*input);
    }
    if (auto audio = SelectionOf(settings.audioDevice, audioDevice_->count())) {
        const QSignalBlocker blocker(audioDevice_);
        audioDevice_->setCurrentIndex(*audio);
        Lumicor().RefreshAudioInputPin(static_cast<short>(*audio));
        FillAudioPins();
    }
}

void VideoCapturePage::ApplySelections() {
    const CLumicor& control = Lumicor();
    if (int index = control.Devices().Find(device_->currentText().toStdString()); index >= 0)
        control.SetDevice(static_cast<short>(index));
    if (int index = control.VideoInputs().Find(input_->currentText().toStdString()); index >= 0)
        control.SetVideoInput(static_cast<short>(index));
    if (int index = control.VideoFormats().Find(format_->currentText().toStdString()); index >= 0)
        control.SetVideoFormat(static_cast<short>(index));
    if (int index = control.AudioDevices().Find(audioDevice_->currentText().toStdString()); index >= 0) {
        control.SetAudioDevice(static_cast<short>(index));
        control.SetAudioInputPin(static_cast<short>(audioPin_->currentIndex()));
    }
    const SessionAviOptions& avi = DeviceAviOptions();
    if (int index = control.AudioCompressors().Find(avi.audioCompressor); index >= 0)
        control.SetAudioCompressor(static_cast<short>(index));
    if (int index = control.VideoCompressors().Find(avi.videoCompressor); index >= 0)
        control.SetVideoCompressor(static_cast<short>(index));
}

void VideoCapturePage::ApplyOverlay() {
    const bool on = Check(kAddOverlay)->isChecked();
    Button("Text/Image Settings")->setEnabled(on);
    if (on) ApplyOverlaySettings(Lumicor(), Overlay());
    else HideOverlay(Lumicor());
}

void VideoCapturePage::StartPreview() {
    ApplySelections();
    Lumicor().SetCaptureMode(FALSE);
    Lumicor().SetShowPreview(TRUE);
    // A preview that does not start is not reported: the frame stays dark.
    if (const short result = Lumicor().Start(); result != 0)
        std::fprintf(stderr, "orvanta: the preview did not start (%d)\n", result);
    if (Check(kAddOverlay)->isChecked()) ApplyOverlaySettings(Lumicor(), Overlay());
}

void VideoCapturePage::OnPreview() { StartPreview(); }

void VideoCapturePage::OnAddOverlayChanged() { ApplyOverlay(); }

void VideoCapturePage::OnHelp() {
    MessageBox(kSlowVideoText, "Video speed is too slow?", MB_OK | MB_ICONINFORMATION);
}

void VideoCapturePage::OnDevicePropertyPage() {
    StartPreview();
    Lumicor().ShowVideoCapturePropertyPage();
}

void VideoCapturePage::OnMuteTv() { Lumicor().SetTVMute(Check(kMuteTv)->isChecked() ? TRUE : FALSE); }

void VideoCapturePage::OnOverlaySettings() {
    OverlaySettingsDialog dialog(Overlay(), IniStore::Instance(), programFolder_, this);
    dialog.DoModal();
    // Confirmed or not, the control draws what the record now holds.
    ApplyOverlaySettings(Lumicor(), Overlay());
}

void VideoCapturePage::OnScanTvChannels() {
    MessageBox(kScanNotice, {}, MB_OK | MB_ICONINFORMATION);
    {
        const QSignalBlocker blocker(channel_);
        channel_->clear();
    }
    const CLumicor& control = Lumicor();
    control.SetCountryCode(kScanCountry);
    if (!control.ScanTVChannels()) {
        MessageBox(kNoTunerText, {}, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    LumicorCollection channels = control.TVChannels();
    std::vector<std::string> withSignal;
    for (int i = 0; i < channels.Count(); ++i) {
        if (control.ChannelSignal(i) != 0) withSignal.push_back(channels.Name(i));
    }
    Fill(channel_, withSignal, -1);
    if (!withSignal.empty()) channel_->setCurrentIndex(0);
}

void VideoCapturePage::OnChannelChanged() {
    if (channel_->currentIndex() < 0) return;
    bool ok = false;
    const int channel = channel_->currentText().toInt(&ok);
    if (!ok) return;
    Lumicor().SetChannel(static_cast<short>(channel));
    Lumicor().SetTVMute(FALSE);
    Check(kMuteTv)->setChecked(Lumicor().GetTVMute() != 0);
}

void VideoCapturePage::OnChannelStep(int step) {
    const int next = channel_->currentIndex() + step;
    if (next < 0 || next >= channel_->count()) return;
    channel_->setCurrentIndex(next);
}

void VideoCapturePage::OnSize() {
    enlarged_ = !enlarged_;
    const std::vector<QWidget*> topRow = {Button("TV CH+"), Button("Size +/-"), Button("TV CH-")};
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget == captureMenu_ || std::count(topRow.begin(), topRow.end(), widget)) continue;
        if (widget == previewFrame_) continue;
        widget->setVisible(!enlarged_);
    }
    if (enlarged_) {
        // The control fills the page below a row of the three buttons at the top edge.
        const QSize button = DialogUnitsToPixels(40, 14, font());
        for (size_t i = 0; i < topRow.size(); ++i)
            topRow[i]->setGeometry(static_cast<int>(i) * (button.width() + 2), 0, button.width(), button.height());
        const int top = button.height() + 2;
        previewFrame_->setGeometry(0, top, width(), height() - top);
        controlHost_->setGeometry(2, 2, width() - 4, height() - top - 4);
        previewFrame_->setTitle({});
    } else {
        for (auto& [widget, rect] : normalGeometry_) widget->setGeometry(rect);
        previewFrame_->setTitle(QStringLiteral("Preview:"));
    }
    Lumicor().ResizeControl(static_cast<short>(controlHost_->width()), static_cast<short>(controlHost_->height()));
    StartPreview();
}

void VideoCapturePage::OnDeviceChanged() {
    const int index = device_->currentIndex();
    Settings().captureDevice = std::to_string(index + 1);
    const int found = Lumicor().Devices().Find(device_->currentText().toStdString());
    if (found >= 0) {
        // The format and input lists describe the selected device.
        Lumicor().SetDevice(static_cast<short>(found));
        Lumicor().RefreshDevice();
        FillFormatsAndInputs();
        Settings().videoFormat = "1";
        Settings().videoInput = "1";
    }
    StartPreview();
}

void VideoCapturePage::OnVideoFormatChanged() {
    Settings().videoFormat = std::to_string(format_->currentIndex() + 1);
    const QRect normal = normalGeometry_[controlHost_];
    if (!enlarged_) Lumicor().ResizeControl(static_cast<short>(normal.width()), static_cast<short>(normal.height()));
    StartPreview();
}

void VideoCapturePage::OnVideoInputChanged() {
    Settings().videoInput = std::to_string(input_->currentIndex() + 1);
    StartPreview();
}

void VideoCapturePage::OnAudioDeviceChanged() {
    const int index = audioDevice_->currentIndex();
    Lumicor().RefreshAudioInputPin(static_cast<short>(index));
    FillAudioPins();
    Settings().audioDevice = std::to_string(index + 1);
    StartPreview();
}
