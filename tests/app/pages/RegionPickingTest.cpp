// Picking the capture area: Dynamic Focus around the pointer while recording, the window picker
// over native X windows, the region selector's drag, keys and clicks, and the geometry behind
// them.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "app/pages/DynamicFocus.h"
#include "app/pages/RegionSelector.h"
#include "app/pages/WindowPicker.h"
#include "platform/x11/X11WindowPicker.h"
#include "tests/app/options/WidgetInput.h"
#include "tests/app/pages/ScreenPageFixture.h"

namespace screen_page_test {
namespace {

using namespace widget_input;

struct Rect4 {
    int64_t l = 0, t = 0, r = 0, b = 0;
};

Rect4 RectOf(const std::vector<Variant>& v) {
    Rect4 out;
    v[0].GetInteger(&out.l), v[1].GetInteger(&out.t), v[2].GetInteger(&out.r), v[3].GetInteger(&out.b);
    return out;
}

TEST(CaptureGeometry, RoundsUpToEvenAndStaysOnTheScreen) {
    EXPECT_EQ(RecordedArea({3, 5, 801, 601}, 1024, 768), (CaptureArea{4, 6, 802, 602}));
    EXPECT_EQ(RecordedArea({3, 5, 801, 601}, 0, 0), (CaptureArea{4, 6, 802, 602})) << "screen unknown";
    EXPECT_EQ(RecordedArea({901, 0, 200, 100}, 1024, 768), (CaptureArea{824, 0, 200, 100}));
    // Wider than an odd screen: the widest even size that fits.
    EXPECT_EQ(RecordedArea({0, 0, 2000, 100}, 1023, 768), (CaptureArea{0, 0, 1022, 100}));
    EXPECT_EQ(RecordedArea({5, 5, 0, 10}, 1024, 768), std::nullopt);
    EXPECT_EQ(RecordedArea({5, 5, 10, 0}, 1024, 768), std::nullopt);
}

TEST(CaptureGeometry, ZoomTargetIsHalfTheAreaAroundTheMouseInsideIt) {
    const FocusRect full{4, 6, 806, 608};
    EXPECT_EQ(ZoomTarget(full, 0, 0), (FocusRect{4, 6, 405, 307}));
    EXPECT_EQ(ZoomTarget(full, 1000, 1000), (FocusRect{405, 307, 806, 608}));
    EXPECT_EQ(ZoomTarget(full, 405, 307), (FocusRect{204.5, 156.5, 605.5, 457.5}));
}

TEST(DynamicFocusSteps, SixStepsInFloatingPointReachTheTargetAndBack) {
    std::vector<std::array<int, 4>> sent;
    DynamicFocus focus([&](int l, int t, int r, int b) { sent.push_back({l, t, r, b}); },
                       [] { return QPointF(3, 3); });
    // A size whose sixth parts are fractions: truncated steps would stall short of the target.
    focus.Reset({0, 0, 1001, 751});
    focus.ZoomIn(false);
    EXPECT_FALSE(focus.ZoomingIn()) << "only while recording";
    focus.ZoomIn(true);
    ASSERT_TRUE(focus.ZoomingIn());
    for (int i = 0; i < 6 && !focus.Zoomed(); ++i) focus.ZoomInTick();
    EXPECT_TRUE(focus.Zoomed());
    EXPECT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent.back(), (std::array<int, 4>{0, 0, 500, 375}));
    focus.ZoomOut(true);
    for (int i = 0; i < 6 && focus.ZoomingOut(); ++i) focus.ZoomOutTick();
    EXPECT_FALSE(focus.Zoomed());
    EXPECT_EQ(sent.back(), (std::array<int, 4>{0, 0, 1001, 751}));
    EXPECT_EQ(sent.size(), 12u);
}

using ScreenFocus = ScreenPageFixture;

TEST_F(ScreenFocus, NearTheCornerTheZoomConvergesInsideTheAreaAndFollowsThePointer) {
    ScreenRecorderPage& page = MakePage(File("focus.flv"));
    std::vector<Rect4> rects;
    page.Control().SetCallHook([&](DISPID id, const std::vector<Variant>& v) {
        if (id == 49) rects.push_back(RectOf(v));
    });
    page.FormatList()->setCurrentIndex(kFormatFlv);
    page.SetArea({3, 5, 801, 601});
    Pointer(1, 1);
    page.ZoomIn();
    EXPECT_TRUE(rects.empty()) << "nothing before a recording";
    page.OnCapture();
    ASSERT_TRUE(page.Recording());
    page.OnHotKey(kHotKeyZoomIn);
    ASSERT_TRUE(Spin(2000, [&] { return page.Focus().Zoomed(); }));
    ASSERT_GE(rects.size(), 2u);
    // rects[0] is the full area of the start.
    for (const Rect4& r : rects) {
        EXPECT_GE(r.l, 4);
        EXPECT_GE(r.t, 6);
        EXPECT_LE(r.r, 806);
        EXPECT_LE(r.b, 608);
    }
    const Rect4 zoomed = rects.back();
    EXPECT_EQ(zoomed.l, 4);
    EXPECT_EQ(zoomed.t, 6);
    EXPECT_EQ(zoomed.r, 405);
    EXPECT_EQ(zoomed.b, 307);

    // Following: centred on the pointer, the zoom size kept.
    Pointer(500, 400);
    ASSERT_TRUE(Spin(2000, [&] { return rects.back().l != 4; }));
    EXPECT_EQ(rects.back().l, 299);
    EXPECT_EQ(rects.back().t, 249);
    EXPECT_EQ(rects.back().r - rects.back().l, 401);

    page.OnHotKey(kHotKeyZoomOut);
    ASSERT_TRUE(Spin(2000, [&] { return !page.Focus().Zoomed() && !page.Focus().ZoomingOut(); }));
    EXPECT_EQ(rects.back().l, 4);
    EXPECT_EQ(rects.back().t, 6);
    EXPECT_EQ(rects.back().r, 806);
    EXPECT_EQ(rects.back().b, 608);
    page.OnStop();
    testing_support::ProbedFile p = testing_support::ProbeSections(File("focus.flv"), "-show_entries stream=codec_type,width");
    ASSERT_TRUE(p.Stream("video"));
    EXPECT_EQ(p.Stream("video")->at("width"), "802") << "the file keeps its size while zooming";
}

using ScreenWindows = ScreenPageFixture;

TEST_F(ScreenWindows, TheDesktopPickerFindsTheSmallestWindowUnderThePoint) {
    X11WindowPicker desktop(server_->Display());
    ASSERT_TRUE(desktop.Available());
    auto same = [](const DesktopRect& r, const CaptureArea& a) {
        return r == DesktopRect{a.left, a.top, a.width, a.height};
    };
    EXPECT_TRUE(same(desktop.WindowAt(480, 300, {}), PaintedDesktop::kOverlap)) << "overlapping siblings";
    EXPECT_TRUE(same(desktop.WindowAt(300, 240, {}), PaintedDesktop::kButton)) << "a grandchild";
    EXPECT_TRUE(same(desktop.WindowAt(230, 350, {}), PaintedDesktop::kPanel));
    EXPECT_TRUE(same(desktop.WindowAt(590, 160, {}), PaintedDesktop::kFrame));
    EXPECT_EQ(desktop.WindowAt(900, 700, {}), (DesktopRect{0, 0, kScreenWidth, kScreenHeight})) << "the desktop";
    // The outline never hides the window under it from the search.
    desktop.ShowOutline({270, 210, 100, 80});
    EXPECT_TRUE(desktop.OutlineShown());
    EXPECT_TRUE(same(desktop.WindowAt(271, 211, {}), PaintedDesktop::kButton));
    unsigned long frame = 0;
    desktop.WindowAt(590, 160, {}, &frame);
    EXPECT_EQ(desktop.WindowAt(300, 240, {frame}), (DesktopRect{0, 0, kScreenWidth, kScreenHeight}))
        << "an ignored window is passed over with its children";
    desktop.HideOutline();
    EXPECT_FALSE(desktop.OutlineShown());

    // One of ours framed by a window manager, over the painted frame's top right corner: the
    // frame goes with it, its title strip included.
    const unsigned long own = desktop_->AddFramedWindow({580, 130, 100, 100}, {585, 155, 90, 70});
    EXPECT_TRUE(same(desktop.WindowAt(590, 170, {}), {585, 155, 90, 70})) << "seen when not ours";
    EXPECT_TRUE(same(desktop.WindowAt(590, 170, {own}), PaintedDesktop::kFrame));
    EXPECT_EQ(desktop.WindowAt(590, 140, {own}), (DesktopRect{0, 0, kScreenWidth, kScreenHeight}));
}

TEST_F(ScreenWindows, DraggingThePlusIconPutsThePickedWindowIntoTheEdits) {
    ScreenRecorderPage& page = MakePage(File("unused.flv"));
    page.show();
    QWidget* icon = page.PlusIcon();
    Press(icon, QPoint(5, 5));
    ASSERT_TRUE(page.Picker()->Picking());
    Pointer(300, 240);
    Move(icon, QPoint(6, 6));
    EXPECT_EQ(page.Area(), PaintedDesktop::kButton);
    EXPECT_TRUE(page.Picker()->OutlineShown());
    Pointer(480, 300);
    Move(icon, QPoint(7, 7));
    EXPECT_EQ(page.Area(), PaintedDesktop::kOverlap);
    Pointer(900, 700);
    Move(icon, QPoint(8, 8));
    EXPECT_EQ(page.Area(), (CaptureArea{0, 0, kScreenWidth, kScreenHeight}));
    Pointer(230, 350);
    Move(icon, QPoint(9, 9));
    Release(icon, QPoint(9, 9));
    EXPECT_FALSE(page.Picker()->Picking());
    EXPECT_FALSE(page.Picker()->OutlineShown());
    EXPECT_EQ(page.Area(), PaintedDesktop::kPanel) << "the last window stays";
    EXPECT_EQ(page.LeftEdit()->text(), "220");
    EXPECT_EQ(page.HeightEdit()->text(), "200");
}

// The selector with Qt's offscreen screen; positions in its physical pixels.
class RegionSelectorTest : public testing::Test {
protected:
    static void RightClick(QWidget* w, QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::RightButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
    }
    static void Drag(QWidget* w, QPoint from, QPoint to) {
        Press(w, from);
        Mouse(w, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        Mouse(w, QEvent::MouseMove, to, Qt::LeftButton);
        Release(w, to);
    }
};

TEST_F(RegionSelectorTest, ADragAndEnterGiveTheRectangleFromTheAnchorOnwards) {
    RegionSelector selector;
    selector.show();
    EXPECT_FALSE(selector.HasRect());
    Drag(&selector, {100, 100}, {300, 250});
    EXPECT_TRUE(selector.HasRect());
    EXPECT_FALSE(selector.Drawing());
    // The rectangle runs from the anchor + (4, 4) to the mouse.
    EXPECT_EQ(selector.Result(), QRect(104, 104, 196, 146));
    EXPECT_EQ(selector.LabelRect(), QRect(112, 70, 235, 26));
    Key(&selector, Qt::Key_Return);
    EXPECT_EQ(selector.result(), QDialog::Accepted);
    EXPECT_EQ(selector.Result(), QRect(104, 104, 196, 146));
}

TEST_F(RegionSelectorTest, RightClicksRemoveTheRectangleThenCancel) {
    RegionSelector selector;
    selector.show();
    Drag(&selector, {100, 100}, {300, 250});
    RightClick(&selector, {200, 200});
    EXPECT_FALSE(selector.HasRect());
    EXPECT_TRUE(selector.isVisible());
    RightClick(&selector, {200, 200});
    EXPECT_FALSE(selector.isVisible());
    EXPECT_EQ(selector.result(), QDialog::Rejected);
}

TEST_F(RegionSelectorTest, HandlesMoveAndResizeAndTheLabelButtonsEndIt) {
    RegionSelector selector;
    selector.show();
    Drag(&selector, {100, 100}, {300, 250});
    // The middle moves the rectangle; the bottom-right corner resizes it.
    Drag(&selector, {200, 180}, {220, 190});
    EXPECT_EQ(selector.Result(), QRect(124, 114, 196, 146));
    Drag(&selector, {319, 259}, {339, 279});
    EXPECT_EQ(selector.Result(), QRect(124, 114, 216, 166));
    // A second drag outside starts nothing new while a rectangle exists.
    Drag(&selector, {500, 400}, {600, 500});
    EXPECT_EQ(selector.Result(), QRect(124, 114, 216, 166));

    const QRect ok = selector.OkButtonRect();
    ASSERT_FALSE(ok.isEmpty());
    Move(&selector, ok.center());
    EXPECT_EQ(selector.OkState(), 2) << "hot";
    Press(&selector, ok.center());
    EXPECT_EQ(selector.OkState(), 1) << "pressed";
    Release(&selector, ok.center());
    EXPECT_EQ(selector.result(), QDialog::Accepted);
}

TEST_F(RegionSelectorTest, AtTheTopTheLabelMovesInsideAndEscapeWithoutARectangleCancels) {
    RegionSelector selector;
    selector.show();
    Drag(&selector, {100, 2}, {300, 100});
    EXPECT_EQ(selector.LabelRect().top(), selector.Result().top() + 8) << "inside the rectangle";
    Key(&selector, Qt::Key_Escape);
    EXPECT_FALSE(selector.HasRect());
    EXPECT_TRUE(selector.isVisible());
    Key(&selector, Qt::Key_Return);
    EXPECT_EQ(selector.result(), QDialog::Rejected) << "Enter with no rectangle cancels";
}

}  // namespace
}  // namespace screen_page_test
