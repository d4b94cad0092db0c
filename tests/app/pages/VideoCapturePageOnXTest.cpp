// The Video Capture page on a private X server, driven with xdotool as a person would: the
// preview runs, a click on Snapshot brings up the real confirmation box, Return takes the
// picture and Return again dismisses "Save successfully!". Screenshots of the page and of the
// boxes stay in the test folder (ORVANTA_KEEP_TEST_DIRS keeps it) for a person to look at.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "platform/os/Process.h"
#include "tests/app/pages/ProcessControlSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"

extern char** environ;

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    std::string Centre() const { return std::to_string(x + w / 2) + " " + std::to_string(y + h / 2); }
};

class VideoCapturePageOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!x_.Running() || !FindProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is missing";
    }
    void TearDown() override {
        if (pid_ > 0) Quit();
    }
    // Asks the program to end as a person closing it would, and waits: its capture control goes
    // with it, and so does the broadcast helper each start of the control launches.
    int Quit() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        page_test::Spin([] { return page_test::OurHelpers().empty(); }, std::chrono::seconds(5));
        for (pid_t helper : page_test::OurHelpers()) {
            ADD_FAILURE() << "the broadcast helper " << helper << " outlived the page program";
            ::kill(helper, SIGKILL);
        }
        return status;
    }
    // The page program with this process's environment (its registry, folders and devices) on
    // the private display.
    void Start() {
        std::vector<std::string> args{(testing_support::TestBinDir() / "orvanta_page_show").string(),
                                      testing_support::DistDir().string(), "page", snapshots_.string()};
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string variable = *e;
            if (variable.rfind("DISPLAY=", 0) != 0 && variable.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(variable);
        }
        env.push_back("DISPLAY=" + x_.Display());
        env.push_back("QT_QPA_PLATFORM=xcb");
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
    // The buttons the program printed once shown: "button TEXT X Y W H".
    std::map<std::string, Rect> WaitButtons() {
        for (int i = 0; i < 1000; ++i) {
            std::map<std::string, Rect> buttons;
            std::istringstream lines(ReadFile(output_));
            std::string line;
            while (std::getline(lines, line)) {
                if (line.rfind("button ", 0) != 0) continue;
                std::istringstream words(line);
                std::vector<std::string> parts;
                for (std::string word; words >> word;) parts.push_back(word);
                if (parts.size() < 6) continue;
                std::string text = parts[1];
                for (size_t k = 2; k + 4 < parts.size(); ++k) text += " " + parts[k];
                const size_t n = parts.size();
                buttons[text] = Rect{std::stoi(parts[n - 4]), std::stoi(parts[n - 3]), std::stoi(parts[n - 2]),
                                     std::stoi(parts[n - 1])};
            }
            if (!buttons.empty()) return buttons;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }
    // Waits for a top-level window with this title; true when it is there.
    bool WaitWindow(const std::string& title, int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (Xdotool("search --onlyvisible --name '^" + title + "$'") == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // xdotool's exit status (search: 0 found, 1 none).
    int Xdotool(const std::string& args) {
        const int status = std::system(("DISPLAY=" + x_.Display() + " xdotool " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::vector<fs::path> Snapshots() const {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(snapshots_, ec)) found.push_back(entry.path());
        return found;
    }

    testing_support::XvfbServer x_;
    fs::path dir_ = TestEnvironment::Current().Dir();
    fs::path output_ = dir_ / "page.out";
    fs::path snapshots_ = dir_ / "snapshots";
    pid_t pid_ = -1;
};

}  // namespace

TEST_F(VideoCapturePageOnXTest, APersonTakesASnapshotThroughTheRealBoxes) {
    Start();
    ASSERT_GT(pid_, 0);
    std::map<std::string, Rect> buttons = WaitButtons();
    ASSERT_TRUE(buttons.count("Snapshot")) << ReadFile(output_);
    // The preview has a moment to show a picture before the page's screenshot.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(x_.Screenshot(dir_ / "page.png"));

    ASSERT_EQ(Xdotool("mousemove " + buttons["Snapshot"].Centre() + " click 1"), 0);
    ASSERT_TRUE(WaitWindow("Settings Confirmation", 10)) << "the confirmation box did not come up";
    EXPECT_TRUE(x_.Screenshot(dir_ / "confirmation.png"));
    EXPECT_TRUE(Snapshots().empty()) << "nothing is saved before the person confirms";
    ASSERT_EQ(Xdotool("key Return"), 0);

    // The picture is saved, and the page says so in a box of its own.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Snapshots().empty() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<fs::path> saved = Snapshots();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].extension(), ".bmp");
    EXPECT_EQ(Xdotool("search --onlyvisible --name '^Settings Confirmation$'"), 1) << "the confirmation box closed";
    EXPECT_TRUE(x_.Screenshot(dir_ / "saved.png"));
    ASSERT_EQ(Xdotool("key Return"), 0);

    const std::string probed =
        testing_support::Ffprobe(saved[0], "-show_entries stream=codec_name,width,height -of csv=p=0");
    EXPECT_EQ(probed.rfind("bmp,", 0), 0u) << probed;
    // The program is still running: nothing the boxes did ended it; asked to, it ends cleanly.
    EXPECT_EQ(::waitpid(pid_, nullptr, WNOHANG), 0);
    const int status = Quit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
