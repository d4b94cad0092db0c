#pragma once
// The process's capture control in the page tests, made as the Video Capture page makes it:
// Grabwell and its overlay filter registered from the program folder and the control created in
// a container. Destroying it checks that no broadcast helper it started outlives it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "platform/os/WindowMessages.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

namespace page_test {

// Runs the UI thread's events until `done` or the limit.
inline bool Spin(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

inline void RegisterModule(const std::filesystem::path& file) {
    ASSERT_EQ(testing_support::RegisterModuleFile(file), "");
}

inline void CreateProcessControl(QWidget& container) {
    ASSERT_NO_FATAL_FAILURE(RegisterModule(testing_support::DistDir() / "Grabwell.so"));
    ASSERT_NO_FATAL_FAILURE(RegisterModule(testing_support::DistDir() / "Lamina.so"));
    container.resize(320, 240);
    ASSERT_EQ(Lumicor().Create(&container), S_OK);
}

// The broadcast helpers the capture control started for this test case (known by its runtime
// folder).
inline std::vector<pid_t> OurHelpers() {
    const std::filesystem::path program = std::filesystem::weakly_canonical(testing_support::DistDir() / "Relayo");
    const std::string runtime =
        "ORVANTA_RUNTIME_DIR=" + testing_support::TestEnvironment::Current().RuntimeDir().string();
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code linkError;
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            std::filesystem::read_symlink(entry.path() / "exe", linkError) != program)
            continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(environ, variable, '\0')) {
            if (variable == runtime) {
                pids.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
        }
    }
    return pids;
}

inline void DestroyProcessControl() {
    using namespace std::chrono_literals;
    // The control starts a helper with every start, the preview's after a broadcast too, and
    // must see even one still starting up quit as it goes.
    Lumicor().Destroy();
    Spin([] { return OurHelpers().empty(); }, 5s);
    for (pid_t pid : OurHelpers()) {
        ADD_FAILURE() << "the broadcast helper " << pid << " outlived the capture control";
        ::kill(pid, SIGKILL);
    }
}

}  // namespace page_test
