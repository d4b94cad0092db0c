#pragma once
// The main window: a modal dialog with the three pages on a tab control, the animated picture,
// the splash at start, the About box and the screen recorder's hot keys. Closing it writes
// "settings.ini".
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "app/shell/HotKeys.h"

class AnimatedPicture;
class GlobalHotKeys;
class ScreenRecorderPage;
class SplashWindow;
class TabHost;

inline constexpr char kMainWindowCaption[] = "Orvanta---YOUR POWERFUL CAPTURE TOOL";
inline constexpr char kAboutMenuText[] = "About Orvanta(&A)...";
inline constexpr UINT IDM_ABOUTBOX = 0x0010;

// Tab titles, in tab order.
inline constexpr char kVideoCapturePage[] = "Video Capture";
inline constexpr char kBroadcastPage[] = "Advanced Settings/Broadcast";
inline constexpr char kScreenRecorderPage[] = "Screen Recorder";

class MainWindow : public QDialog {
    Q_OBJECT
public:
    // The window's files come from `programFolder`, its settings go to the settings folder of
    // it; `hotKeys` null: no hot keys.
    explicit MainWindow(std::string programFolder, GlobalHotKeys* hotKeys = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Initialisation, then the dialog modally. (With no screen it ends at once.)
    int RunModal();

    void OnInitDialog();
    void OnSysCommand(UINT id);
    // Runs the Screen Recorder's action for a hot-key message of our table whose key is the
    // letter stored for its id. True when an action ran.
    bool PreTranslateMessage(const HotKeyMessage& message);
    // The Screen Recorder page's ApplyHotKeys with the five edit texts.
    HotKeyOutcome ApplyHotKeys(const std::array<std::string, 5>& edits);
    void OnCancel();

    TabHost* Tabs() const { return tabs_; }
    AnimatedPicture* Picture() const { return picture_; }
    ScreenRecorderPage* ScreenRecorder() const { return screenRecorder_; }
    bool Initialised() const { return initialised_; }
    // The Screen Recorder's hot-key actions (the page installs them); each is guarded against
    // running again while it runs.
    void SetHotKeyAction(std::function<void(int id)> action) { hotKeyAction_ = std::move(action); }
    // The About box (modal).
    void ShowAbout();

protected:
    void reject() override;
    void done(int result) override;
    // Pages hide the window while the person picks a file or records; only closing it may end
    // the modal loop that the program runs in.
    void setVisible(bool visible) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreatePages();
    QString ProgramFile(const char* name) const;
    QIcon ProgramIcon() const;

    std::string programFolder_;
    std::string settingsFolder_;
    GlobalHotKeys* hotKeys_;
    TabHost* tabs_;
    AnimatedPicture* picture_;
    ScreenRecorderPage* screenRecorder_ = nullptr;
    bool initialised_ = false;
    bool closing_ = false;
    std::function<void(int id)> hotKeyAction_;
    std::array<bool, kHotKeyCount> running_{};
    // The letter each id was registered with, as its messages carry it.
    std::array<UINT, kHotKeyCount> registered_{};
};
