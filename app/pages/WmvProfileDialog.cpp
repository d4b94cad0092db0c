#include "app/pages/WmvProfileDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/os/FileDialog.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

DeviceWmvChoice& DeviceWmvProfileChoice() {
    static DeviceWmvChoice choice;
    return choice;
}

std::string WmvProfilePath(const DeviceWmvChoice& choice, const std::string& programFolder) {
    if (choice.type == 1) return choice.customPath;
    const size_t index = choice.index >= 0 && choice.index < static_cast<int>(kWmvProfileFiles.size())
                             ? static_cast<size_t>(choice.index)
                             : 5;
    return programFolder + kWmvProfileFiles[index].file;
}

WmvProfileDialog::WmvProfileDialog(DeviceWmvChoice& choice, std::string programFolder, QWidget* parent)
    : QDialog(parent),
      choice_(choice),
      programFolder_(std::move(programFolder)),
      type_(new QComboBox),
      profiles_(new QComboBox),
      path_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral("Browse..."))) {
    setObjectName(QStringLiteral("WmvProfileDialog"));
    setWindowTitle(QString::fromUtf8(kWmvOptionsTitle));
    type_->addItem(QStringLiteral("Default Profile"));
    type_->addItem(QStringLiteral("Custom Profile"));
    for (const WmvProfileFile& entry : kWmvProfileFiles) profiles_->addItem(QString::fromUtf8(entry.name));
    path_->setReadOnly(true);
    path_->setMinimumWidth(260);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Profile Type:")), 0, 0);
    grid->addWidget(type_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Default Profile:")), 1, 0);
    grid->addWidget(profiles_, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Custom Profile:")), 2, 0);
    grid->addWidget(path_, 2, 1);
    grid->addWidget(browse_, 2, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &WmvProfileDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    type_->setCurrentIndex(0);
    profiles_->setCurrentIndex(5);
    if (choice.confirmed) {
        type_->setCurrentIndex(choice.type);
        if (choice.index >= 0 && choice.index < profiles_->count()) profiles_->setCurrentIndex(choice.index);
        path_->setText(QString::fromStdString(choice.customPath));
    }
    // Opening on a custom type with its path does not browse at once.
    profiles_->setEnabled(type_->currentIndex() == 0);
    browse_->setEnabled(type_->currentIndex() == 1);
    connect(type_, &QComboBox::currentIndexChanged, this, &WmvProfileDialog::OnTypeChanged);
    connect(browse_, &QPushButton::clicked, this, &WmvProfileDialog::OnBrowse);
}

bool WmvProfileDialog::DoModal() { return RunModalDialog(*this) == QDialog::Accepted; }

void WmvProfileDialog::OnTypeChanged() {
    const bool custom = type_->currentIndex() == 1;
    profiles_->setEnabled(!custom);
    browse_->setEnabled(custom);
    if (custom && path_->text().isEmpty()) OnBrowse();
}

void WmvProfileDialog::OnBrowse() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Please select a custom WMV profile:";
    request.filter = "WMV Profile(*.prx)|*.prx||";
    request.initialFolder = programFolder_ + "/WMVFiles";
    request.fileMustExist = true;
    if (std::optional<std::string> file = RunFileDialog(request))
        path_->setText(QString::fromStdString(*file));
}

void WmvProfileDialog::OnOK() {
    if (type_->currentIndex() == 1 && path_->text().isEmpty()) {
        MessageBox(kNoCustomProfileText, "Error", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    choice_.type = type_->currentIndex();
    choice_.index = profiles_->currentIndex();
    choice_.customPath = path_->text().toStdString();
    choice_.confirmed = true;
    accept();
}
