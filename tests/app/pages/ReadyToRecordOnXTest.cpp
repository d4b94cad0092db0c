// The "Ready to record" dialog on a private X server, driven with xdotool as a person would: the
// output file chosen with Browse, a three-second countdown typed in and started, the status line
// seen counting in a screenshot left in the test folder (ORVANTA_KEEP_TEST_DIRS keeps it), and
// the dialog closing by itself at zero with the main window back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/os/Process.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    std::string Centre() const { return std::to_string(x + w / 2) + " " + std::to_string(y + h / 2); }
};

class ReadyToRecordOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!x_.Running() || !FindProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is missing";
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    void Start(const std::string& path) {
        std::string program = (testing_support::TestBinDir() / "orvanta_ready_show").string();
        std::vector<std::string> args{program, path};
        std::vector<std::string> env{"DISPLAY=" + x_.Display(), "QT_QPA_PLATFORM=xcb", "HOME=" + dir_.string(),
                                     "XDG_RUNTIME_DIR=" + TestEnvironment::Current().RuntimeDir().string(),
                                     "LSAN_OPTIONS=suppressions=" +
                                         (testing_support::SourceDir() / "tests/lsan.supp").string()};
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
    std::optional<Rect> WaitRect(const std::string& name) {
        for (int i = 0; i < 500; ++i) {
            std::istringstream lines(ReadFile(output_));
            std::string word;
            Rect r;
            while (lines >> word)
                if (word == name && lines >> r.x >> r.y >> r.w >> r.h) return r;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }
    bool WaitOutput(const std::string& text, int seconds) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (ReadFile(output_).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    int Xdotool(const std::string& args) {
        return std::system(("DISPLAY=" + x_.Display() + " xdotool " + args + " >/dev/null 2>&1").c_str());
    }

    testing_support::XvfbServer x_;
    fs::path dir_ = TestEnvironment::Current().Dir();
    fs::path output_ = dir_ / "ready.out";
    pid_t pid_ = -1;
};

}  // namespace

TEST_F(ReadyToRecordOnXTest, APersonStartsAThreeSecondCountdownAndTheDialogClosesAtZero) {
    const std::string chosen = (dir_ / "take").string();
    Start(chosen);
    ASSERT_GT(pid_, 0);
    auto browse = WaitRect("browse"), enable = WaitRect("enable"), seconds = WaitRect("seconds"),
         countdown = WaitRect("countdown");
    ASSERT_TRUE(browse && enable && seconds && countdown) << ReadFile(output_);
    ASSERT_EQ(Xdotool("mousemove " + browse->Centre() + " click 1"), 0);
    ASSERT_EQ(Xdotool("mousemove " + enable->Centre() + " click 1"), 0);
    ASSERT_EQ(Xdotool("mousemove " + seconds->Centre() + " click --repeat 3 1 key BackSpace BackSpace type 3"), 0);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Xdotool("mousemove " + countdown->Centre() + " click 1"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_TRUE(x_.Screenshot(dir_ / "counting.png"));
    EXPECT_EQ(ReadFile(output_).find("accepted"), std::string::npos) << "still counting";
    ASSERT_TRUE(WaitOutput("accepted", 10)) << ReadFile(output_);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(took, 2.5);
    EXPECT_LE(took, 6.0);
    EXPECT_THAT(ReadFile(output_), testing::HasSubstr("accepted " + chosen + ".avi main shown"));
}
