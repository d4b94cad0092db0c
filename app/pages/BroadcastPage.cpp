#include "app/pages/BroadcastPage.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <array>
#include <charconv>
#include <cstdio>

#include "app/network/BroadcasterServerDialog.h"
#include "app/network/MediaPlaylist.h"
#include "app/options/BalloonTip.h"
#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/FolderCheck.h"
#include "app/pages/LimitCaptureTime.h"
#include "app/pages/WmvProfileFiles.h"
#include "app/shell/SettingsFile.h"
#include "app/shell/ShellApp.h"
#include "platform/os/FileDialog.h"
#include "platform/os/LocalAddress.h"
#include "platform/os/MessageBox.h"

namespace {

// The broadcast's qualities: the shipped profiles without the DVD sizes and Full HD, in their
// order, then the custom profile.
constexpr std::array<int, BroadcastPage::kQualityCount - 1> kBroadcastWmvProfiles = {0,  1,  2,  3,  4,  5,
                                                                                     6,  7,  8,  11, 12, 13,
                                                                                     14, 15, 16, 17, 18, 19};
constexpr const char* kCustomQualityText = "Custom WMV Profile (Custom Quality)";

constexpr const char* kCapturingText =
    "Video capture is working now, please stop it before you broadcast the video.";
constexpr const char* kBroadcastingText = "Video is broadcasting now, please stop it first.";
constexpr const char* kPortText = "Please make sure you have input a port number between 0 - 9999!";
constexpr const char* kClientsText = "Maximum Number of Clients must be bigger than zero.";
constexpr const char* kHowTitle = "How to view your broadcast video?";
constexpr const char* kHowText =
    "1. Broadcast quality can be set in 'WMV Quality' option above.\n\n2. You can type the web "
    "address 'mms://(YOUR IP ADDRESS):(YOUR PORT NUMBER)' in Microsoft Internet Explorer(IE) to "
    "view your live video! Currently, your IP address is '%s', the port number that you set in "
    "this dialog panel is '%s', so the full address is 'mms://%s:%s'. Type this full address in "
    "your IE to experience the exciting live video!";
constexpr const char* kBadScheduleText =
    "Please specify a valid date and time (year, month, day, hour, minute and second) to start at.";
constexpr const char* kRecordingFilter =
    "AVI files (*.avi)|*.avi;*.AVI|WMV files (*.wmv)|*.wmv;*.WMV|MPEG files (*.mpg)|*.mpg;*.MPG||";

// A whole number of digits only (what the edits accept), or -1.
long long Number(const QString& text) {
    const std::string digits = text.toStdString();
    long long value = 0;
    auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return -1;
    return value;
}

QFrame* Frame(QWidget* parent, QRect where, const char* colour) {
    auto* frame = new QFrame(parent);
    frame->setGeometry(where);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(colour));
    frame->setPalette(palette);
    return frame;
}

QLabel* Label(QWidget* parent, const QString& text, QRect where) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    return label;
}

}  // namespace

const char* BroadcastPage::QualityText(int index) {
    if (index == kQualityCount - 1) return kCustomQualityText;
    return index >= 0 && index < kQualityCount - 1 ? kWmvProfileFiles[kBroadcastWmvProfiles[index]].name : "";
}

const char* BroadcastPage::QualityFile(int index) {
    return index >= 0 && index < kQualityCount - 1 ? kWmvProfileFiles[kBroadcastWmvProfiles[index]].file : "";
}

BroadcastPage::BroadcastPage(std::string programFolder, QWidget* parent)
    : QWidget(parent), programFolder_(std::move(programFolder)), timer_(new QTimer(this)) {
    setObjectName("Advanced Settings/Broadcast");  // the tab title, as the other pages
    BuildUpperHalf();
    BuildLowerHalf();
    // The limit is the schedule's: it starts empty with every opening of the program.
    DeviceState().CaptureLimitSeconds.clear();
    DeviceState().ShutdownAfterCapture = 0;
    RestoreSettings();
    FillScheduleWithNow();
    connect(timer_, &QTimer::timeout, this, [this] { OnTimer(); });
    timer_->start(1000);
}

BroadcastPage::~BroadcastPage() = default;

