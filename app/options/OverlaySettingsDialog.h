#pragma once
// "Advanced Settings": edits the overlay record (text line, date/time, logo image). Opening reads
// section "TextImg" into the record; OK checks the numbers, stores them and writes the section
// back; Cancel leaves the record as opening read it.
#include <QDialog>
#include <map>
#include <string>

#include "app/options/OverlaySettings.h"

class ColorButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class OverlaySettingsDialog : public QDialog {
    Q_OBJECT
public:
    OverlaySettingsDialog(OverlaySettings& settings, IniStore& store, std::string programFolder,
                          QWidget* parent = nullptr);

    bool DoModal();

    // The number edits by their field key ("FontSize", "TextX", ...).
    QLineEdit* Number(const std::string& key) const { return numbers_.at(key); }
    QCheckBox* DisplayText() const { return displayText_; }
    QCheckBox* DisplayTime() const { return displayTime_; }
    QCheckBox* OverlayImage() const { return overlayImage_; }
    QLineEdit* TextEdit() const { return text_; }
    QComboBox* FontList() const { return font_; }
    QComboBox* TextStyle() const { return textStyle_; }
    QComboBox* TimeFormat() const { return timeFormat_; }
    QComboBox* DateStyle() const { return dateStyle_; }
    QLineEdit* ImagePath() const { return imagePath_; }
    QPushButton* Browse() const { return browse_; }
    ColorButton* TextColour() const { return textColour_; }
    ColorButton* DateColour() const { return dateColour_; }
    ColorButton* TransparentColour() const { return transparentColour_; }

    void ApplyEnabling();
    void OnBrowse();
    void OnOK();

private:
    QLineEdit* AddNumber(const std::string& key);
    void Show(const OverlaySettings& settings);

    OverlaySettings& settings_;
    IniStore& store_;
    std::string programFolder_;
    std::map<std::string, QLineEdit*> numbers_;
    QCheckBox* displayText_;
    QCheckBox* displayTime_;
    QCheckBox* overlayImage_;
    QLineEdit* text_;
    QComboBox* font_;
    QComboBox* textStyle_;
    QComboBox* timeFormat_;
    QComboBox* dateStyle_;
    QLineEdit* imagePath_;
    QPushButton* browse_;
    ColorButton* textColour_;
    ColorButton* dateColour_;
    ColorButton* transparentColour_;
};
