// The colour button, the balloon and the hyperlink on a private X server, driven with xdotool as
// a person would, with screenshots left in the test folder (ORVANTA_KEEP_TEST_DIRS keeps them).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/os/Process.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"

extern char** environ;

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing_support::ReadFile;
using testing_support::TestBinDir;
using testing_support::TestEnvironment;

namespace {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    std::string Centre() const { return std::to_string(x + w / 2) + " " + std::to_string(y + h / 2); }
};

class WidgetsOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!x_.Running() || !FindProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is missing";
        x_.Export();
        fs::create_directories(dir_ / "bin");
        std::ofstream(dir_ / "browser.sh") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > " << (dir_ / "browser.args").string()
                                           << "\n";
        fs::permissions(dir_ / "browser.sh", fs::perms::owner_all);
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void StartDialog(const std::string& target) {
        std::string program = (TestBinDir() / "orvanta_widget_show").string();
        std::vector<std::string> args{program, target};
        std::vector<std::string> env{"DISPLAY=" + x_.Display(), "QT_QPA_PLATFORM=xcb", "PATH=" + (dir_ / "bin").string(),
                                     "BROWSER=" + (dir_ / "browser.sh").string() + " %s", "HOME=" + dir_.string(),
                                     "XDG_RUNTIME_DIR=" + TestEnvironment::Current().RuntimeDir().string()};
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        for (std::string& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (::posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
    }

    // The rectangle the dialog printed for `name`, waiting for it up to five seconds.
    std::optional<Rect> WaitRect(const std::string& name) {
        for (int i = 0; i < 250; ++i) {
            std::istringstream lines(ReadFile(output_));
            std::string word;
            Rect r;
            std::optional<Rect> last;
            while (lines >> word) {
                if (word == name && lines >> r.x >> r.y >> r.w >> r.h) last = r;
            }
            if (last) return last;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    bool WaitOutput(const std::string& text) {
        for (int i = 0; i < 250; ++i) {
            if (ReadFile(output_).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    bool Xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        int code = -1;
        return SUCCEEDED(RunProcess(args, 5000, &code)) && code == 0;
    }
    bool ClickAt(const Rect& r) {
        std::istringstream centre(r.Centre());
        std::string x, y;
        centre >> x >> y;
        return Xdotool({"mousemove", "--sync", x, y}) && Xdotool({"click", "1"});
    }
    void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

    testing_support::XvfbServer x_{640, 480};
    fs::path dir_ = TestEnvironment::Current().Dir();
    fs::path output_ = dir_ / "dialog.out";
    pid_t pid_ = -1;
};

TEST_F(WidgetsOnXTest, ColourGridBalloonAndLinkWorkWithARealMouseAndKeyboard) {
    const std::string target = "http://127.0.0.1/home page?a=1&b=$(id)";
    StartDialog(target);
    std::optional<Rect> button = WaitRect("button");
    std::optional<Rect> link = WaitRect("link");
    ASSERT_TRUE(button && link) << ReadFile(output_);
    Settle();
    ASSERT_TRUE(x_.Screenshot(dir_ / "balloon.png"));

    EXPECT_TRUE(WaitOutput("balloons 1"));
    ASSERT_TRUE(Xdotool({"search", "--sync", "--name", "Orvanta widgets", "windowfocus", "--sync"}));
    ASSERT_TRUE(Xdotool({"key", "a"}));
    EXPECT_TRUE(WaitOutput("balloons 0")) << "a key press closes the balloon";

    ASSERT_TRUE(ClickAt(*button));
    EXPECT_TRUE(WaitOutput("notify 2026 0x0000FF 1042"));
    std::optional<Rect> popup = WaitRect("popup");
    ASSERT_TRUE(popup) << ReadFile(output_);
    EXPECT_EQ(popup->x, button->x) << "the grid opens at the button's lower-left corner";
    EXPECT_EQ(popup->y, button->y + button->h);
    Settle();
    ASSERT_TRUE(x_.Screenshot(dir_ / "grid.png"));
    ASSERT_TRUE(Xdotool({"key", "Right", "Down", "Return"}));
    EXPECT_TRUE(WaitOutput("notify 2027 0x00D7FF 1042\nnotify 2028 0x00D7FF 1042\nnotify 2025 0x00D7FF 1042\n"))
        << ReadFile(output_);

    ASSERT_TRUE(ClickAt(*link));
    for (int i = 0; i < 250 && !fs::exists(dir_ / "browser.args"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadFile(dir_ / "browser.args"), target + "\n");
    EXPECT_TRUE(Xdotool({"mousemove", "0", "0"}));
    Settle();
    ASSERT_TRUE(x_.Screenshot(dir_ / "after.png"));
}

}  // namespace
