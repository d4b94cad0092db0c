#pragma once
// "WMV Output Settings:" before a device recording to WMV: one of the shipped profiles of the
// "WMVFiles" folder, or a custom ".prx" file. The choice lives for the run only.
#include <QDialog>
#include <array>
#include <string>

#include "app/pages/WmvProfileFiles.h"

class QComboBox;
class QLineEdit;
class QPushButton;

struct DeviceWmvChoice {
    int type = 0;   // 0 default (a shipped profile), 1 custom
    int index = 5;  // in kWmvProfileFiles
    std::string customPath;
    bool confirmed = false;
};

// The process-wide choice.
DeviceWmvChoice& DeviceWmvProfileChoice();

// The profile file the choice names: the custom path, or the shipped file in `programFolder`.
std::string WmvProfilePath(const DeviceWmvChoice& choice, const std::string& programFolder);

class WmvProfileDialog : public QDialog {
    Q_OBJECT
public:
    WmvProfileDialog(DeviceWmvChoice& choice, std::string programFolder, QWidget* parent = nullptr);

    bool DoModal();

    QComboBox* Type() const { return type_; }
    QComboBox* Profiles() const { return profiles_; }
    QLineEdit* CustomPath() const { return path_; }
    QPushButton* Browse() const { return browse_; }

    void OnTypeChanged();
    void OnBrowse();
    void OnOK();

private:
    DeviceWmvChoice& choice_;
    std::string programFolder_;
    QComboBox* type_;
    QComboBox* profiles_;
    QLineEdit* path_;
    QPushButton* browse_;
};
