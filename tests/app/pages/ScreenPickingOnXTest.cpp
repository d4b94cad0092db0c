// The Screen Recorder page's two picking tools and its output dialogs on a private X server,
// driven with xdotool as a person would (the real pointer and keys through the server): window
// picking over a painted desktop with native child windows, the region selector reached through
// the Cut icon, the selector under a Qt scale factor, and screenshots left in the test folder
// (ORVANTA_KEEP_TEST_DIRS keeps them) that are also checked for what a person would see.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <thread>

#include "tests/app/pages/PaintedDesktop.h"
#include "tests/support/ProgramOnX.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;
using testing_support::ProgramOnX;
using testing_support::ScreenRect;
using testing_support::TestEnvironment;
using testing_support::WaitFor;

constexpr int kWidth = 1024, kHeight = 768;
// The page lies over the lower part of the painted frame, which shows again when the page is
// passed over.
constexpr int kPageX = 100, kPageY = 420;

ScreenRect Rect(const CaptureArea& a) { return {a.left, a.top, a.width, a.height}; }

class ScreenPickingOnXTest : public testing::Test {
protected:
    void SetUp() override {
        if (!ProgramOnX::Usable(x_)) GTEST_SKIP() << "Xvfb or xdotool is missing";
        desktop_ = std::make_unique<PaintedDesktop>(x_.Display());
        ASSERT_TRUE(desktop_->Ready());
    }

    void Show(const std::vector<std::string>& what, const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv{(testing_support::TestBinDir() / "orvanta_screen_show").string(),
                                      testing_support::DistDir().string()};
        argv.insert(argv.end(), what.begin(), what.end());
        ASSERT_TRUE(shown_.Start(argv, env));
        ASSERT_TRUE(shown_.WaitOutput("shown ", 10000)) << shown_.Output();
    }
    void ShowPage() {
        Show({"page", std::to_string(kPageX), std::to_string(kPageY)});
        ASSERT_EQ(shown_.LastRect("page")->x, kPageX);
    }
    // The last value printed for `name` becomes `expected` within two seconds.
    bool Becomes(const std::string& name, const ScreenRect& expected) {
        return WaitFor([&] { return shown_.LastRect(name) == expected; }, 2000);
    }
    // The last "NAME VALUE" line for `name` says `value`.
    bool Says(const std::string& name, const std::string& value) {
        return WaitFor(
            [&] {
                const std::string out = shown_.Output();
                const size_t at = out.rfind("\n" + name + " ");
                return at != std::string::npos && out.compare(at + name.size() + 2, value.size() + 1, value + "\n") == 0;
            },
            3000);
    }
    bool Drag(int fromX, int fromY, int toX, int toY) {
        return shown_.MoveTo(fromX, fromY) && shown_.Xdotool({"mousedown", "1"}) && shown_.MoveTo(toX, toY) &&
               shown_.Xdotool({"mouseup", "1"});
    }
    QImage Screenshot(const std::string& name) {
        const fs::path file = dir_ / (name + ".png");
        EXPECT_TRUE(x_.Screenshot(file)) << name;
        return QImage(QString::fromStdString(file.string()));
    }
    static QColor Pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }
    void ExpectLayoutSound() { EXPECT_THAT(shown_.Output(), Not(HasSubstr("layout "))) << shown_.Output(); }

    testing_support::XvfbServer x_{kWidth, kHeight};
    std::unique_ptr<PaintedDesktop> desktop_;
    fs::path dir_ = TestEnvironment::Current().Dir();
    ProgramOnX shown_{x_, dir_ / "screen.out"};
};

TEST_F(ScreenPickingOnXTest, DraggingThePlusIconTakesTheSmallestWindowTheDesktopAndPassesOverThePage) {
    ShowPage();
    ExpectLayoutSound();
    Screenshot("page");
    const ScreenRect plus = *shown_.LastRect("plus");
    ASSERT_TRUE(shown_.MoveTo(plus.CentreX(), plus.CentreY()));
    ASSERT_TRUE(shown_.Xdotool({"mousedown", "1"}));
    ASSERT_TRUE(Says("picking", "1"));

    ASSERT_TRUE(shown_.MoveTo(300, 240));
    EXPECT_TRUE(Becomes("area", Rect(PaintedDesktop::kButton))) << "the grandchild inside the panel";
    ASSERT_TRUE(Says("outline", "1"));
    // The outline is drawn on the screen: an orange frame just inside the button's edges.
    const QImage outlined = Screenshot("outline");
    EXPECT_EQ(Pixel(outlined, PaintedDesktop::kButton.left + 1, 250), QColor(0xFF, 0x99, 0x00));
    EXPECT_EQ(Pixel(outlined, 320, PaintedDesktop::kButton.top + 78), QColor(0xFF, 0x99, 0x00));
    EXPECT_EQ(Pixel(outlined, 320, 250), QColor(0xE0, 0xE0, 0xE0)) << "the button itself shows through";

    ASSERT_TRUE(shown_.MoveTo(480, 300));
    EXPECT_TRUE(Becomes("area", Rect(PaintedDesktop::kOverlap))) << "the smaller of two overlapping children";
    ASSERT_TRUE(shown_.MoveTo(900, 200));
    EXPECT_TRUE(Becomes("area", {0, 0, kWidth, kHeight})) << "the desktop is the whole screen";
    ASSERT_TRUE(shown_.MoveTo(300, 440));
    EXPECT_TRUE(Becomes("area", Rect(PaintedDesktop::kFrame))) << "our own page is passed over";
    ASSERT_TRUE(shown_.MoveTo(230, 350));
    EXPECT_TRUE(Becomes("area", Rect(PaintedDesktop::kPanel)));

    ASSERT_TRUE(shown_.Xdotool({"mouseup", "1"}));
    EXPECT_TRUE(Says("picking", "0"));
    EXPECT_TRUE(Says("outline", "0"));
    const QImage after = Screenshot("after-picking");
    EXPECT_EQ(Pixel(after, PaintedDesktop::kPanel.left + 1, 300), QColor(0x30, 0x50, 0xA0)) << "no outline left";
    ASSERT_TRUE(shown_.MoveTo(800, 100));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(shown_.LastRect("area"), Rect(PaintedDesktop::kPanel)) << "the last window stays";
}

