#pragma once
// "WMV Output Settings:" before a device recording to WMV: one of the shipped profiles of the
// "WMVFiles" folder, or a custom ".prx" file. The choice lives for the run only.
#include <QDialog>
#include <array>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

struct WmvProfileEntry {
    const char* name;
    const char* file;  // below the program folder
};

// The shipped profiles in list order.
extern const std::array<WmvProfileEntry, 21> kWmvProfiles;

struct DeviceWmvChoice {
    int type = 0;   // 0 default (a shipped profile), 1 custom
    int index = 5;  // in kWmvProfiles
    std::string customPath;
    bool confirmed = false;
};

// The process-wide choice.
DeviceWmvChoice& DeviceWmvProfileChoice();

// The profile file the choice names: the custom path, or the shipped file in `programFolder`.
std::string WmvProfileFile(const DeviceWmvChoice& choice, const std::string& programFolder);

inline constexpr char kWmvOptionsTitle[] = "WMV Output Settings:";
inline constexpr char kNoCustomProfileText[] =
    "You have selected 'Custom Profile' option, but you never select a custom wmv profile. Please "
    "use 'Browse' button in this dialog to select one first.";

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
