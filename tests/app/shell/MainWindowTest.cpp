#include "app/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <filesystem>

#include "app/pages/VideoCapturePage.h"
#include "app/shell/AnimatedPicture.h"
#include "app/shell/ConfigSections.h"
#include "app/shell/IniStore.h"
#include "app/shell/SettingsFile.h"
#include "app/shell/SplashWindow.h"
#include "app/shell/TabHost.h"
#include "app/shell/TitlePage.h"
#include "platform/os/Folders.h"
#include "platform/x11/GlobalHotKeys.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ReadFile;

// A program folder with the window's pictures.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        IniStore::Instance().Clear();
        Settings() = DeviceSettings();
        ScreenSettings() = ScreenRecorderSettings();
        folder_ = testing_support::TestEnvironment::Current().Dir() / "program";
        std::filesystem::create_directories(folder_);
        for (const char* name : {"cmlogo.jpg", "anim1.bmp", "anim2.bmp", "orvanta.png"})
            std::filesystem::copy_file(testing_support::DistDir() / name, folder_ / name);
    }
    void TearDown() override { IniStore::Instance().Clear(); }

    std::string Folder() const { return folder_.string(); }

    std::filesystem::path folder_;
};

TEST_F(MainWindowTest, InitialisesCaptionTabsAndPictures) {
    MainWindow window(Folder());
    EXPECT_FALSE(window.Initialised());
    window.OnInitDialog();
    EXPECT_TRUE(window.Initialised());
    EXPECT_EQ(window.windowTitle().toStdString(), kMainWindowCaption);
    EXPECT_EQ(IniStore::Instance().Path(), ConfigFilePath(Folder()));
    EXPECT_TRUE(std::filesystem::exists(ConfigFilePath(Folder())));
    TabHost* tabs = window.Tabs();
    ASSERT_EQ(tabs->Count(), 3);
    const char* titles[] = {kVideoCapturePage, kBroadcastPage, kScreenRecorderPage};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tabs->Tabs()->tabText(i).toStdString(), titles[i]);
        EXPECT_EQ(tabs->Tag(i), i);
        if (i == 0) EXPECT_TRUE(qobject_cast<VideoCapturePage*>(tabs->Page(i)));
        else EXPECT_EQ(static_cast<TitlePage*>(tabs->Page(i))->Title().toStdString(), titles[i]);
        EXPECT_EQ(tabs->Page(i)->parentWidget(), tabs);
    }
    EXPECT_EQ(tabs->CurrentIndex(), 0);
    EXPECT_FALSE(tabs->Page(0)->isHidden());
    EXPECT_TRUE(tabs->Page(1)->isHidden());
    // The program folder's two pictures, alternating.
    EXPECT_EQ(window.Picture()->Frames(), 2);
    EXPECT_EQ(window.Picture()->Current(), 0);
    window.Picture()->Advance();
    EXPECT_EQ(window.Picture()->Current(), 1);
    window.Picture()->Advance();
    EXPECT_EQ(window.Picture()->Current(), 0);
}

TEST_F(MainWindowTest, TabsSwitchPagesKeepTheirFocusAndFillThePageArea) {
    MainWindow window(Folder());
    window.OnInitDialog();
    window.show();
    TabHost* tabs = window.Tabs();
    auto* edit = new QLineEdit(tabs->Page(0));
    edit->show();
    window.activateWindow();
    QApplication::processEvents();
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    tabs->SetCurrentIndex(2);
    EXPECT_TRUE(tabs->Page(0)->isHidden());
    EXPECT_FALSE(tabs->Page(2)->isHidden());
    EXPECT_EQ(tabs->Page(2)->geometry(), tabs->PageArea());
    const QRect area = tabs->PageArea();
    EXPECT_EQ(area.left(), 4);
    EXPECT_EQ(area.right(), tabs->width() - 5);
    EXPECT_EQ(area.top(), 4 + tabs->Tabs()->sizeHint().height());
    tabs->SetCurrentIndex(0);
    EXPECT_TRUE(edit->hasFocus());
    tabs->resize(tabs->width() + 40, tabs->height() + 20);
    EXPECT_EQ(tabs->Page(0)->geometry(), tabs->PageArea());
    tabs->Tabs()->setShape(QTabBar::RoundedSouth);
    EXPECT_EQ(tabs->PageArea().top(), 4);
    EXPECT_EQ(tabs->PageArea().bottom(), tabs->height() - 5 - tabs->Tabs()->sizeHint().height());
}