TEST_F(ScreenPickingOnXTest, TheCutIconsSelectorTakesADragWithEnterAndTwoRightClicksCancel) {
    ShowPage();
    const ScreenRect cut = *shown_.LastRect("cut");
    ASSERT_TRUE(shown_.ClickAt(cut));
    ASSERT_TRUE(Says("selector", "1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(Drag(100, 100, 300, 250));
    ASSERT_TRUE(Says("hasrect", "1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The frozen desktop, veiled at half strength around the rectangle and bright inside it.
    const QImage veiled = Screenshot("selector");
    const QColor outside = Pixel(veiled, 50, 300), inside = Pixel(veiled, 150, 200);
    EXPECT_EQ(inside, QColor(0xFF, 0x00, 0x00));
    EXPECT_NEAR(outside.red(), 127, 1);
    EXPECT_EQ(outside.green(), 0);
    EXPECT_EQ(Pixel(veiled, 104, 150), QColor(255, 153, 0)) << "the tracker's left edge";
    ASSERT_TRUE(shown_.Xdotool({"key", "Return"}));
    ASSERT_TRUE(Says("selector", "0"));
    // From the anchor + (4, 4) to the pointer.
    EXPECT_TRUE(Becomes("area", {104, 104, 196, 146})) << shown_.Output();

    ASSERT_TRUE(shown_.ClickAt(cut));
    ASSERT_TRUE(Says("selector", "1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(Drag(500, 100, 700, 300));
    ASSERT_TRUE(Says("hasrect", "1"));
    ASSERT_TRUE(shown_.ClickAt(600, 200, 3));
    ASSERT_TRUE(Says("hasrect", "0")) << "the first right click removes the rectangle";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Says("selector", "1")) << "and leaves the selector open";
    ASSERT_TRUE(shown_.Xdotool({"click", "3"}));
    EXPECT_TRUE(Says("selector", "0")) << "the second cancels";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(shown_.LastRect("area"), (ScreenRect{104, 104, 196, 146})) << "cancel keeps the area";
}

// The selector at a Qt scale factor gives the rectangle in the X server's own pixels, odd ones
// included, which a scaled event alone cannot name.
struct ScaledDrag {
    const char* factor;
    int fromX, fromY, toX, toY;
    ScreenRect expected;
};

class ScaledSelectorOnXTest : public ScreenPickingOnXTest, public testing::WithParamInterface<ScaledDrag> {};

TEST_P(ScaledSelectorOnXTest, GivesTheRectangleInScreenPixels) {
    const ScaledDrag& d = GetParam();
    Show({"region"}, {"QT_SCALE_FACTOR=" + std::string(d.factor)});
    ASSERT_THAT(shown_.Output(), HasSubstr("shown selector " + std::string(d.factor)));
    ASSERT_TRUE(Drag(d.fromX, d.fromY, d.toX, d.toY));
    ASSERT_TRUE(Says("hasrect", "1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const QImage veiled = Screenshot("scaled-selector");
    EXPECT_EQ(Pixel(veiled, d.expected.x, 150), QColor(255, 153, 0)) << "the tracker drawn where the pointer put it";
    EXPECT_NEAR(Pixel(veiled, d.expected.x - 1, 150).red(), 127, 1) << "and not a pixel before";
    EXPECT_EQ(Pixel(veiled, 150, 200), QColor(0xFF, 0x00, 0x00)) << "the frozen screen at its own size";
    ASSERT_TRUE(shown_.Xdotool({"key", "Return"}));
    ASSERT_TRUE(Says("selector", "0"));
    EXPECT_TRUE(Becomes("area", d.expected)) << shown_.Output();
}

INSTANTIATE_TEST_SUITE_P(Factors, ScaledSelectorOnXTest,
                         testing::Values(ScaledDrag{"2", 100, 100, 300, 250, {104, 104, 196, 146}},
                                         ScaledDrag{"2", 101, 101, 301, 251, {105, 105, 196, 146}},
                                         ScaledDrag{"1.5", 101, 101, 301, 251, {105, 105, 196, 146}}));

// Each output dialog of the page, seen and cancelled as a person would.
class ScreenDialogsOnXTest : public ScreenPickingOnXTest, public testing::WithParamInterface<const char*> {};

TEST_P(ScreenDialogsOnXTest, ShowsEverythingUnclippedAndCancels) {
    Show({GetParam()});
    ExpectLayoutSound();
    Screenshot(GetParam());
    const std::optional<ScreenRect> cancel = shown_.LastRect("cancel");
    ASSERT_TRUE(cancel) << shown_.Output();
    ASSERT_TRUE(shown_.ClickAt(*cancel));
    EXPECT_TRUE(shown_.WaitOutput("ended 0\n")) << shown_.Output();
}

INSTANTIATE_TEST_SUITE_P(Formats, ScreenDialogsOnXTest, testing::Values("wmv", "avi", "mp3", "swf", "flv"));

}  // namespace
