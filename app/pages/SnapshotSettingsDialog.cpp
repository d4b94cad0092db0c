#include "app/pages/SnapshotSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/pages/FolderCheck.h"
#include "app/shell/SettingsFile.h"
#include "platform/os/ModalDialog.h"

SnapshotSettingsDialog::SnapshotSettingsDialog(DeviceSettings& settings, bool isVistaOrLater, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      isVistaOrLater_(isVistaOrLater),
      format_(new QComboBox),
      folder_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral("Browse"))) {
    setObjectName(QStringLiteral("SnapshotSettingsDialog"));
    setWindowTitle(QStringLiteral("Snapshot Settings"));
    format_->addItem(QStringLiteral("BMP Format"));
    format_->addItem(QStringLiteral("JPEG Format"));
    format_->setCurrentIndex(settings.snapshotFormat == "1" ? 1 : 0);
    folder_->setText(QString::fromStdString(settings.snapshotFolder));
    folder_->setMinimumWidth(260);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Output Format:")), 0, 0);
    grid->addWidget(format_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Output Path:")), 1, 0);
    grid->addWidget(folder_, 1, 1);
    grid->addWidget(browse_, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SnapshotSettingsDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &SnapshotSettingsDialog::OnBrowse);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

bool SnapshotSettingsDialog::DoModal() { return RunModalDialog(*this) == QDialog::Accepted; }

void SnapshotSettingsDialog::OnBrowse() {
    std::optional<std::string> folder =
        BrowseForOutputFolder("Please select a folder to save",
                              "Please select a folder or create a new folder to save output images.",
                              folder_->text().toStdString());
    if (!folder) return;
    folder_->setText(QString::fromStdString(*folder));
    ConfirmOutputFolder(*folder, SystemFolderWarning::InformOnly, isVistaOrLater_);
}

void SnapshotSettingsDialog::OnOK() {
    const std::string folder = folder_->text().toStdString();
    // A typed folder gets the browser's check: it must be usable, and a missing one is offered to
    // be made.
    if (!AcceptOutputFolder(folder)) {
        folder_->setFocus();
        return;
    }
    if (!ConfirmOutputFolder(folder, SystemFolderWarning::OkCancel, isVistaOrLater_)) return;
    // One character assigned, not a choice of two literals: GCC 12 at -O2 misreads the latter as
    // an overlapping copy (-Wrestrict).
    settings_.snapshotFormat.assign(1, format_->currentIndex() == 1 ? '1' : '0');
    settings_.snapshotFolder = folder;
    accept();
}
