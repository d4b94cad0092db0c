#pragma once
// "Snapshot Settings": the snapshot format (BMP or JPEG) and the folder snapshots go to, stored
// in lines 8 and 9 of "settings.ini".
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
struct DeviceSettings;

class SnapshotSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `isVistaOrLater` turns on the warning against the system's own folders.
    SnapshotSettingsDialog(DeviceSettings& settings, bool isVistaOrLater, QWidget* parent = nullptr);

    bool DoModal();

    QComboBox* Format() const { return format_; }
    QLineEdit* Folder() const { return folder_; }
    QPushButton* Browse() const { return browse_; }

    void OnBrowse();
    void OnOK();

private:
    DeviceSettings& settings_;
    bool isVistaOrLater_;
    QComboBox* format_;
    QLineEdit* folder_;
    QPushButton* browse_;
};
