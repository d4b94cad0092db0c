#include "app/options/OverlaySettingsDialog.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/options/ColorButton.h"
#include "app/options/OverlayImage.h"
#include "platform/os/FileDialog.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

namespace {

struct Range {
    const char* key;
    int low, high;
};
// The number edits with their ranges, in the order OK checks them.
constexpr Range kRanges[] = {{"TextX", 0, 1000},    {"TextY", 0, 1000},  {"FontSize", 1, 1000},
                             {"DateX", 0, 1000},    {"DateY", 0, 1000},  {"DateSize", 1, 1000},
                             {"ImageX", 0, 1000},   {"ImageY", 0, 1000}, {"ImageAlpha", 0, 100}};

template <size_t N>
QComboBox* List(const std::array<const char*, N>& entries) {
    auto* box = new QComboBox;
    for (const char* entry : entries) box->addItem(QString::fromUtf8(entry));
    return box;
}

QLabel* Label(const char* text) { return new QLabel(QString::fromUtf8(text)); }

}  // namespace

OverlaySettingsDialog::OverlaySettingsDialog(OverlaySettings& settings, IniStore& store, std::string programFolder,
                                             QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      store_(store),
      programFolder_(std::move(programFolder)),
      displayText_(new QCheckBox(QStringLiteral("Display Text"))),
      displayTime_(new QCheckBox(QStringLiteral("Display Time"))),
      overlayImage_(new QCheckBox(QStringLiteral("Overlay Image"))),
      text_(new QLineEdit),
      font_(new QComboBox),
      textStyle_(List(kOverlayStyles)),
      timeFormat_(List(kDateFormats)),
      dateStyle_(List(kOverlayStyles)),
      imagePath_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral("Browse"))),
      textColour_(new ColorButton),
      dateColour_(new ColorButton),
      transparentColour_(new ColorButton) {
    setObjectName(QStringLiteral("OverlaySettingsDialog"));
    setWindowTitle(QStringLiteral("Advanced Settings"));
    for (const Range& range : kRanges) AddNumber(range.key);
    imagePath_->setReadOnly(true);
    imagePath_->setMinimumWidth(240);
    font_->setEditable(false);
    QStringList families = QFontDatabase::families();
    QCollator collator;
    std::sort(families.begin(), families.end(), collator);
    font_->addItems(families);

    auto* grid = new QGridLayout;
    int row = 0;
    auto pair = [&](const char* label, QWidget* field, int column = 0, int span = 1) {
        grid->addWidget(Label(label), row, column);
        grid->addWidget(field, row, column + 1, 1, span);
    };
    auto position = [&](const char* label, const char* left, const char* top) {
        grid->addWidget(Label(label), row, 0);
        auto* both = new QHBoxLayout;
        both->addWidget(Number(left));
        both->addWidget(Label("(top:)"));
        both->addWidget(Number(top));
        both->addStretch();
        grid->addLayout(both, row, 1);
    };
    grid->addWidget(displayText_, row++, 0, 1, 4);
    pair("Text:", text_, 0, 3);
    ++row;
    pair("Text/Time Font Name:", font_, 0, 3);
    ++row;
    position("Text Position: (left)", "TextX", "TextY");
    pair("Font Size:", Number("FontSize"), 2);
    ++row;
    pair("Text Color:", textColour_);
    pair("Text Style:", textStyle_, 2);
    ++row;
    grid->addWidget(displayTime_, row++, 0, 1, 4);
    pair("Time Format:", timeFormat_, 0, 3);
    ++row;
    position("Time Position: (left)", "DateX", "DateY");
    pair("DateTime Size:", Number("DateSize"), 2);
    ++row;
    pair("DateTime Color:", dateColour_);
    pair("DateTime Style:", dateStyle_, 2);
    ++row;
    grid->addWidget(overlayImage_, row++, 0, 1, 4);
    position("Image Position: (left)", "ImageX", "ImageY");
    ++row;
    pair("Image Path:", imagePath_, 0, 2);
    grid->addWidget(browse_, row++, 3);
    pair("Transparent Color:", transparentColour_);
    pair("Transparent Color Alpha: (0-100)", Number("ImageAlpha"), 2);
    ++row;

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &OverlaySettingsDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    ReadOverlaySettings(store_, settings_);
    Show(settings_);
    ApplyEnabling();
    for (QCheckBox* box : {displayText_, displayTime_, overlayImage_})
        connect(box, &QCheckBox::toggled, this, &OverlaySettingsDialog::ApplyEnabling);
    connect(browse_, &QPushButton::clicked, this, &OverlaySettingsDialog::OnBrowse);
}

QLineEdit* OverlaySettingsDialog::AddNumber(const std::string& key) {
    auto* edit = new QLineEdit;
    edit->setMaximumWidth(60);
    numbers_[key] = edit;
    return edit;
}

