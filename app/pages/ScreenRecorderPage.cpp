#include "app/pages/ScreenRecorderPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "app/options/BalloonTip.h"
#include "app/options/FlashOutputDialog.h"
#include "app/options/Mp3QualityDialog.h"
#include "app/options/ScreenAviDialog.h"
#include "app/pages/DynamicFocus.h"
#include "app/pages/HoverTip.h"
#include "app/pages/RegionSelector.h"
#include "app/pages/ScreenWmvDialog.h"
#include "app/pages/WindowPicker.h"
#include "app/shell/ConfigSections.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

namespace {

constexpr const char* kSaveTitle = "Please specify an output filename:";
constexpr std::array<const char*, 5> kAudioKeywords = {"what you hear", "what u hear", "stereo mix", "wave/mp3",
                                                       "wave"};
constexpr std::array<const char*, kHotKeyCount> kHotKeyLabels = {
    "Start: Ctrl+", "Pause: Ctrl+", "Stop: Ctrl+", "Dynamic Focus: Ctrl+", "Cancel Dynamic Focus: Ctrl+"};

constexpr char kPlusTip[] =
    "Click and drag this 'Plus Icon' to any window you open,\nit will focus the window. When the focus box select "
    "the\nright capture area, you can release the mouse.\n\nNote: If you want to capture the full screen, just "
    "drag\nthe 'Plus Icon' on the desktop.";
constexpr char kCutTip[] =
    "Click this 'Cut Icon'. When the screen becomes gray,\nclick and drag a rectangle to locate the capture "
    "area.\nYou can press OK button or press the ENTER key to\nconfirm the selected region.";
constexpr char kVideoModeTip[] =
    "When you capture some video players or games,\nyou will get nothing. If this happens, You can\nenable this "
    "advanced feature. Don't check this\noption if you can capture the video successfully\nwithout this feature.";
constexpr char kFocusTip[] =
    "Use shortcut keys to enable 'Dynamic Focus' feature\nwhich will enlarge the area where the mouse is "
    "located,\nit is helpful when you want an area look larger and more\nclearly. You can also use shortcut keys "
    "to disable this\nfeature and switch to full-screen capture mode.";
constexpr char kTipsTitle[] = "Warning";
constexpr char kTipsText[] =
    "1. DON'T move the window when you have selected it as a capture object.\n2. For more help, please visit our "
    "web site.";

bool HasKeyword(const std::string& name) {
    const QString lower = QString::fromStdString(name).toLower();
    for (const char* key : kAudioKeywords)
        if (lower.contains(QString::fromUtf8(key))) return true;
    return false;
}

// The pictures of the two picking icons: a plus in a circle and a pair of scissors' cut frame.
QPixmap IconPicture(bool plus, bool dragging) {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(dragging ? QColor(160, 160, 160) : QColor(0, 90, 170), 2));
    if (plus) {
        if (!dragging) p.drawEllipse(QRectF(3, 3, 26, 26));
        p.drawLine(16, 7, 16, 25);
        p.drawLine(7, 16, 25, 16);
    } else {
        p.setPen(QPen(QColor(0, 90, 170), 2, Qt::DashLine));
        p.drawRect(QRectF(5, 5, 22, 22));
    }
    return picture;
}

int EditNumber(const QLineEdit* edit) { return edit->text().trimmed().toInt(); }

}  // namespace

ScreenFormatFile FileOfFormat(int format) {
    switch (format) {
        case kFormatAvi: return {"AVI files|*.avi;*.AVI||", "avi"};
        case kFormatFlv: return {"FLV files|*.flv;*.FLV||", "flv"};
        case kFormatSwf: return {"SWF files|*.swf;*.SWF||", "swf"};
        default: return {"WMV files|*.wmv;*.WMV||", "wmv"};
    }
}

ScreenRecorderPage::ScreenRecorderPage(Services services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("Screen Recorder"));
    focus_ = std::make_unique<DynamicFocus>(
        [this](int l, int t, int r, int b) {
            control_.SetCaptureRect(static_cast<short>(l), static_cast<short>(t), static_cast<short>(r),
                                    static_cast<short>(b));
        },
        [this] { return picker_->Pointer(); });
    second_ = new QTimer(this);
    second_->setInterval(1000);
    connect(second_, &QTimer::timeout, this, &ScreenRecorderPage::OnSecond);
    BuildControls();
    picker_ = new WindowPicker(this, [this](const CaptureArea& area) { SetArea(area); });
    tip_ = new HoverTip(this);
    OnInitDialog();
}

