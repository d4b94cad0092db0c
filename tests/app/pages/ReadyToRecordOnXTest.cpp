// The "Ready to record" dialog on a private X server, driven with xdotool as a person would: the
// output file chosen with Browse, a three-second countdown typed in and started, the status line
// seen counting in a screenshot left in the test folder (ORVANTA_KEEP_TEST_DIRS keeps it), and
// the dialog closing by itself at zero with the main window back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/ProgramOnX.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::ProgramOnX;
using testing_support::TestEnvironment;

namespace {

class ReadyToRecordOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!ProgramOnX::Usable(x_)) GTEST_SKIP() << "Xvfb or xdotool is missing";
    }
    void Start(const std::string& path) {
        ASSERT_TRUE(ready_.Start({(testing_support::TestBinDir() / "orvanta_ready_show").string(), path}));
    }

    testing_support::XvfbServer x_;
    fs::path dir_ = TestEnvironment::Current().Dir();
    ProgramOnX ready_{x_, dir_ / "ready.out"};
};

}  // namespace

TEST_F(ReadyToRecordOnXTest, APersonStartsAThreeSecondCountdownAndTheDialogClosesAtZero) {
    const std::string chosen = (dir_ / "take").string();
    Start(chosen);
    auto browse = ready_.WaitRect("browse", 10000), enable = ready_.WaitRect("enable"),
         seconds = ready_.WaitRect("seconds"), countdown = ready_.WaitRect("countdown");
    ASSERT_TRUE(browse && enable && seconds && countdown) << ready_.Output();
    ASSERT_TRUE(ready_.ClickAt(*browse));
    ASSERT_TRUE(ready_.ClickAt(*enable));
    ASSERT_TRUE(ready_.MoveTo(seconds->CentreX(), seconds->CentreY()));
    ASSERT_TRUE(ready_.Xdotool({"click", "--repeat", "3", "1", "key", "BackSpace", "BackSpace", "type", "3"}));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(ready_.ClickAt(*countdown));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_TRUE(x_.Screenshot(dir_ / "counting.png"));
    EXPECT_EQ(ready_.Output().find("accepted"), std::string::npos) << "still counting";
    ASSERT_TRUE(ready_.WaitOutput("accepted", 10000)) << ready_.Output();
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(took, 2.5);
    EXPECT_LE(took, 6.0);
    EXPECT_THAT(ready_.Output(), testing::HasSubstr("accepted " + chosen + ".avi main shown"));
}
