// The Screen Recorder page's help: the hover tip's showing and hiding rules and the Tips balloon,
// offscreen.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "app/options/BalloonTip.h"
#include "app/pages/HoverTip.h"
#include "tests/app/options/WidgetInput.h"
#include "tests/app/pages/ScreenPageFixture.h"

namespace screen_page_test {
namespace {

using namespace widget_input;

TEST(HoverTipTest, ShowsAfterAMomentPointsAtItsAnchorAndHidingForgetsIt) {
    QWidget owner;
    HoverTip tip(&owner);
    tip.ShowTip("First line\nsecond line", QPoint(400, 300), 220);
    EXPECT_FALSE(tip.isVisible()) << "20 ms later";
    ASSERT_TRUE(Spin(500, [&] { return tip.isVisible(); }));
    // The pointer's tip is the anchor: the bottom edge, 220 pixels left of the right edge
    // (or 10 from the left edge when the tip is narrower).
    EXPECT_EQ(tip.y() + tip.height(), 300);
    EXPECT_GE(tip.x(), 400 - tip.width());
    EXPECT_LE(tip.x(), 390);

    // The same text at the same place changes nothing; another text replaces it.
    const QPoint at = tip.pos();
    tip.ShowTip("First line\nsecond line", QPoint(400, 300), 220);
    EXPECT_TRUE(tip.isVisible());
    tip.ShowTip("Other", QPoint(100, 100), 82);
    EXPECT_FALSE(tip.isVisible());
    ASSERT_TRUE(Spin(500, [&] { return tip.isVisible(); }));
    EXPECT_NE(tip.pos(), at);
    EXPECT_EQ(tip.Text(), "Other");
    tip.HideTip();
    EXPECT_FALSE(tip.isVisible());
    EXPECT_TRUE(tip.Text().isEmpty());
    EXPECT_EQ(tip.Anchor(), QPoint());
}

TEST(PageTipsTest, IconsShowTheirTipsAndTipsOpensTheWarningBalloon) {
    IniStore::Instance().Clear();
    ResetRecords();
    ScreenRecorderPage page(ScreenRecorderPage::Services{});
    page.show();
    Move(page.CutIcon(), QPoint(3, 3));
    ASSERT_TRUE(Spin(500, [&] { return page.Tip()->isVisible(); }));
    EXPECT_TRUE(page.Tip()->Text().startsWith("Click this 'Cut Icon'."));
    Press(page.FocusLabel(), QPoint(2, 2));
    ASSERT_TRUE(Spin(500, [&] { return page.Tip()->Text().startsWith("Use shortcut keys"); }));
    Release(page.FocusLabel(), QPoint(2, 2));
    // Any other click closes it.
    Press(page.CaptureAudio(), QPoint(2, 2));
    EXPECT_FALSE(page.Tip()->isVisible());

    page.OnTips();
    ASSERT_EQ(BalloonTip::OpenCount(), 1);
    auto balloons = page.findChildren<BalloonTip*>();
    ASSERT_EQ(balloons.size(), 1);
    EXPECT_EQ(balloons[0]->Title(), "Warning");
    EXPECT_TRUE(balloons[0]->Content().startsWith(
        "1. DON'T move the window when you have selected it as a capture object."));
    balloons[0]->close();
    Spin(100);
    IniStore::Instance().Clear();
}

}  // namespace
}  // namespace screen_page_test
