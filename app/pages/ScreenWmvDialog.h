#pragma once
// "WMV Output Settings:" before a screen recording to WMV: a Default profile of the screen
// capture control's own list, an Advanced profile of the built-in files, or a Custom ".prx" file.
// The choice persists in "WMVDLG"; Next stores it, or with Custom and no file says so and stays.
#include <QDialog>
#include <string>
#include <vector>

#include "app/pages/WmvProfileFiles.h"
#include "app/shell/ConfigSections.h"

class QComboBox;
class QLineEdit;
class QPushButton;


class ScreenWmvDialog : public QDialog {
    Q_OBJECT
public:
    // `defaultProfiles`: the names of the control's WMV profiles.
    ScreenWmvDialog(std::vector<std::string> defaultProfiles, std::string programFolder, WmvChoice& choice,
                    QWidget* parent = nullptr);

    QComboBox* TypeList() const { return type_; }
    QComboBox* DefaultList() const { return default_; }
    QComboBox* AdvancedList() const { return advanced_; }
    QLineEdit* CustomEdit() const { return custom_; }

    bool OnNext();
    void OnBrowse();

private:
    void ApplyType(int type);

    std::string programFolder_;
    WmvChoice& choice_;
    QComboBox* type_;
    QComboBox* default_;
    QComboBox* advanced_;
    QLineEdit* custom_;
    QPushButton* browse_;
};

// The profile file a WMV choice records with: "" for Default (the control's profile index
// decides), the built-in file for Advanced, the custom path for Custom.
std::string WmvChoiceFile(const WmvChoice& choice, const std::string& programFolder);