TEST_F(MainWindowTest, ClosingWritesSettingsWhichTheNextStartReads) {
    {
        MainWindow window(Folder());
        window.OnInitDialog();
        Settings().captureDevice = "2";
        Settings().broadcastPort = "9000";
        window.show();
        window.close();  // the close box
    }
    const std::string bytes = ReadFile(SettingsFilePath(Folder()));
    EXPECT_EQ(bytes, "2\n1\n1\n1\n5\n9000\n3\n0\n" + DefaultSnapshotFolder(Folder()));
    Settings() = DeviceSettings();
    MainWindow again(Folder());
    again.OnInitDialog();
    EXPECT_EQ(Settings().captureDevice, "2");
    EXPECT_EQ(Settings().broadcastPort, "9000");
}

TEST_F(MainWindowTest, SplashClosesAtTheFirstCheckAfterInitialisation) {
    bool initialised = false;
    QPointer<SplashWindow> splash =
        new SplashWindow(QString::fromStdString(Folder() + "/cmlogo.jpg"), [&] { return initialised; });
    ASSERT_TRUE(splash->HasPicture());
    EXPECT_EQ(splash->size(), QPixmap(QString::fromStdString(Folder() + "/cmlogo.jpg")).size());
    splash->show();
    splash->Check();
    EXPECT_TRUE(splash->isVisible());
    initialised = true;
    splash->Check();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull()) << "closed and deleted";
}

TEST_F(MainWindowTest, HotKeyMessagesRunTheirActionWhenTheKeyMatches) {
    MainWindow window(Folder());
    window.OnInitDialog();
    std::vector<int> ran;
    window.SetHotKeyAction([&](int id) {
        ran.push_back(id);
        // A hot key arriving while its own action runs is ignored; another action runs.
        if (id == kHotKeyStart) {
            EXPECT_FALSE(window.PreTranslateMessage(MakeHotKeyMessage(kHotKeyStart, MOD_CONTROL, 'K')));
            EXPECT_TRUE(window.PreTranslateMessage(MakeHotKeyMessage(kHotKeyStop, MOD_CONTROL, 'Q')));
        }
    });
    EXPECT_TRUE(window.PreTranslateMessage(MakeHotKeyMessage(kHotKeyStart, MOD_CONTROL, 'K')));
    EXPECT_EQ(ran, (std::vector<int>{kHotKeyStart, kHotKeyStop}));
    ran.clear();
    // The letter changed but the old registration's message came: ignored.
    ScreenSettings().keys[1] = 'X';
    EXPECT_FALSE(window.PreTranslateMessage(MakeHotKeyMessage(kHotKeyPause, MOD_CONTROL, 'P')));
    EXPECT_TRUE(window.PreTranslateMessage(MakeHotKeyMessage(kHotKeyPause, MOD_CONTROL, 'X')));
    EXPECT_FALSE(window.PreTranslateMessage(MakeHotKeyMessage(40980, MOD_CONTROL, 'K')));
    HotKeyMessage other = MakeHotKeyMessage(kHotKeyStart, MOD_CONTROL, 'K');
    other.message = WM_HOTKEY + 1;
    EXPECT_FALSE(window.PreTranslateMessage(other));
    EXPECT_EQ(ran, (std::vector<int>{kHotKeyPause}));
}

}  // namespace
