// The hyperlink's fallback chain, run for real: a PATH that holds no desktop handler and no
// browser, and a $BROWSER script that records the arguments it was given.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/options/HyperLink.h"
#include "app/options/LinkOpener.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ShellOpenRecorder.h"
#include "tests/app/options/WidgetInput.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing_support::ReadFile;
using testing_support::TestEnvironment;
using namespace widget_input;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class HyperLinkTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(emptyBin_);
        std::ofstream(script_) << "#!/bin/sh\n"
                               << "printf '%s\\n' \"$#\" \"$@\" > " << record_.string() << ".part\n"
                               << "/bin/mv " << record_.string() << ".part " << record_.string() << "\n";
        fs::permissions(script_, fs::perms::owner_all);
    }

    // The browser script's record: the argument count, then one argument a line.
    std::string WaitRecord() {
        for (int i = 0; i < 500 && !fs::exists(record_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ReadFile(record_);
    }

    fs::path dir_ = TestEnvironment::Current().Dir();
    fs::path emptyBin_ = dir_ / "bin";
    fs::path script_ = dir_ / "browser.sh";
    fs::path record_ = dir_ / "browser.args";
    ScopedEnv path_{"PATH", emptyBin_.string()};
};

TEST_F(HyperLinkTest, WithoutDesktopHandlerTheBrowserVariableGetsTheTargetAsOneArgument) {
    ScopedEnv browser("BROWSER", "/nonexistent/first %s:" + script_.string() + " --new-tab '%s'");
    const std::string target = "http://127.0.0.1/a b?x='1'&y=$(touch pwned);`id`";
    MessageBoxRecorder boxes;
    HyperLink link;
    link.SetURL(target);
    EXPECT_EQ(link.toolTip().toStdString(), target);
    ASSERT_FALSE(link.GetVisited());
    link.setFocus();
    Key(&link, Qt::Key_Space);
    EXPECT_EQ(WaitRecord(), "2\n--new-tab\n" + target + "\n");
    EXPECT_TRUE(link.GetVisited());
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
}

TEST_F(HyperLinkTest, DesktopHandlerThatStartsIsUsedAlone) {
    ScopedEnv browser("BROWSER", script_.string());
    ShellOpenRecorder shell;
    MessageBoxRecorder boxes;
    HyperLink link;
    link.SetURL("http://127.0.0.1/");
    Click(&link);
    EXPECT_THAT(shell.Targets(), ElementsAre("http://127.0.0.1/"));
    EXPECT_TRUE(link.GetVisited());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(HyperLinkTest, NoHandlerAtAllBeepsTheReasonAndLeavesTheLinkUnvisited) {
    unsetenv("BROWSER");
    MessageBoxRecorder boxes;
    HyperLink link;
    link.SetURL("http://127.0.0.1/");
    EXPECT_FALSE(link.Follow());
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text,
              "Can't open link:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_FALSE(link.GetVisited());

    link.SetURL((dir_ / "no such file.htm").string());
    EXPECT_FALSE(link.Follow());
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text, "Can't open link:\n\nThe specified file was not found.");
}

TEST_F(HyperLinkTest, ReleasingAwayFromTheLinkOrWithTheLinkOffOpensNothing) {
    ShellOpenRecorder shell;
    HyperLink link;
    link.resize(100, 20);
    link.SetURL("http://127.0.0.1/");
    Press(&link, QPoint(5, 5));
    Release(&link, QPoint(300, 5));
    link.SetLink(false);
    Click(&link);
    EXPECT_TRUE(shell.Targets().empty());
    EXPECT_FALSE(link.GetVisited());
}

TEST(LinkOpener, PlaceholderIsCutBeforeItsQuoteAndUnknownCodesAreNumbered) {
    EXPECT_THAT(BrowserArguments("firefox -new-window \"%s\" -x", "u v"),
                ElementsAre("firefox", "-new-window", "u v"));
    EXPECT_THAT(BrowserArguments("'my browser'", "u"), ElementsAre("my browser", "u"));
    EXPECT_TRUE(BrowserArguments("'open", "u").empty());
    EXPECT_TRUE(BrowserArguments("%s", "u").empty());
    EXPECT_EQ(LinkErrorReason(26), "A sharing violation occurred. ");
    EXPECT_EQ(LinkErrorReason(140), "Unknown Error (140) occurred.");
}

}  // namespace
