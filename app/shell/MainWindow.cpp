#include "app/shell/MainWindow.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <cstdio>

#include "app/pages/BroadcastPage.h"
#include "app/pages/ReadyToRecord.h"
#include "app/pages/ScreenRecorderPage.h"
#include "app/pages/VideoCapturePage.h"
#include "app/shell/AnimatedPicture.h"
#include "app/shell/ConfigSections.h"
#include "app/shell/IniStore.h"
#include "app/shell/SettingsFile.h"
#include "app/shell/SplashWindow.h"
#include "app/shell/TabHost.h"
#include "platform/os/DialogUnits.h"
#include "platform/os/Folders.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"
#include "platform/x11/GlobalHotKeys.h"

namespace {

QRect DialogRect(const QFont& font, int x, int y, int width, int height) {
    const QSize origin = DialogUnitsToPixels(x, y, font);
    return QRect(QPoint(origin.width(), origin.height()), DialogUnitsToPixels(width, height, font));
}

}  // namespace

MainWindow::MainWindow(std::string programFolder, GlobalHotKeys* hotKeys, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      programFolder_(std::move(programFolder)),
      settingsFolder_(GetSettingsFolderFor(programFolder_)),
      hotKeys_(hotKeys),
      tabs_(new TabHost(this)),
      picture_(new AnimatedPicture(this)),
      hotKeyAction_() {
    setWindowTitle(QString::fromUtf8(kMainWindowCaption));
    const QRect client = DialogRect(font(), 0, 0, 331, 258);
    setFixedSize(client.size());
    tabs_->setGeometry(DialogRect(font(), 1, 22, 330, 234));
    picture_->move(0, 0);
}

MainWindow::~MainWindow() {
    if (hotKeys_) {
        hotKeys_->SetHandler({});
        for (int row = 0; row < kHotKeyCount; ++row) hotKeys_->UnregisterHotKey(HotKeyId(row));
    }
}

QString MainWindow::ProgramFile(const char* name) const {
    return QString::fromStdString(programFolder_ + "/" + name);
}

QIcon MainWindow::ProgramIcon() const { return QIcon(ProgramFile("orvanta.png")); }

int MainWindow::RunModal() {
    OnInitDialog();
    return RunModalDialog(*this);
}

void MainWindow::OnInitDialog() {
    initialised_ = false;
    const std::string config = ConfigFilePath(settingsFolder_);
    if (!IniStore::Instance().Load(config, true))
        std::fprintf(stderr, "orvanta: cannot create %s\n", config.c_str());
    setWindowIcon(ProgramIcon());

    auto* splash = new SplashWindow(ProgramFile("cmlogo.jpg"), [this] { return initialised_; });
    if (splash->HasPicture() && CanShowDialog()) splash->show();
    else splash->close();

    CreatePages();

    picture_->Load({ProgramFile("anim1.bmp"), ProgramFile("anim2.bmp")});
    picture_->Start(5000);
    picture_->raise();
    initialised_ = true;
}

void MainWindow::CreatePages() {
    // Each page initialises as it is created, in tab order.
    // The Video Capture page restores its selections from "settings.ini" as it initialises.
    ReadSettings(SettingsFilePath(settingsFolder_), Settings());
    if (Settings().snapshotFolder.empty())
        Settings().snapshotFolder = DefaultSnapshotFolder(settingsFolder_);
    tabs_->AddPage(kVideoCapturePage, 0, new VideoCapturePage(programFolder_));

    tabs_->AddPage(kBroadcastPage, 1, new BroadcastPage(programFolder_));

    IniStore& store = IniStore::Instance();
    ReadWmvChoice(store, ScreenWmvChoice());
    ReadSwfChoice(store, ScreenSwfChoice());
    if (hotKeys_) {
        hotKeys_->SetHandler([this](int id) {
            int row = id - kHotKeyStart;
            if (row < 0 || row >= kHotKeyCount) return;
            PreTranslateMessage(
                MakeHotKeyMessage(id, MOD_CONTROL, registered_[static_cast<size_t>(row)]));
        });
        if (!hotKeys_->Available())
            std::fprintf(stderr, "orvanta: no global hot keys: %s\n", hotKeys_->Reason().c_str());
    }
    // The page reads "CatchScreen" and registers the hot keys as it initialises.
    ScreenRecorderPage::Services services;
    services.programFolder = programFolder_;
    services.mainWindow = this;
    services.applyHotKeys = [this](const std::array<std::string, 5>& edits) { return ApplyHotKeys(edits); };
    services.readyToRecord = [this](const std::string& filter, const std::string& title,
                                    const std::string& extension, bool hideWhenCapture) -> std::optional<std::string> {
        ReadyToRecord ready(this, {filter, title, extension, hideWhenCapture});
        if (ready.DoModal() != IDOK) return std::nullopt;
        return ready.PathName();
    };
    screenRecorder_ = new ScreenRecorderPage(std::move(services));
    tabs_->AddPage(kScreenRecorderPage, 2, screenRecorder_);
    SetHotKeyAction([this](int id) { screenRecorder_->OnHotKey(id); });
}

HotKeyOutcome MainWindow::ApplyHotKeys(const std::array<std::string, 5>& edits) {
    if (!hotKeys_) return {HotKeyOutcome::Unavailable, 0};
    HotKeyOutcome outcome =
        ::ApplyHotKeys(*hotKeys_, edits, ScreenSettings(), IniStore::Instance());
    if (outcome.result == HotKeyOutcome::Registered || outcome.result == HotKeyOutcome::Refused) {
        for (int row = 0; row < kHotKeyCount; ++row)
            registered_[static_cast<size_t>(row)] =
                static_cast<UINT>(ScreenSettings().keys[static_cast<size_t>(row)]);
    }
    return outcome;
}

bool MainWindow::PreTranslateMessage(const HotKeyMessage& message) {
    if (message.message != WM_HOTKEY) return false;
    const int id = static_cast<int>(message.wParam);
    const int row = id - kHotKeyStart;
    if (row < 0 || row >= kHotKeyCount) return false;
    const UINT virtualKey = static_cast<UINT>((message.lParam >> 16) & 0xFFFF);
    if (virtualKey != static_cast<UINT>(ScreenSettings().keys[static_cast<size_t>(row)]))
        return false;
    bool& running = running_[static_cast<size_t>(row)];
    if (running || !hotKeyAction_) return false;
    running = true;
    hotKeyAction_(id);
    running = false;
    return true;
}

void MainWindow::OnSysCommand(UINT id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) ShowAbout();
}

void MainWindow::ShowAbout() {
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("About Orvanta"));
    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* text = new QLabel(QStringLiteral("Orvanta\nYour powerful capture tool"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(&about);
    layout->addLayout(row);
    layout->addWidget(buttons);
    RunModalDialog(about);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // X11 dialogs have no system menu of their own: the About entry lives here.
    QMenu menu(this);
    QAction* aboutAction = menu.addAction(QString::fromUtf8(kAboutMenuText));
    if (menu.exec(event->globalPos()) == aboutAction) OnSysCommand(IDM_ABOUTBOX);
}

void MainWindow::OnCancel() {
    const std::string file = SettingsFilePath(settingsFolder_);
    if (!WriteSettings(file, Settings()))
        std::fprintf(stderr, "orvanta: cannot write %s\n", file.c_str());
    QDialog::reject();
}

void MainWindow::reject() { OnCancel(); }

void MainWindow::done(int result) {
    closing_ = true;
    QDialog::done(result);
    closing_ = false;
}

void MainWindow::setVisible(bool visible) {
    if (!visible && !closing_ && isVisible()) {
        QWidget::setVisible(false);  // QDialog's own would leave the modal loop
        return;
    }
    QDialog::setVisible(visible);
}
