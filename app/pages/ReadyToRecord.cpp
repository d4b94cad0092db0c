#include "app/pages/ReadyToRecord.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cctype>

#include "app/pages/FolderCheck.h"
#include "app/shell/ShellApp.h"
#include "platform/os/FileDialog.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

namespace {

constexpr int kWidth = 372;
constexpr int kButtonsTop = 118;  // with the status line shown
constexpr int kButtonHeight = 28;

// The first of the status fonts the system can give.
QFont StatusFont() {
    struct Choice {
        const char* family;
        int pixels;
        bool bold;
    };
    for (const Choice& choice : {Choice{"Arial Black", 24, true}, Choice{"Tahoma", 18, false},
                                 Choice{"Arial", 16, true}}) {
        if (!QFontDatabase::hasFamily(choice.family)) continue;
        QFont font(choice.family);
        font.setPixelSize(choice.pixels);
        font.setBold(choice.bold);
        return font;
    }
    QFont font;
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

ReadyToRecord::ReadyToRecord(QWidget* mainWindow, ReadyToRecordRequest request, QWidget* parent)
    : QDialog(parent),
      mainWindow_(mainWindow),
      request_(std::move(request)),
      pathEdit_(new QLineEdit(this)),
      browse_(new QPushButton("Browse", this)),
      enable_(new QCheckBox("Enable Countdown", this)),
      hours_(new QLineEdit(this)),
      minutes_(new QLineEdit(this)),
      seconds_(new QLineEdit(this)),
      status_(new QLabel(this)),
      recordNow_(new QPushButton("Record Now!", this)),
      countdown_(new QPushButton("Countdown Recording", this)),
      ticker_(new QTimer(this)) {
    setObjectName("ReadyToRecord");
    setWindowTitle("Ready to record");
    auto* pathLabel = new QLabel("Output Path:", this);
    pathLabel->setGeometry(12, 10, 200, 18);
    pathEdit_->setGeometry(12, 30, 268, 24);
    pathEdit_->setReadOnly(true);
    browse_->setGeometry(288, 29, 72, 26);
    enable_->setGeometry(12, 66, 150, 22);
    int x = 166;
    for (auto [edit, name] : {std::pair{hours_, "Hr"}, {minutes_, "Min"}, {seconds_, "Sec"}}) {
        edit->setGeometry(x, 65, 40, 24);
        edit->setMaxLength(6);
        auto* label = new QLabel(name, this);
        label->setGeometry(x + 43, 68, 24, 18);
        x += 66;
    }
    status_->setGeometry(12, 90, kWidth - 24, kStatusHeight + 2);
    status_->setFont(StatusFont());
    status_->setAlignment(Qt::AlignCenter);
    recordNow_->setGeometry(24, kButtonsTop, 130, kButtonHeight);
    // Wide enough for "Countdown Recording" in the skin's padded button style.
    countdown_->setGeometry(168, kButtonsTop, 180, kButtonHeight);
    for (QPushButton* button : {browse_, recordNow_, countdown_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setFixedSize(kWidth, kButtonsTop + kButtonHeight + 12);
    ticker_->setSingleShot(true);

    connect(browse_, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(recordNow_, &QPushButton::clicked, this, [this] { OnRecordNow(); });
    connect(countdown_, &QPushButton::clicked, this, [this] { OnCountdown(); });
    connect(enable_, &QCheckBox::toggled, this, [this](bool on) { SetCountdownEnabled(on); });
    connect(ticker_, &QTimer::timeout, this, [this] { OnTick(); });
    connect(hours_, &QLineEdit::textEdited, this,
            [this](const QString& text) { hours_->setText(QString::fromStdString(ClampHoursText(text.toStdString()))); });
    for (QLineEdit* edit : {minutes_, seconds_}) {
        connect(edit, &QLineEdit::textEdited, this, [edit](const QString& text) {
            edit->setText(QString::fromStdString(ClampMinutesOrSecondsText(text.toStdString())));
        });
    }
    OnOpen();
}

ReadyToRecord::~ReadyToRecord() = default;

int ReadyToRecord::DoModal() {
    return RunModalDialog(*this) == QDialog::Accepted ? IDOK : IDCANCEL;
}

void ReadyToRecord::OnOpen() {
    if (mainWindow_ && mainWindow_->isVisible()) mainWindow_->hide();
    path_.clear();
    pathEdit_->clear();
    hours_->setText("0");
    minutes_->setText("0");
    seconds_->setText("10");
    enable_->setChecked(false);
    SetCountdownEnabled(false);
    status_->hide();
    Grow(-kStatusHeight);
}

void ReadyToRecord::SetCountdownEnabled(bool on) {
    countdown_->setEnabled(on);
    for (QLineEdit* edit : {hours_, minutes_, seconds_}) edit->setEnabled(on);
}

void ReadyToRecord::Grow(int by) {
    setFixedSize(width(), height() + by);
    for (QPushButton* button : {recordNow_, countdown_}) button->move(button->x(), button->y() + by);
}

std::string ReadyToRecord::WithExtension(const std::string& path, const std::string& extension) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + "." + extension;
    if (Lower(path.substr(dot + 1)) == Lower(extension)) return path;
    return path.substr(0, dot + 1) + extension;
}

void ReadyToRecord::OnBrowse() {
    FileDialogRequest dialog;
    dialog.kind = FileDialogKind::Save;
    dialog.title = request_.title;
    dialog.filter = request_.filter;
    dialog.defaultExtension = request_.extension;
    dialog.initialFile = path_;
    std::optional<std::string> chosen = RunFileDialog(dialog);
    if (!chosen) return;
    if (!ConfirmOutputFile(*chosen, SystemFolderWarning::OkCancel, IsVistaOrLater != 0)) {
        path_.clear();
        pathEdit_->clear();
        return;
    }
    path_ = WithExtension(*chosen, request_.extension);
    pathEdit_->setText(QString::fromStdString(path_));
}

bool ReadyToRecord::RequirePath() {
    if (!path_.empty()) return true;
    MessageBox("Please specify an output filename first.", "Tips", MB_OK);
    return false;
}

void ReadyToRecord::OnRecordNow() {
    if (!RequirePath()) return;
    Finish();
}

void ReadyToRecord::OnCountdown() {
    if (counting_) {
        CancelCountdown();
        return;
    }
    if (!RequirePath()) return;
    StartCountdown();
}

void ReadyToRecord::StartCountdown() {
    entered_[0] = hours_->text().toStdString();
    entered_[1] = minutes_->text().toStdString();
    entered_[2] = seconds_->text().toStdString();
    const CountdownTime time =
        CountdownTime{EditValue(entered_[0]), EditValue(entered_[1]), EditValue(entered_[2])}.Carried();
    hours_->setText(QString::number(time.hours));
    minutes_->setText(QString::number(time.minutes));
    seconds_->setText(QString::number(time.seconds));
    browse_->setEnabled(false);
    enable_->setEnabled(false);
    for (QLineEdit* edit : {hours_, minutes_, seconds_}) edit->setEnabled(false);
    countdown_->setText("Cancel Countdown");
    Grow(kStatusHeight);
    status_->setText(QString::fromStdString(CountdownStatus(time.TotalSeconds())));
    status_->show();
    total_ = time.TotalSeconds();
    start_ = WallClockNow();
    counting_ = true;
    ticker_->start(100);
}

void ReadyToRecord::OnTick() {
    if (!counting_) return;
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(WallClockNow() - start_).count();
    const int64_t remaining = total_ - std::max<int64_t>(elapsed, 0);
    if (remaining > 0) {
        const CountdownTime left = CountdownTime::FromTotal(remaining);
        hours_->setText(QString::number(left.hours));
        minutes_->setText(QString::number(left.minutes));
        seconds_->setText(QString::number(left.seconds));
        status_->setText(QString::fromStdString(CountdownStatus(remaining)));
        ticker_->start(NextTickMs(remaining));
        return;
    }
    counting_ = false;
    Finish();
}

void ReadyToRecord::CancelCountdown() {
    ticker_->stop();
    counting_ = false;
    browse_->setEnabled(true);
    enable_->setEnabled(true);
    SetCountdownEnabled(enable_->isChecked());
    hours_->setText(QString::fromStdString(entered_[0]));
    minutes_->setText(QString::fromStdString(entered_[1]));
    seconds_->setText(QString::fromStdString(entered_[2]));
    countdown_->setText("Countdown Recording");
    status_->hide();
    Grow(-kStatusHeight);
}

void ReadyToRecord::RestoreMainWindow(bool minimised) {
    if (!mainWindow_) return;
    if (minimised) mainWindow_->showMinimized();
    else mainWindow_->showNormal();
}

void ReadyToRecord::Finish() {
    ticker_->stop();
    RestoreMainWindow(request_.hideWhenCapture);
    accept();
}

void ReadyToRecord::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (enable_->isChecked()) {
            if (!counting_) OnCountdown();
        } else {
            OnRecordNow();
        }
        return;
    }
    QDialog::keyPressEvent(event);  // Escape comes back through reject()
}

void ReadyToRecord::reject() {
    if (counting_) {
        CancelCountdown();
        return;
    }
    RestoreMainWindow(false);
    QDialog::reject();
}
