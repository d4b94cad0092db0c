#include "app/pages/LimitCaptureTime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <charconv>

#include "app/pages/DeviceCaptureState.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

std::optional<int64_t> ParseCaptureLimit(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;  // from_chars takes no sign of its own but '-'
    int64_t value = 0;
    auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || value <= 0) return std::nullopt;
    return value;
}

LimitCaptureTime::LimitCaptureTime(QWidget* parent)
    : QDialog(parent),
      specify_(new QCheckBox("Specify a capture stop time", this)),
      seconds_(new QLineEdit(this)),
      whenOver_(new QComboBox(this)) {
    setObjectName("LimitCaptureTime");
    setWindowTitle("Limit Capture Time");
    specify_->setGeometry(14, 12, 260, 22);
    auto* capture = new QLabel("Capture", this);
    capture->setGeometry(32, 44, 56, 20);
    seconds_->setGeometry(90, 42, 100, 24);
    seconds_->setMaxLength(20);
    auto* longLabel = new QLabel("seconds long.", this);
    longLabel->setGeometry(196, 44, 100, 20);
    auto* over = new QLabel("When capture is over:", this);
    over->setGeometry(32, 78, 150, 20);
    whenOver_->setGeometry(180, 75, 150, 26);
    whenOver_->addItems({"Do Nothing", "Shut Down Computer"});
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(90, 118, 80, 28);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(186, 118, 80, 28);
    setFixedSize(350, 160);

    connect(specify_, &QCheckBox::toggled, this, [this](bool on) { EnableFields(on); });
    connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

    const DeviceCaptureState& state = DeviceState();
    specify_->setChecked(!state.CaptureLimitSeconds.empty());
    seconds_->setText(QString::fromStdString(state.CaptureLimitSeconds));
    whenOver_->setCurrentIndex(state.ShutdownAfterCapture == 1 ? 1 : 0);
    EnableFields(specify_->isChecked());
}

int LimitCaptureTime::DoModal() { return RunModalDialog(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

void LimitCaptureTime::EnableFields(bool on) {
    seconds_->setEnabled(on);
    whenOver_->setEnabled(on);
}

void LimitCaptureTime::OnOk() {
    DeviceCaptureState& state = DeviceState();
    const std::string text = seconds_->text().toStdString();
    if (specify_->isChecked() && text.find_first_not_of(" \t") != std::string::npos) {
        std::optional<int64_t> limit = ParseCaptureLimit(text);
        if (!limit) {
            state.CaptureLimitSeconds.clear();
            MessageBox("Please specify a valid number.", {}, MB_OK);
            seconds_->setFocus();
            return;
        }
        state.CaptureLimitSeconds = std::to_string(*limit);
    } else {
        state.CaptureLimitSeconds.clear();
    }
    state.ShutdownAfterCapture = whenOver_->currentIndex() == 1 ? 1 : 0;
    accept();
}