void BroadcastPage::BuildUpperHalf() {
    Frame(this, {4, 4, 566, 112}, "#fcfcfc");
    Label(this, "WMV Quality:", {12, 12, 200, 18});
    quality_ = new QComboBox(this);
    quality_->setGeometry(12, 30, 550, 24);
    for (int i = 0; i < kQualityCount; ++i) quality_->addItem(QualityText(i));
    Label(this, "Custom Broadcast Profile:", {12, 60, 200, 18});
    customProfile_ = new QLineEdit(this);
    customProfile_->setGeometry(12, 78, 458, 24);
    customProfile_->setReadOnly(true);
    browse_ = new QPushButton("Browse...", this);
    browse_->setGeometry(476, 77, 86, 26);

    Frame(this, {4, 120, 566, 62}, "#f8f8f8");
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    Label(this, "Broadcast Port:", {12, 126, 110, 18});
    port_ = new QLineEdit(this);
    port_->setGeometry(12, 146, 80, 24);
    port_->setMaxLength(5);
    port_->setValidator(digits);
    Label(this, "Maximum Number of Clients:", {120, 126, 180, 18});
    clients_ = new QLineEdit(this);
    clients_->setGeometry(120, 146, 80, 24);
    clients_->setMaxLength(4);
    clients_->setValidator(digits);
    broadcast_ = new QPushButton("Broadcast!", this);
    broadcast_->setGeometry(300, 144, 90, 28);
    stop_ = new QPushButton("Stop", this);
    stop_->setGeometry(396, 144, 74, 28);
    stop_->setEnabled(false);
    how_ = new QPushButton("How?", this);
    how_->setGeometry(476, 144, 86, 28);

    menu_ = new QMenu(this);
    menu_->addAction("Broadcast from device", this, [this] { StartDeviceBroadcast(); });
    menu_->addAction("Broadcast from video/audio files (DJ)", this, [this] { StartMediaFileBroadcast(); });

    connect(quality_, &QComboBox::activated, this, [this](int index) { OnQualityChanged(index); });
    connect(browse_, &QPushButton::clicked, this, [this] { OnBrowseProfile(); });
    connect(port_, &QLineEdit::textChanged, this, [](const QString& text) { Settings().broadcastPort = text.toStdString(); });
    connect(clients_, &QLineEdit::textChanged, this, [](const QString& text) { Settings().maxClients = text.toStdString(); });
    connect(broadcast_, &QPushButton::clicked, this,
            [this] { menu_->popup(broadcast_->mapToGlobal(QPoint(0, broadcast_->height()))); });
    connect(stop_, &QPushButton::clicked, this, [this] { OnStop(); });
    connect(how_, &QPushButton::clicked, this, [this] { OnHow(); });
}

void BroadcastPage::BuildLowerHalf() {
    Frame(this, {4, 190, 566, 22}, "#f3f3f3");
    Label(this, "Advanced Settings of Auto-Capture", {12, 192, 300, 18});
    Frame(this, {4, 216, 566, 90}, "#f1f1f1");
    static constexpr const char* kNames[6] = {"Y", "M", "D", "H", "M", "S"};
    int x = 12;
    for (size_t i = 0; i < scheduleEdits_.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setGeometry(x, 224, i == 0 ? 46 : 32, 24);
        edit->setMaxLength(i == 0 ? 4 : 2);
        scheduleEdits_[i] = edit;
        x += (i == 0 ? 46 : 32) + 2;
        Label(this, kNames[i], {x, 227, 14, 18});
        x += 14;
    }
    Label(this, "When time is up:", {12, 256, 110, 18});
    whenUp_ = new QComboBox(this);
    whenUp_->setGeometry(12, 274, 220, 24);
    whenUp_->addItems({"Start video capture", "Start broadcast from device"});
    limitTime_ = new QPushButton("Limit Time", this);
    limitTime_->setGeometry(382, 272, 86, 28);
    start_ = new QPushButton("Start", this);
    start_->setGeometry(476, 272, 86, 28);

    connect(limitTime_, &QPushButton::clicked, this, [this] { OnLimitTime(); });
    connect(start_, &QPushButton::clicked, this, [this] { OnScheduleStart(); });
}

void BroadcastPage::RestoreSettings() {
    const DeviceSettings& settings = Settings();
    std::optional<int> chosen = SelectionOf(settings.wmvQuality, kCustomQuality);
    const bool custom = settings.wmvQuality == std::to_string(kCustomQuality + 1);
    if (chosen || custom) {
        SelectQuality(chosen.value_or(kDefaultQuality));
        ApplyQuality();
    } else {
        SelectQuality(kDefaultQuality);  // and no profile set
    }
    port_->setText(QString::fromStdString(settings.broadcastPort.empty() ? "8080" : settings.broadcastPort));
    clients_->setText(QString::fromStdString(settings.maxClients.empty() ? "3" : settings.maxClients));
}

