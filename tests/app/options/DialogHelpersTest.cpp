// The balloon tip's closing rules and the file dialog's set-up, offscreen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>

#include "app/options/BalloonTip.h"
#include "app/options/FileDialogEx.h"
#include "platform/os/EventWait.h"
#include "platform/os/MessageBox.h"
#include "tests/app/options/WidgetInput.h"
#include "tests/support/TestEnvironment.h"

using namespace widget_input;
using testing::ElementsAre;

namespace {

// Runs the event loop until `done` holds or a second has passed.
template <typename Condition>
bool SpinUntil(Condition done) {
    return RunEventsUntil(done, 1000);
}

TEST(BalloonTip, AnyKeyPressClosesEveryOpenBalloon) {
    QPushButton owner("owner");
    owner.show();
    QPointer<BalloonTip> first = BalloonTip::Show("Hint", "Press Stop to end the recording.", QPoint(100, 100),
                                                  BalloonIcon::Information, kBalloonPageOptions, &owner, {}, 0);
    QPointer<BalloonTip> second =
        BalloonTip::Show("Other", "Text", QPoint(300, 300), BalloonIcon::None, 0, &owner, {}, 0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->objectName(), "BalloonHelpClass");
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(BalloonTip::OpenCount(), 2);
    // The stem's tip is the anchor: the window's top edge, or its bottom edge when above it.
    EXPECT_EQ(first->y(), 100);
    EXPECT_LE(first->x(), 100);
    EXPECT_GE(first->x() + first->width(), 100);

    Key(&owner, Qt::Key_A);
    EXPECT_TRUE(SpinUntil([&] { return !first && !second; }));
    EXPECT_EQ(BalloonTip::OpenCount(), 0);
}

TEST(BalloonTip, TimeOutClickAndMouseMoveCloseByTheOptions) {
    QPushButton owner("owner");
    owner.resize(200, 100);
    owner.show();
    QPointer<BalloonTip> timed = BalloonTip::Show("T", "timed", QPoint(50, 50), BalloonIcon::Warning, 0, &owner, {}, 50);
    QPointer<BalloonTip> byMove = BalloonTip::Show("M", "move", QPoint(50, 50), BalloonIcon::Error,
                                                   kBalloonCloseOnMouseMove, &owner, {}, 0);
    QPointer<BalloonTip> byClick = BalloonTip::Show("C", "click", QPoint(50, 50), BalloonIcon::Question,
                                                    kBalloonCloseOnClick, &owner, {}, 0);
    EXPECT_TRUE(SpinUntil([&] { return !timed; }));
    EXPECT_TRUE(byMove && byClick);
    Move(&owner, QPoint(150, 90));
    EXPECT_TRUE(SpinUntil([&] { return !byMove; }));
    EXPECT_TRUE(byClick) << "a move does not close a balloon that closes on clicks";
    Press(&owner, QPoint(10, 10));
    EXPECT_TRUE(SpinUntil([&] { return !byClick; }));
}

TEST(FileDialogEx, NonNativeWithPlacesFiltersAndTheInitialNameAndCancelsWithNobodyThere) {
    std::string folder = testing_support::TestEnvironment::Current().Dir().string();
    FileDialogEx dialog(false, "bmp", QString::fromStdString(folder + "/logo.bmp"),
                        "Bitmap (*.bmp)|*.bmp|Pictures|*.jpg;*.gif|All files|*.*||");
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "bmp");
    EXPECT_THAT(dialog.nameFilters(), ElementsAre("Bitmap (*.bmp)", "Pictures (*.jpg *.gif)", "All files (*.*)"));
    EXPECT_FALSE(dialog.sidebarUrls().isEmpty());
    EXPECT_EQ(dialog.GetPathName().toStdString(), folder + "/logo.bmp");
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(FileDialogEx::NameFilters("").isEmpty());
    EXPECT_TRUE(FileDialogEx::NameFilters("Lonely description").isEmpty());
}

}  // namespace
