#include "app/pages/ScreenWmvDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/pages/WmvProfileFiles.h"
#include "platform/os/FileDialog.h"
#include "app/options/DialogButtonRow.h"
#include "platform/os/MessageBox.h"

namespace {
constexpr int kDefaultType = 0, kAdvancedType = 1, kCustomType = 2;
constexpr int kAdvancedDefault = 5;  // 640x480 High
}  // namespace

std::string WmvChoiceFile(const WmvChoice& choice, const std::string& programFolder) {
    if (choice.type == kCustomType) return choice.customFile;
    if (choice.type == kAdvancedType && choice.advancedIndex >= 0 &&
        choice.advancedIndex < static_cast<int>(kAdvancedWmvProfiles.size())) {
        return programFolder + kWmvProfileFiles[static_cast<size_t>(kAdvancedWmvProfiles[static_cast<size_t>(choice.advancedIndex)])].file;
    }
    return {};
}

ScreenWmvDialog::ScreenWmvDialog(std::vector<std::string> defaultProfiles, std::string programFolder,
                                 WmvChoice& choice, QWidget* parent)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      choice_(choice),
      type_(new QComboBox),
      default_(new QComboBox),
      advanced_(new QComboBox),
      custom_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral("Browse..."))) {
    setWindowTitle(QString::fromUtf8(kWmvOptionsTitle));
    type_->addItems({QStringLiteral("Default Profile"), QStringLiteral("Advanced Profile"),
                     QStringLiteral("Custom Profile")});
    for (const std::string& name : defaultProfiles) default_->addItem(QString::fromStdString(name));
    for (int index : kAdvancedWmvProfiles)
        advanced_->addItem(QString::fromUtf8(kWmvProfileFiles[static_cast<size_t>(index)].name));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Profile Type:")), 0, 0);
    grid->addWidget(type_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Default Profile:")), 1, 0);
    grid->addWidget(default_, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Advanced Profile:")), 2, 0);
    grid->addWidget(advanced_, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Custom Profile:")), 3, 0);
    grid->addWidget(custom_, 3, 1);
    grid->addWidget(browse_, 3, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    AddDialogButtonRow(this, layout, QStringLiteral("Next"), [this] { return OnNext(); });
    connect(browse_, &QPushButton::clicked, this, &ScreenWmvDialog::OnBrowse);
    connect(type_, &QComboBox::currentIndexChanged, this, &ScreenWmvDialog::ApplyType);

    ReadWmvChoice(IniStore::Instance(), choice_);
    type_->setCurrentIndex(kAdvancedType);
    default_->setCurrentIndex(default_->count() > 0 ? 0 : -1);
    advanced_->setCurrentIndex(kAdvancedDefault);
    if (choice_.isChange) {
        // A stored index that no longer names an entry keeps the first choice.
        type_->setCurrentIndex(choice_.type);
        if (choice_.defaultIndex < default_->count()) default_->setCurrentIndex(choice_.defaultIndex);
        if (choice_.advancedIndex < advanced_->count()) advanced_->setCurrentIndex(choice_.advancedIndex);
        custom_->setText(QString::fromStdString(choice_.customFile));
    }
    ApplyType(type_->currentIndex());
}

void ScreenWmvDialog::ApplyType(int type) {
    default_->setEnabled(type == kDefaultType);
    advanced_->setEnabled(type == kAdvancedType);
    custom_->setEnabled(type == kCustomType);
    browse_->setEnabled(type == kCustomType);
}

void ScreenWmvDialog::OnBrowse() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Please select a custom WMV profile:";
    request.filter = "WMV Profile(*.prx)|*.prx||";
    request.initialFolder = programFolder_ + "/WMVFiles";
    request.fileMustExist = true;
    if (std::optional<std::string> file = RunFileDialog(request)) custom_->setText(QString::fromStdString(*file));
}

bool ScreenWmvDialog::OnNext() {
    const std::string custom = custom_->text().trimmed().toStdString();
    if (type_->currentIndex() == kCustomType && custom.empty()) {
        MessageBox(kNoCustomProfileText, "Error", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    choice_.type = type_->currentIndex();
    choice_.defaultIndex = default_->currentIndex() >= 0 ? default_->currentIndex() : 0;
    choice_.advancedIndex = advanced_->currentIndex();
    choice_.customFile = custom;
    choice_.isChange = true;
    WriteWmvChoice(IniStore::Instance(), choice_);
    return true;
}
