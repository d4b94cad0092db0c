#pragma once
// The Video Capture page on the real capture control: Grabwell, Lamina and Torvane registered in
// the test's registry, a program folder of the test's own (holding the shipped profiles and
// logo), a fresh settings store and settings, and the message boxes, file dialogs and option
// dialogs answered by the test.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/options/OverlaySettings.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/VideoCapturePage.h"
#include "app/shell/IniStore.h"
#include "app/shell/SettingsFile.h"
#include "platform/os/FileDialogRecorder.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ModalDialogAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

namespace page_testing {

namespace fs = std::filesystem;

// Runs the event loop for `ms` milliseconds (the page's timer and the control's run meanwhile).
inline void RunEvents(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

inline void RegisterModule(const fs::path& file) { ASSERT_EQ(testing_support::RegisterModuleFile(file), ""); }

// Selects the entry of `list` whose text is `text`.
inline void Select(QComboBox* list, const std::string& text) {
    const int index = list->findText(QString::fromStdString(text));
    ASSERT_GE(index, 0) << text;
    list->setCurrentIndex(index);
}

// Runs the Capture button's menu command with this text.
inline void RunCaptureCommand(VideoCapturePage& page, const char* text) {
    for (QAction* action : page.CaptureMenu()->actions()) {
        if (action->text() == QLatin1String(text)) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no menu command " << text;
}

class PageFixture : public testing::Test {
protected:
    void SetUp() override {
        const fs::path dist = testing_support::DistDir();
        for (const char* module : {"Grabwell.so", "Lamina.so", "Torvane.so"}) RegisterModule(dist / module);
        dir_ = testing_support::TestEnvironment::Current().Dir();
        program_ = dir_ / "program";
        fs::create_directories(program_);
        for (const char* folder : {"WMVFiles", "logo"}) fs::create_directory_symlink(dist / folder, program_ / folder);
        fs::copy_file(dist / "Relayo", program_ / "Relayo");
        IniStore::Instance().Clear();
        ASSERT_TRUE(IniStore::Instance().Load((dir_ / "config.ini").string(), true));
        Settings() = DeviceSettings();
        Settings().snapshotFolder = (dir_ / "snapshots").string();
        Overlay() = OverlaySettings();
    }
    void TearDown() override {
        page_.reset();
        IniStore::Instance().Clear();
    }

    VideoCapturePage& Page() {
        if (!page_) {
            page_ = std::make_unique<VideoCapturePage>(program_.string());
            page_->resize(page_->minimumSize());
        }
        return *page_;
    }

    fs::path dir_;
    fs::path program_;
    MessageBoxRecorder boxes_;
    FileDialogRecorder files_;
    ModalDialogAnswerer dialogs_;
    std::unique_ptr<VideoCapturePage> page_;
};

}  // namespace page_testing