void BroadcastPage::FillScheduleWithNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int values[6] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    for (size_t i = 0; i < scheduleEdits_.size(); ++i) scheduleEdits_[i]->setText(QString::number(values[i]));
}

void BroadcastPage::SelectQuality(int index) {
    quality_->setCurrentIndex(index);
    browse_->setEnabled(index == kCustomQuality);
}

void BroadcastPage::ApplyQuality() {
    const int index = quality_->currentIndex();
    if (index == kCustomQuality && !customProfile_->text().isEmpty()) profileFile_ = customProfile_->text().toStdString();
    else if (index >= 0 && index < kCustomQuality) profileFile_ = programFolder_ + QualityFile(index);
    else profileFile_ = programFolder_ + QualityFile(kDefaultQuality);
    Lumicor().SetWMVCustomFileName(profileFile_);
}

void BroadcastPage::OnQualityChanged(int index) {
    SelectQuality(index);
    ApplyQuality();
    Settings().wmvQuality = index >= 0 ? std::to_string(index + 1) : "0";
    if (index == kCustomQuality) OnBrowseProfile();
}

void BroadcastPage::OnBrowseProfile() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Please select a custom WMV profile:";
    request.filter = "WMV Profile(*.prx)|*.prx||";
    request.initialFolder = programFolder_ + "/WMVFiles";
    request.fileMustExist = true;
    std::optional<std::string> chosen = RunFileDialog(request);
    customProfile_->setText(chosen ? QString::fromStdString(*chosen) : QString());
    ApplyQuality();
}

int BroadcastPage::CheckedPort() {
    const long long port = Number(port_->text());
    if (port < 0 || port > 9999) {
        MessageBox(kPortText, {}, MB_OK | MB_ICONERROR);
        return -1;
    }
    return static_cast<int>(port);
}

bool BroadcastPage::StartDeviceBroadcast() {
    DeviceCaptureState& state = DeviceState();
    if (state.IsDeviceCapturing) {
        MessageBox(kCapturingText, {}, MB_OK | MB_ICONERROR);
        return false;
    }
    // Only the schedule gets here while a broadcast runs (the button is disabled then): the
    // media-file broadcaster's dialog may hold the port, and a running device broadcast would be
    // restarted under its players.
    if (state.IsBroadcasting) {
        MessageBox(kBroadcastingText, {}, MB_OK | MB_ICONERROR);
        return false;
    }
    const int port = CheckedPort();
    if (port < 0) return false;
    const long long clients = std::max(Number(clients_->text()), 0LL);
    ApplyQuality();
    CLumicor& control = Lumicor();
    control.SetBroadCast(TRUE);
    control.SetCaptureMode(FALSE);
    control.SetMaxClients(static_cast<short>(clients));
    control.SetBroadCastPortNo(static_cast<short>(port));
    const short started = control.Start();
    if (started != 0) {
        // Back to the preview the page had before.
        control.SetBroadCast(FALSE);
        const short preview = control.Start();
        std::fprintf(stderr, "orvanta: the device broadcast did not start (%d); preview %d\n", started, preview);
        char text[300];
        std::snprintf(text, sizeof text,
                      "The broadcast could not be started (error %d). Please check that a capture "
                      "device is present and free, and that port %d is not used by another program.",
                      started, port);
        MessageBox(text, {}, MB_OK | MB_ICONERROR);
        return false;
    }
    state.OverlayChanged = true;
    state.IsBroadcasting = true;
    deviceBroadcasting_ = true;
    broadcast_->setEnabled(false);
    quality_->setEnabled(false);
    stop_->setEnabled(true);
    if (!state.CaptureLimitSeconds.empty()) schedule_.StartBroadcastCount();
    return true;
}

void BroadcastPage::OnStop() {
    schedule_.StopBroadcastCount();
    CLumicor& control = Lumicor();
    control.SetBroadCast(FALSE);
    const short preview = control.Start();
    if (preview != 0) std::fprintf(stderr, "orvanta: the preview did not come back after the broadcast (%d)\n", preview);
    DeviceCaptureState& state = DeviceState();
    state.IsBroadcasting = false;
    deviceBroadcasting_ = false;
    broadcast_->setEnabled(true);
    limitTime_->setEnabled(true);
    quality_->setEnabled(true);
    stop_->setEnabled(false);
    DisarmSchedule();
    state.OverlayChanged = true;
}

std::string BroadcastPage::BroadcastAddress() const {
    return "mms://" + GetLocalIPv4Address() + ":" + port_->text().toStdString();
}

