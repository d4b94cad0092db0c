// The Video Capture page on a private X server, driven with xdotool as a person would: the
// preview runs, a click on Snapshot brings up the real confirmation box, Return takes the
// picture and Return again dismisses "Save successfully!". Screenshots of the page and of the
// boxes stay in the test folder (ORVANTA_KEEP_TEST_DIRS keeps it) for a person to look at.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/app/pages/ProcessControlSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/ProgramOnX.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::ProgramOnX;
using testing_support::WaitFor;

namespace {

class VideoCapturePageOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!ProgramOnX::Usable(x_)) GTEST_SKIP() << "Xvfb or xdotool is missing";
    }
    // A visible top-level window with exactly this title.
    bool WindowShown(const std::string& title) const {
        return program_.Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
    }
    std::vector<fs::path> Snapshots() const {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(snapshots_, ec)) found.push_back(entry.path());
        return found;
    }

    testing_support::XvfbServer x_;
    fs::path dir_ = testing_support::TestEnvironment::Current().Dir();
    fs::path snapshots_ = dir_ / "snapshots";
    ProgramOnX program_{x_, dir_ / "page.out"};
};

}  // namespace

TEST_F(VideoCapturePageOnXTest, APersonTakesASnapshotThroughTheRealBoxes) {
    ASSERT_TRUE(program_.Start({(testing_support::TestBinDir() / "orvanta_page_show").string(),
                                testing_support::DistDir().string(), "page", snapshots_.string()}));
    const auto snapshot = program_.WaitRect("button:Snapshot", 20000);
    ASSERT_TRUE(snapshot) << program_.Output();
    // The preview has a moment to show a picture before the page's screenshot.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(x_.Screenshot(dir_ / "page.png"));

    ASSERT_TRUE(program_.ClickAt(*snapshot));
    ASSERT_TRUE(WaitFor([&] { return WindowShown("Settings Confirmation"); }, 10000))
        << "the confirmation box did not come up";
    EXPECT_TRUE(x_.Screenshot(dir_ / "confirmation.png"));
    EXPECT_TRUE(Snapshots().empty()) << "nothing is saved before the person confirms";
    ASSERT_TRUE(program_.Xdotool({"key", "Return"}));

    // The picture is saved, and the page says so in a box of its own.
    ASSERT_TRUE(WaitFor([&] { return !Snapshots().empty(); }, 10000));
    const std::vector<fs::path> saved = Snapshots();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].extension(), ".bmp");
    EXPECT_FALSE(WindowShown("Settings Confirmation"));
    EXPECT_TRUE(x_.Screenshot(dir_ / "saved.png"));
    ASSERT_TRUE(program_.Xdotool({"key", "Return"}));

    const std::string probed =
        testing_support::Ffprobe(saved[0], "-show_entries stream=codec_name,width,height -of csv=p=0");
    EXPECT_EQ(probed.rfind("bmp,", 0), 0u) << probed;
    // Nothing the boxes did ended the program; asked to, it ends cleanly, and the broadcast helper
    // its control launched goes with it.
    EXPECT_TRUE(program_.Running());
    EXPECT_EQ(program_.Stop(), 0);
    page_test::Spin([] { return page_test::OurHelpers().empty(); }, std::chrono::seconds(5));
    for (pid_t helper : page_test::OurHelpers()) {
        ADD_FAILURE() << "the broadcast helper " << helper << " outlived the page program";
        ::kill(helper, SIGKILL);
    }
}
