#pragma once
// The "Limit Capture Time" dialog that the broadcast page's Limit Time opens: how many seconds a
// scheduled recording or broadcast runs, and whether the computer shuts down when it is over.
// It edits the process-wide CaptureLimitSeconds and ShutdownAfterCapture. UI thread only.
#include <QDialog>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;

// The limit a person typed: the decimal seconds when it is a positive whole number that fits in
// 64 bits (blanks around it allowed), nothing otherwise.
std::optional<int64_t> ParseCaptureLimit(const std::string& text);

class LimitCaptureTime : public QDialog {
    Q_OBJECT
public:
    explicit LimitCaptureTime(QWidget* parent = nullptr);

    // Shows the process's limit and runs modally: IDOK when OK stored the choice, else IDCANCEL.
    int DoModal();
    // OK: stores the choice and closes, or tells the person the number is not valid and stays.
    void OnOk();

    QCheckBox* SpecifyBox() const { return specify_; }
    QLineEdit* SecondsEdit() const { return seconds_; }
    QComboBox* WhenOver() const { return whenOver_; }

private:
    void EnableFields(bool on);

    QCheckBox* specify_;
    QLineEdit* seconds_;
    QComboBox* whenOver_;
};