void BroadcastPage::StartMediaFileBroadcast() {
    DeviceCaptureState& state = DeviceState();
    if (state.IsDeviceCapturing) {
        MessageBox(kCapturingText, {}, MB_OK | MB_ICONERROR);
        return;
    }
    const int port = CheckedPort();
    if (port < 0) return;
    const long long clients = Number(clients_->text());
    if (clients <= 0) {
        MessageBox(kClientsText, {}, MB_OK | MB_ICONERROR);
        return;
    }
    state.IsBroadcasting = true;
    broadcast_->setEnabled(false);
    BroadcasterServerDialog dialog(static_cast<uint16_t>(port), static_cast<uint16_t>(clients), BroadcastAddress(),
                                   window());
    dialog.DoModal();
    state.IsBroadcasting = false;
    broadcast_->setEnabled(true);
}

void BroadcastPage::OnHow() {
    const std::string address = GetLocalIPv4Address();
    const std::string port = port_->text().toStdString();
    char text[1024];
    std::snprintf(text, sizeof text, kHowText, address.c_str(), port.c_str(), address.c_str(), port.c_str());
    const QPoint anchor = how_->mapToGlobal(QPoint(how_->width() / 2, how_->height()));
    BalloonTip::Show(kHowTitle, QString::fromUtf8(text), anchor, BalloonIcon::Information, kBalloonPageOptions, this,
                     QString(), 0);
}

void BroadcastPage::OnLimitTime() {
    LimitCaptureTime dialog(window());
    dialog.DoModal();
}

void BroadcastPage::DisarmSchedule() {
    schedule_.Disarm();
    limitTime_->setEnabled(true);
    start_->setText("Start");
}

bool BroadcastPage::AskRecordingFile() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = "Please select the output file of the scheduled recording:";
    request.filter = kRecordingFilter;
    request.defaultExtension = "avi";
    std::optional<std::string> chosen = RunFileDialog(request);
    if (!chosen || !ConfirmOutputFile(*chosen, SystemFolderWarning::OkCancel, IsVistaOrLater != 0)) return false;
    DeviceState().RequestedOutputPath = *chosen;
    return true;
}

void BroadcastPage::OnScheduleStart() {
    DeviceCaptureState& state = DeviceState();
    if (schedule_.GetState() != CaptureSchedule::State::Disarmed) {
        const bool startedCapture = schedule_.GetState() == CaptureSchedule::State::Running &&
                                    schedule_.GetAction() == CaptureSchedule::Action::StartVideoCapture;
        schedule_.StopBroadcastCount();
        if (deviceBroadcasting_) OnStop();
        // Only a recording the schedule asked for: a recording the person started by hand is
        // theirs to stop.
        if (startedCapture) state.StopCaptureRequest = true;
        DisarmSchedule();
        return;
    }
    std::array<std::string, 6> fields;
    for (size_t i = 0; i < fields.size(); ++i) fields[i] = scheduleEdits_[i]->text().toStdString();
    std::optional<WallClockTime> when = CaptureSchedule::ScheduledTime(fields);
    if (!when) {
        MessageBox(kBadScheduleText, {}, MB_OK | MB_ICONERROR);
        return;
    }
    const auto action = static_cast<CaptureSchedule::Action>(whenUp_->currentIndex() == 1 ? 1 : 0);
    if (action == CaptureSchedule::Action::StartVideoCapture && !AskRecordingFile()) return;
    schedule_.Arm(*when, action);
    limitTime_->setEnabled(false);
    start_->setText("Stop");
    // A moment already past starts now rather than a second later.
    OnTimer();
}

void BroadcastPage::RunSchedule() {
    if (!schedule_.Tick(WallClockNow())) return;
    if (schedule_.GetAction() == CaptureSchedule::Action::StartVideoCapture) {
        DeviceState().StartCaptureRequest = true;
        return;
    }
    if (!StartDeviceBroadcast()) DisarmSchedule();
}

void BroadcastPage::OnTimer() {
    if (inTimer_) return;
    inTimer_ = true;
    DeviceCaptureState& state = DeviceState();
    if (state.CaptureEnded) {
        state.CaptureEnded = false;
        DisarmSchedule();
    }
    // Counted before the schedule runs, so that a broadcast it starts now counts from the next
    // tick on.
    if (deviceBroadcasting_ && schedule_.CountBroadcastSecond(state.CaptureLimitSeconds)) {
        OnStop();
        // The broadcast has stopped: nothing is left half-written when the computer goes down.
        RunAfterCaptureAction();
    }
    RunSchedule();
    inTimer_ = false;
}
