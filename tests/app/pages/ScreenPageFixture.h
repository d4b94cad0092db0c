#pragma once
// The Screen Recorder page on a private X server with known content: Scrivel.so and Pavisse.so
// registered from the built program folder, the settings store and the page's records fresh for
// every test, the option dialogs answered through their own Next buttons and the output file
// given by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/options/FlashOutputDialog.h"
#include "app/options/ScreenAviDialog.h"
#include "app/pages/ScreenRecorderPage.h"
#include "app/pages/ScreenWmvDialog.h"
#include "app/shell/ConfigSections.h"
#include "app/shell/IniStore.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ModalDialogAnswerer.h"
#include "tests/app/pages/PaintedDesktop.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"
#include "tests/support/ModuleRegistration.h"

namespace screen_page_test {

inline constexpr int kScreenWidth = 1024, kScreenHeight = 768;

// Runs the event loop for `ms` milliseconds, or until `done` holds.
inline bool Spin(int ms, const std::function<bool()>& done = {}) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (done && done()) return true;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done ? done() : true;
}

inline void RegisterModule(const std::filesystem::path& file) {
    ASSERT_EQ(testing_support::RegisterModuleFile(file), "");
}

// Presses the dialog's Next button, as a person would; its result.
inline int PressNext(QDialog& dialog) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Next")) {
            button->click();
            return dialog.result();
        }
    }
    ADD_FAILURE() << "no Next button on " << dialog.windowTitle().toStdString();
    return QDialog::Rejected;
}

inline void ResetRecords() {
    ScreenSettings() = ScreenRecorderSettings();
    ScreenWmvChoice() = WmvChoice();
    ScreenSwfChoice() = SwfChoice();
    ScreenFlvOptions() = FlvOptions();
    ScreenAviOptions() = AviOptions();
}

class ScreenPageFixture : public testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<testing_support::XvfbServer>(kScreenWidth, kScreenHeight);
        ASSERT_TRUE(server_->Running()) << "Xvfb did not start";
        server_->Export();
        desktop_ = std::make_unique<PaintedDesktop>(server_->Display());
        ASSERT_TRUE(desktop_->Ready());
        RegisterModule(testing_support::DistDir() / "system" / "Pavisse.so");
        RegisterModule(testing_support::DistDir() / "system" / "Scrivel.so");
        IniStore::Instance().Clear();
        ASSERT_TRUE(IniStore::Instance().Load(File("config.ini").string(), true));
        ResetRecords();
        // The dialogs open, read their sections and are confirmed with what they show.
        for (const char* title : {kWmvOptionsTitle, kAviOptionsTitle, kSwfDialogTitle, kFlvDialogTitle})
            answerer_.Answer(title, [this](QDialog& dialog) { return AnswerOptions(dialog); });
    }
    void TearDown() override {
        page_.reset();
        IniStore::Instance().Clear();
        desktop_.reset();
        server_.reset();
    }

    // The WMV dialog records with the control's own first profile (the capture size); the AVI
    // dialog with Motion JPEG, which takes any even size (Microsoft Video 1 wants multiples of 4).
    virtual int AnswerOptions(QDialog& dialog) {
        if (auto* wmv = dynamic_cast<ScreenWmvDialog*>(&dialog)) wmv->TypeList()->setCurrentIndex(0);
        if (auto* avi = dynamic_cast<ScreenAviDialog*>(&dialog)) {
            const int mjpeg = avi->VideoList()->findText(QStringLiteral("Motion JPEG"));
            EXPECT_GE(mjpeg, 0);
            avi->VideoList()->setCurrentIndex(mjpeg);
        }
        return PressNext(dialog);
    }

    std::filesystem::path File(const std::string& name) const {
        return testing_support::TestEnvironment::Current().Dir() / name;
    }

    // The page, recording to `file` whenever it asks.
    ScreenRecorderPage& MakePage(const std::filesystem::path& file, QWidget* mainWindow = nullptr) {
        ScreenRecorderPage::Services services;
        services.programFolder = testing_support::DistDir().string();
        services.mainWindow = mainWindow;
        services.readyToRecord = [this, file](const std::string& filter, const std::string& title,
                                              const std::string& extension, bool) -> std::optional<std::string> {
            asked_.push_back(filter + "|" + title + "|" + extension);
            return file.string();
        };
        page_ = std::make_unique<ScreenRecorderPage>(std::move(services));
        return *page_;
    }

    void Pointer(int x, int y) {
        testing_support::CommandOutput("DISPLAY=" + server_->Display() + " xdotool mousemove " + std::to_string(x) +
                                       " " + std::to_string(y) + " 2>&1");
    }

    std::unique_ptr<testing_support::XvfbServer> server_;
    std::unique_ptr<PaintedDesktop> desktop_;
    std::unique_ptr<ScreenRecorderPage> page_;
    ModalDialogAnswerer answerer_;
    MessageBoxRecorder boxes_;
    std::vector<std::string> asked_;  // what ReadyToRecord was asked, one entry a recording
};

}  // namespace screen_page_test