void OverlaySettingsDialog::Show(const OverlaySettings& s) {
    displayText_->setChecked(s.isText);
    displayTime_->setChecked(s.isDate);
    overlayImage_->setChecked(s.isImage);
    text_->setText(QString::fromStdString(s.text));
    const QString font = QString::fromStdString(s.font);
    if (font_->findText(font) < 0) font_->addItem(font);  // a face not installed here stays chosen
    font_->setCurrentIndex(font_->findText(font));
    textStyle_->setCurrentIndex(s.fontType);
    timeFormat_->setCurrentIndex(s.dateFormat);
    dateStyle_->setCurrentIndex(s.dateType);
    textColour_->SetColour(s.textColor);
    dateColour_->SetColour(s.dateColor);
    transparentColour_->SetColour(s.imageTColor);
    imagePath_->setText(QString::fromStdString(s.imagePath));
    const std::map<std::string, int> values = {
        {"TextX", s.textX},   {"TextY", s.textY},       {"FontSize", s.fontSize},
        {"DateX", s.dateX},   {"DateY", s.dateY},       {"DateSize", s.dateSize},
        {"ImageX", s.imageX}, {"ImageY", s.imageY},     {"ImageAlpha", s.imageAlpha}};
    for (const auto& [key, value] : values) Number(key)->setText(QString::number(value));
}

bool OverlaySettingsDialog::DoModal() { return RunModalDialog(*this) == QDialog::Accepted; }

void OverlaySettingsDialog::ApplyEnabling() {
    const bool time = displayTime_->isChecked();
    for (QWidget* widget : {static_cast<QWidget*>(timeFormat_), static_cast<QWidget*>(Number("DateX")),
                            static_cast<QWidget*>(Number("DateY")), static_cast<QWidget*>(Number("DateSize")),
                            static_cast<QWidget*>(dateStyle_)})
        widget->setEnabled(time);
    const bool text = displayText_->isChecked();
    for (QWidget* widget : {static_cast<QWidget*>(text_), static_cast<QWidget*>(Number("TextX")),
                            static_cast<QWidget*>(Number("TextY")), static_cast<QWidget*>(font_),
                            static_cast<QWidget*>(Number("FontSize"))})
        widget->setEnabled(text);
    const bool image = overlayImage_->isChecked();
    for (QWidget* widget : {static_cast<QWidget*>(browse_), static_cast<QWidget*>(Number("ImageX")),
                            static_cast<QWidget*>(Number("ImageY")), static_cast<QWidget*>(Number("ImageAlpha"))})
        widget->setEnabled(image);
}

void OverlaySettingsDialog::OnBrowse() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Please select an overlay image:";
    request.filter = OverlayImageFilter();
    request.fileMustExist = true;
    request.initialFolder = programFolder_ + "/logo";
    std::optional<std::string> file = RunFileDialog(request);
    if (!file) return;
    std::optional<OverlayImageCopy> copy = MakeOverlayImageCopy(*file, programFolder_);
    if (!copy) {
        imagePath_->clear();
        return;
    }
    transparentColour_->SetColour(copy->transparent);
    imagePath_->setText(QString::fromStdString(copy->bmpPath));
}

void OverlaySettingsDialog::OnOK() {
    std::map<std::string, int> values;
    for (const Range& range : kRanges) {
        QLineEdit* edit = Number(range.key);
        bool ok = false;
        const int value = edit->text().trimmed().toInt(&ok);
        if (!ok || value < range.low || value > range.high) {
            MessageBox("Please enter an integer between " + std::to_string(range.low) + " and " +
                           std::to_string(range.high) + ".",
                       {}, MB_OK | MB_ICONEXCLAMATION);
            edit->setFocus();
            edit->selectAll();
            return;
        }
        values[range.key] = value;
    }
    OverlaySettings& s = settings_;
    s.text = text_->text().toStdString();
    s.font = font_->currentText().toStdString();
    s.imagePath = imagePath_->text().toStdString();
    if (s.imagePath.empty()) s.imagePath = DefaultOverlayImage(programFolder_);
    s.textX = values["TextX"];
    s.textY = values["TextY"];
    s.fontSize = values["FontSize"];
    s.dateX = values["DateX"];
    s.dateY = values["DateY"];
    s.dateSize = values["DateSize"];
    s.imageX = values["ImageX"];
    s.imageY = values["ImageY"];
    s.imageAlpha = values["ImageAlpha"];
    s.fontType = textStyle_->currentIndex();
    s.dateFormat = timeFormat_->currentIndex();
    s.dateType = dateStyle_->currentIndex();
    s.textColor = textColour_->GetColour();
    s.dateColor = dateColour_->GetColour();
    s.imageTColor = transparentColour_->GetColour();
    s.isText = displayText_->isChecked();
    s.isDate = displayTime_->isChecked();
    s.isImage = overlayImage_->isChecked();
    if (!WriteOverlaySettings(store_, s))
        std::fprintf(stderr, "orvanta: the overlay settings could not be written to %s\n", store_.Path().c_str());
    accept();
}