ScreenRecorderPage::~ScreenRecorderPage() {
    // A recording still running ends with its file complete.
    if (recording_ || paused_) control_.Stop();
}

void ScreenRecorderPage::BuildControls() {
    format_ = new QComboBox;
    format_->addItems({QStringLiteral("Save as WMV format"), QStringLiteral("Save as AVI/MPEG4 format"),
                       QStringLiteral("Save as Flash FLV format"), QStringLiteral("Save as Flash SWF format")});
    frameRate_ = new QComboBox;
    for (int rate : kScreenFrameRates) frameRate_->addItem(QString::number(rate));
    videoMode_ = new QCheckBox(QStringLiteral("Video Capture Mode"));
    audio_ = new QCheckBox(QStringLiteral("Capture Audio"));
    mouse_ = new QCheckBox(QStringLiteral("Capture Mouse"));
    hide_ = new QCheckBox(QStringLiteral("Hide Dialog When Capture"));
    audioDevice_ = new QComboBox;
    audioPin_ = new QComboBox;
    volume_ = new QSlider(Qt::Horizontal);
    volume_->setRange(0, 100);
    focusLabel_ = new QLabel(QStringLiteral("<u>What is Dynamic Focus?</u>"));
    focusLabel_->setObjectName(QStringLiteral("FocusLabel"));
    plusIcon_ = new QLabel;
    plusIcon_->setObjectName(QStringLiteral("PlusIcon"));
    plusIcon_->setPixmap(IconPicture(true, false));
    cutIcon_ = new QLabel;
    cutIcon_->setObjectName(QStringLiteral("CutIcon"));
    cutIcon_->setPixmap(IconPicture(false, false));
    auto makeEdit = [] {
        auto* edit = new QLineEdit;
        edit->setValidator(new QIntValidator(0, 10000, edit));
        edit->setMaximumWidth(60);
        return edit;
    };
    left_ = makeEdit();
    top_ = makeEdit();
    width_ = makeEdit();
    height_ = makeEdit();
    capture_ = new QPushButton(QStringLiteral("Capture"));
    pause_ = new QPushButton(QStringLiteral("Pause"));
    stop_ = new QPushButton(QStringLiteral("Stop"));
    tips_ = new QPushButton(QStringLiteral("Tips"));
    pause_->setEnabled(false);
    stop_->setEnabled(false);
    // The control shows nothing; it lives in a tiny child.
    controlHost_ = new QWidget(this);
    controlHost_->setFixedSize(1, 1);

    auto* options = new QGridLayout;
    options->addWidget(new QLabel(QStringLiteral("Record Format:")), 0, 0);
    options->addWidget(format_, 0, 1, 1, 2);
    options->addWidget(new QLabel(QStringLiteral("Frame Rate:")), 1, 0);
    options->addWidget(frameRate_, 1, 1);
    options->addWidget(new QLabel(QStringLiteral("fps")), 1, 2);
    options->addWidget(videoMode_, 2, 0, 1, 3);
    options->addWidget(audio_, 3, 0);
    options->addWidget(mouse_, 3, 1, 1, 2);
    options->addWidget(hide_, 4, 0, 1, 3);
    options->addWidget(new QLabel(QStringLiteral("Capture Audio Device:")), 5, 0);
    options->addWidget(audioDevice_, 5, 1, 1, 2);
    options->addWidget(new QLabel(QStringLiteral("Audio Input Pin:")), 6, 0);
    options->addWidget(audioPin_, 6, 1, 1, 2);
    options->addWidget(new QLabel(QStringLiteral("Volume:")), 7, 0);
    options->addWidget(volume_, 7, 1, 1, 2);

    auto* hotKeys = new QGridLayout;
    for (int row = 0; row < kHotKeyCount; ++row) {
        auto* edit = new QLineEdit;
        edit->setMaxLength(1);
        edit->setMaximumWidth(30);
        keys_[static_cast<size_t>(row)] = edit;
        hotKeys->addWidget(new QLabel(QString::fromUtf8(kHotKeyLabels[static_cast<size_t>(row)])), row, 0);
        hotKeys->addWidget(edit, row, 1);
    }
    hotKeys->addWidget(focusLabel_, kHotKeyCount, 0, 1, 2);

    auto* area = new QGridLayout;
    area->addWidget(new QLabel(QStringLiteral("Select Capture Area:")), 0, 0, 1, 2);
    area->addWidget(plusIcon_, 0, 2);
    area->addWidget(cutIcon_, 0, 3);
    const std::array<std::pair<const char*, QLineEdit*>, 4> edits = {
        {{"Left:", left_}, {"Top:", top_}, {"Width:", width_}, {"Height:", height_}}};
    for (size_t i = 0; i < edits.size(); ++i) {
        area->addWidget(new QLabel(QString::fromUtf8(edits[i].first)), 1 + static_cast<int>(i) / 2,
                        static_cast<int>(i % 2) * 2);
        area->addWidget(edits[i].second, 1 + static_cast<int>(i) / 2, static_cast<int>(i % 2) * 2 + 1);
    }

    auto* right = new QVBoxLayout;
    right->addLayout(hotKeys);
    right->addLayout(area);
    auto* top = new QHBoxLayout;
    top->addLayout(options, 1);
    top->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(capture_);
    buttons->addWidget(pause_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(tips_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(capture_, &QPushButton::clicked, this, &ScreenRecorderPage::OnCapture);
    connect(pause_, &QPushButton::clicked, this, &ScreenRecorderPage::OnPause);
    connect(stop_, &QPushButton::clicked, this, &ScreenRecorderPage::OnStop);
    connect(tips_, &QPushButton::clicked, this, &ScreenRecorderPage::OnTips);
    connect(audioDevice_, &QComboBox::activated, this, &ScreenRecorderPage::OnAudioDeviceChanged);
    for (QWidget* w : {static_cast<QWidget*>(plusIcon_), static_cast<QWidget*>(cutIcon_),
                       static_cast<QWidget*>(videoMode_), static_cast<QWidget*>(focusLabel_)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

void ScreenRecorderPage::OnInitDialog() {
    if (HRESULT hr = control_.Create(controlHost_); FAILED(hr)) {
        std::fprintf(stderr, "orvanta: the screen capture control cannot be created (0x%08X); screen recording is "
                             "off\n", static_cast<unsigned>(hr));
        capture_->setEnabled(false);
    }
    FillAudioDevices();

    ReadScreenSettings(IniStore::Instance(), ScreenSettings());
    const ScreenRecorderSettings& s = ScreenSettings();
    audio_->setChecked(s.isAddAudio);
    mouse_->setChecked(s.isCatchCursor);
    hide_->setChecked(s.isStartMinSize);
    volume_->setValue(s.volume);
    format_->setCurrentIndex(s.format);
    frameRate_->setCurrentIndex(s.fpsIndex);
    for (int row = 0; row < kHotKeyCount; ++row)
        keys_[static_cast<size_t>(row)]->setText(QString(QChar(s.keys[static_cast<size_t>(row)])));

    if (control_) {
        const int screenWidth = static_cast<int>(control_.GetScreenWidth());
        SetArea({0, 0, screenWidth, static_cast<int>(control_.GetScreenHeight())});
    }

    if (services_.applyHotKeys) {
        std::array<std::string, 5> edits;
        for (size_t i = 0; i < edits.size(); ++i) edits[i] = keys_[i]->text().toStdString();
        services_.applyHotKeys(edits);
    }
}

void ScreenRecorderPage::FillPins(bool byKeyword) {
    audioPin_->clear();
    const std::vector<std::string> pins = control_.AudioInputPins().Names();
    int pick = pins.empty() ? -1 : 0;
    if (byKeyword) {
        for (size_t i = 0; i < pins.size(); ++i) {
            if (HasKeyword(pins[i])) {
                pick = static_cast<int>(i);
                break;
            }
        }
    }
    for (const std::string& pin : pins) audioPin_->addItem(QString::fromStdString(pin));
    audioPin_->setCurrentIndex(pick);
}

void ScreenRecorderPage::FillAudioDevices() {
    const std::vector<std::string> devices = control_.AudioDevices().Names();
    for (const std::string& name : devices) audioDevice_->addItem(QString::fromStdString(name));
    if (devices.empty()) return;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (HasKeyword(devices[i])) {
            audioDevice_->setCurrentIndex(static_cast<int>(i));
            FillPins(false);
            return;
        }
    }
    // No device by name: the first one with a pin by name.
    for (size_t i = 0; i < devices.size(); ++i) {
        audioDevice_->setCurrentIndex(static_cast<int>(i));
        control_.RefreshAudioInputPins(static_cast<short>(i));
        for (const std::string& pin : control_.AudioInputPins().Names()) {
            if (HasKeyword(pin)) {
                FillPins(true);
                return;
            }
        }
    }
    audioDevice_->setCurrentIndex(0);
    control_.RefreshAudioInputPins(0);
    FillPins(true);
}

void ScreenRecorderPage::OnAudioDeviceChanged(int index) {
    if (index < 0) return;
    control_.RefreshAudioInputPins(static_cast<short>(index));
    FillPins(true);
}

CaptureArea ScreenRecorderPage::Area() const {
    return {EditNumber(left_), EditNumber(top_), EditNumber(width_), EditNumber(height_)};
}

void ScreenRecorderPage::SetArea(const CaptureArea& area) {
    left_->setText(QString::number(area.left));
    top_->setText(QString::number(area.top));
    width_->setText(QString::number(area.width));
    height_->setText(QString::number(area.height));
}

void ScreenRecorderPage::SetRecordingButtons(bool recording) {
    stop_->setEnabled(true);
    capture_->setText(recording ? QStringLiteral("Capture") : QStringLiteral("Resume"));
    capture_->setEnabled(!recording);
    pause_->setEnabled(recording);
    recording_ = recording;
    paused_ = !recording;
}

bool ScreenRecorderPage::ChooseFormatOptions(int format, const CaptureArea& recorded, std::string* file) {
    const ScreenFormatFile kind = FileOfFormat(format);
    IniStore& store = IniStore::Instance();
    auto ready = [&]() -> bool {
        if (!services_.readyToRecord) return false;
        std::optional<std::string> chosen =
            services_.readyToRecord(kind.filter, kSaveTitle, kind.extension, hide_->isChecked());
        if (!chosen || chosen->empty()) return false;
        *file = *chosen;
        return true;
    };
    const auto width = static_cast<short>(recorded.width), height = static_cast<short>(recorded.height);
    if (format == kFormatAvi) {
        control_.SetOutputKind(kScreenOutputAvi);
        AviOptions& options = ScreenAviOptions();
        ScreenAviDialog dialog(options, this);
        if (RunModalDialog(dialog) != QDialog::Accepted || !ready()) return false;
        control_.SetUseAudioCompressor(options.isSetAudio);
        control_.SetUseVideoCompressor(options.isSetVideo);
        if (options.isSetAudio) {
            control_.SetAudioCompressor(static_cast<short>(options.audio));
            // The control applies these only when the chosen compressor is its MP3 encoder,
            // wherever that stands in its list.
            const Mp3Quality quality = Mp3QualityOf(options.mp3Mode);
            control_.SetMP3Bitrate(quality.kbps);
            control_.SetMP3SampleRate(quality.hertz);
        }
        if (options.isSetVideo) control_.SetVideoCompressor(static_cast<short>(options.video));
    } else if (format == kFormatWmv) {
        control_.SetOutputKind(kScreenOutputWmv);
        WmvChoice& choice = ScreenWmvChoice();
        ScreenWmvDialog dialog(control_.WMVProfiles().Names(), services_.programFolder, choice, this);
        if (RunModalDialog(dialog) != QDialog::Accepted || !ready()) return false;
        if (choice.type == 0) control_.SetWMVProfile(static_cast<short>(choice.defaultIndex));
        control_.SetWMVProfileFile(WmvChoiceFile(choice, services_.programFolder));
    } else {
        const bool flv = format == kFormatFlv;
        control_.SetOutputKind(flv ? kScreenOutputFlv : kScreenOutputSwf);
        FlashChoice& choice = flv ? ScreenFlvOptions() : ScreenSwfChoice();
        const FlashKeys& keys = flv ? kFlvKeys : kSwfKeys;
        FlashOutputDialog dialog(flv ? kFlvDialogTitle : kSwfDialogTitle, keys, choice, this);
        if (RunModalDialog(dialog) != QDialog::Accepted || !ready()) return false;
        // The picture is the capture size, which also becomes the stored size.
        choice.width = recorded.width;
        choice.height = recorded.height;
        WriteFlashChoice(store, keys, choice);
        const long channels = choice.channel == 0 ? 2 : 1;
        if (flv) {
            // Mind the ids: FLV has its height (33) before its width (34), SWF the other way round.
            control_.SetFLVWidth(width);
            control_.SetFLVHeight(height);
            control_.SetFLVVideoBitrate(choice.videoBitrate * 1000L);
            control_.SetFLVAudioBitrate(choice.audioBitrate * 1000L);
            control_.SetFLVAudioChannels(channels);
            control_.SetFLVAudioSampleRate(choice.sampleRate);
        } else {
            control_.SetSWFWidth(width);
            control_.SetSWFHeight(height);
            control_.SetSWFVideoBitrate(choice.videoBitrate * 1000L);
            control_.SetSWFAudioBitrate(choice.audioBitrate * 1000L);
            control_.SetSWFAudioChannels(channels);
            control_.SetSWFAudioSampleRate(choice.sampleRate);
        }
    }
    return true;
}

void ScreenRecorderPage::OnCapture() {
    if (!capture_->isEnabled() || recording_) return;
    if (paused_) {
        control_.Resume();
        SetRecordingButtons(true);
        second_->start();
        return;
    }
    if (services_.applyHotKeys) {
        std::array<std::string, 5> edits;
        for (size_t i = 0; i < edits.size(); ++i) edits[i] = keys_[i]->text().toStdString();
        services_.applyHotKeys(edits);
    }
    QWidget* main = services_.mainWindow;
    if (main && main->isMinimized()) main->showNormal();
    const int screenWidth = static_cast<int>(control_.GetScreenWidth());
    const int screenHeight = static_cast<int>(control_.GetScreenHeight());
    const std::optional<CaptureArea> recorded = RecordedArea(Area(), screenWidth, screenHeight);
    if (!recorded) {
        // Nothing to record: an empty area would start a file without a picture.
        MessageBox(kScreenCaptureFailedText, {}, MB_OK | MB_ICONERROR);
        return;
    }
    control_.ResetFailures();
    std::string file;
    if (!ChooseFormatOptions(format_->currentIndex(), *recorded, &file)) return;
    if (hide_->isChecked() && main) main->showMinimized();

    const CaptureArea& a = *recorded;
    control_.SetCaptureWidth(static_cast<short>(a.width));
    control_.SetCaptureHeight(static_cast<short>(a.height));
    control_.SetCaptureRect(static_cast<short>(a.left), static_cast<short>(a.top),
                            static_cast<short>(a.left + a.width), static_cast<short>(a.top + a.height));
    focus_->Reset(ToFocusRect(a));
    const int fpsIndex = frameRate_->currentIndex();
    control_.SetFrameRate(static_cast<short>(kScreenFrameRates[static_cast<size_t>(fpsIndex < 0 ? 0 : fpsIndex)]));
    control_.SetCaptureCursor(mouse_->isChecked());
    control_.SetRecordAudio(audio_->isChecked());
    control_.SetAudioDevice(static_cast<short>(audioDevice_->currentIndex()));
    control_.SetAudioInputPin(static_cast<short>(audioPin_->currentIndex()));
    control_.SetVolume(volume_->value() * 0.01);
    control_.SetFileName(file);
    // A setting that did not reach the control would record something other than was asked.
    const long result = control_.Failures() == 0 ? control_.Start() : -1;
    if (result < 0) {
        const std::string reason = control_.LastError();
        if (!reason.empty()) std::fprintf(stderr, "orvanta: the screen recording did not start: %s\n", reason.c_str());
        MessageBox(kScreenCaptureFailedText, {}, MB_OK | MB_ICONERROR);
        if (hide_->isChecked() && main) main->showNormal();
        return;
    }
    SetRecordingButtons(true);
    WriteSettings();
    stopRequested_ = false;
    second_->start();
}

void ScreenRecorderPage::WriteSettings() {
    ScreenRecorderSettings& s = ScreenSettings();
    s.format = format_->currentIndex();
    s.fpsIndex = frameRate_->currentIndex();
    s.volume = volume_->value();
    s.isAddAudio = audio_->isChecked();
    s.isCatchCursor = mouse_->isChecked();
    s.isStartMinSize = hide_->isChecked();
    WriteScreenSettings(IniStore::Instance(), s);
}

void ScreenRecorderPage::OnPause() {
    if (!pause_->isEnabled() || paused_ || !recording_) return;
    second_->stop();
    control_.Pause();
    SetRecordingButtons(false);
}

void ScreenRecorderPage::OnStop() {
    if (!stop_->isEnabled() || !(recording_ || paused_)) return;
    second_->stop();
    focus_->Stop();
    stopRequested_ = true;
    control_.Stop();
    stop_->setEnabled(false);
    capture_->setText(QStringLiteral("Capture"));
    capture_->setEnabled(true);
    pause_->setEnabled(false);
    recording_ = paused_ = false;
    if (hide_->isChecked() && services_.mainWindow) services_.mainWindow->showNormal();
}

void ScreenRecorderPage::OnSecond() {
    if (stopRequested_) OnStop();
}

void ScreenRecorderPage::ZoomIn() { focus_->ZoomIn(recording_); }
void ScreenRecorderPage::ZoomOut() { focus_->ZoomOut(recording_); }

void ScreenRecorderPage::OnHotKey(int id) {
    switch (id) {
        case kHotKeyStart: OnCapture(); break;
        case kHotKeyPause: OnPause(); break;
        case kHotKeyStop:
            stopRequested_ = true;
            OnStop();
            break;
        case kHotKeyZoomIn: ZoomIn(); break;
        case kHotKeyZoomOut: ZoomOut(); break;
        default: break;
    }
}

void ScreenRecorderPage::OnTips() {
    const QPoint anchor = tips_->mapToGlobal(QPoint(tips_->width() / 2, 0));
    BalloonTip::Show(QString::fromUtf8(kTipsTitle), QString::fromUtf8(kTipsText), anchor, BalloonIcon::Warning,
                     kBalloonPageOptions, this, {}, 0);
}

void ScreenRecorderPage::OnCutIcon() {
    tip_->HideTip();
    mainHiddenForCut_ = false;
    QWidget* main = services_.mainWindow;
    if (hide_->isChecked() && main && main->isVisible()) {
        // Out of sight rather than hidden: hiding the main window would end its modal loop,
        // and the program with it.
        mainPosition_ = main->pos();
        main->move(-main->width() - 10000, -main->height() - 10000);
        mainHiddenForCut_ = true;
    }
    // Give the desktop time to take the hidden window off the screen before it is frozen.
    QTimer::singleShot(100, this, [this] {
        RegionSelector selector(nullptr, [this]() -> std::optional<QPoint> { return picker_->Pointer().toPoint(); });
        if (RunModalDialog(selector) == QDialog::Accepted) {
            const QRect r = selector.Result();
            if (r.width() > 0 && r.height() > 0) SetArea({r.x(), r.y(), r.width(), r.height()});
        }
        if (mainHiddenForCut_ && services_.mainWindow) services_.mainWindow->move(mainPosition_);
        mainHiddenForCut_ = false;
    });
}

void ScreenRecorderPage::ShowHoverTip(QWidget* over) {
    struct Anchor {
        const char* text;
        int fromLeft;
        int pointerFromRight;
    };
    Anchor a{};
    if (over == plusIcon_) a = {kPlusTip, 15, 220};
    else if (over == cutIcon_) a = {kCutTip, 15, 180};
    else if (over == videoMode_) a = {kVideoModeTip, 50, 160};
    else if (over == focusLabel_) a = {kFocusTip, 35, 82};
    else return;
    tip_->ShowTip(QString::fromUtf8(a.text), over->mapToGlobal(QPoint(a.fromLeft, 0)), a.pointerFromRight);
}

bool ScreenRecorderPage::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
            if (widget == plusIcon_) {
                plusIcon_->setPixmap(IconPicture(true, true));
                picker_->Begin(plusIcon_);
                return true;
            }
            if (widget == focusLabel_) {
                focusLabel_->setCursor(Qt::PointingHandCursor);
                ShowHoverTip(focusLabel_);
                return true;
            }
            tip_->HideTip();
            break;
        case QEvent::MouseMove:
            if (widget == plusIcon_ && picker_->Picking()) {
                picker_->Move();
                return true;
            }
            if (widget != focusLabel_) ShowHoverTip(widget);
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
            if (widget == plusIcon_ && picker_->Picking()) {
                picker_->End();
                plusIcon_->setPixmap(IconPicture(true, false));
                return true;
            }
            if (widget == cutIcon_) {
                OnCutIcon();
                return true;
            }
            if (widget == focusLabel_) focusLabel_->unsetCursor();
            break;
        case QEvent::Leave:
            if (widget != focusLabel_) tip_->HideTip();
            break;
        default: break;
    }
    return QWidget::eventFilter(watched, event);
}
