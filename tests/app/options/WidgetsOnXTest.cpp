// The colour button, the balloon and the hyperlink on a private X server, driven with xdotool as
// a person would, with screenshots left in the test folder (ORVANTA_KEEP_TEST_DIRS keeps them).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/ProgramOnX.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing_support::ProgramOnX;
using testing_support::ReadFile;
using testing_support::TestBinDir;
using testing_support::TestEnvironment;

namespace {

class WidgetsOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!ProgramOnX::Usable(x_)) GTEST_SKIP() << "Xvfb or xdotool is missing";
        x_.Export();
        fs::create_directories(dir_ / "bin");
        std::ofstream(dir_ / "browser.sh") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > " << (dir_ / "browser.args").string()
                                           << "\n";
        fs::permissions(dir_ / "browser.sh", fs::perms::owner_all);
    }

    // The desktop's own link handler is kept out of PATH, so the link falls to BROWSER.
    void StartDialog(const std::string& target) {
        ASSERT_TRUE(dialog_.Start({(TestBinDir() / "orvanta_widget_show").string(), target},
                                  {"PATH=" + (dir_ / "bin").string(),
                                   "BROWSER=" + (dir_ / "browser.sh").string() + " %s"}));
    }
    void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

    testing_support::XvfbServer x_{640, 480};
    fs::path dir_ = TestEnvironment::Current().Dir();
    ProgramOnX dialog_{x_, dir_ / "dialog.out"};
};

TEST_F(WidgetsOnXTest, ColourGridBalloonAndLinkWorkWithARealMouseAndKeyboard) {
    const std::string target = "http://127.0.0.1/home page?a=1&b=$(id)";
    StartDialog(target);
    auto button = dialog_.WaitRect("button");
    auto link = dialog_.WaitRect("link");
    ASSERT_TRUE(button && link) << dialog_.Output();
    Settle();
    ASSERT_TRUE(x_.Screenshot(dir_ / "balloon.png"));

    EXPECT_TRUE(dialog_.WaitOutput("balloons 1"));
    ASSERT_TRUE(dialog_.Xdotool({"search", "--sync", "--name", "Orvanta widgets", "windowfocus", "--sync"}));
    ASSERT_TRUE(dialog_.Xdotool({"key", "a"}));
    EXPECT_TRUE(dialog_.WaitOutput("balloons 0")) << "a key press closes the balloon";

    ASSERT_TRUE(dialog_.ClickAt(*button));
    EXPECT_TRUE(dialog_.WaitOutput("notify 2026 0x0000FF 1042"));
    auto popup = dialog_.WaitRect("popup");
    ASSERT_TRUE(popup) << dialog_.Output();
    EXPECT_EQ(popup->x, button->x) << "the grid opens at the button's lower-left corner";
    EXPECT_EQ(popup->y, button->y + button->h);
    Settle();
    ASSERT_TRUE(x_.Screenshot(dir_ / "grid.png"));
    ASSERT_TRUE(dialog_.Xdotool({"key", "Right", "Down", "Return"}));
    EXPECT_TRUE(dialog_.WaitOutput("notify 2027 0x00D7FF 1042\nnotify 2028 0x00D7FF 1042\nnotify 2025 0x00D7FF 1042\n"))
        << dialog_.Output();

    ASSERT_TRUE(dialog_.ClickAt(*link));
    testing_support::WaitFor([&] { return fs::exists(dir_ / "browser.args"); });
    EXPECT_EQ(ReadFile(dir_ / "browser.args"), target + "\n");
    EXPECT_TRUE(dialog_.Xdotool({"mousemove", "0", "0"}));
    Settle();
    ASSERT_TRUE(x_.Screenshot(dir_ / "after.png"));
}

}  // namespace
