// The About box as the user sees it: caption, icon, the product line and two more lines, and the
// OK button that closes it. The dialog is worked by the replaceable runner, never shown modally.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "platform/os/DialogUnits.h"
#include "control/LumicorAbout.h"

namespace {

struct SeenAbout {
    int runs = 0;
    QString caption;
    QStringList lines;
    bool iconShown = false;
    QSize iconSize;
    QStringList buttons;
    int result = -1;
    bool visibleAfterOk = true;
    QSize size;
    QSize minimum;
};

// Reads the dialog, then presses OK the way the user would.
SeenAbout RunAbout(QWidget* parent) {
    SeenAbout seen;
    LumicorAboutRun previous = SetLumicorAboutRun([&](QDialog& dialog) {
        ++seen.runs;
        seen.caption = dialog.windowTitle();
        EXPECT_EQ(dialog.parentWidget(), parent);
        EXPECT_TRUE(dialog.isModal());
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) {
                seen.iconShown = true;
                seen.iconSize = label->pixmap().size();
            } else {
                seen.lines << label->text();
            }
        }
        QPushButton* ok = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            seen.buttons << button->text();
            if (button->text() == "OK") ok = button;
        }
        dialog.show();
        dialog.adjustSize();
        seen.size = dialog.size();
        seen.minimum = dialog.minimumSize();
        if (ok) ok->click();
        seen.visibleAfterOk = dialog.isVisible();
        seen.result = dialog.result();
        return dialog.result();
    });
    ShowLumicorAboutBox(parent);
    SetLumicorAboutRun(std::move(previous));
    return seen;
}

}  // namespace

TEST(LumicorAbout, ShowsCaptionIconProductLineAndTwoMoreLinesAndOkClosesIt) {
    QWidget owner;
    SeenAbout seen = RunAbout(&owner);
    EXPECT_EQ(seen.runs, 1);
    EXPECT_EQ(seen.caption, "About Lumicor Control");
    ASSERT_EQ(seen.lines.size(), 3);
    EXPECT_EQ(seen.lines[0], "Lumicor Live Control, Version 2.0");
    EXPECT_FALSE(seen.lines[1].isEmpty());
    EXPECT_FALSE(seen.lines[2].isEmpty());
    EXPECT_NE(seen.lines[1], seen.lines[2]);
    EXPECT_TRUE(seen.iconShown);
    EXPECT_EQ(seen.iconSize, QSize(32, 32));
    EXPECT_EQ(seen.buttons, QStringList{"OK"});
    EXPECT_EQ(seen.result, QDialog::Accepted);
    EXPECT_FALSE(seen.visibleAfterOk);
    // The template's 260 by 65 dialog units at least, in the dialog's own font.
    EXPECT_EQ(seen.minimum, DialogUnitsToPixels(260, 65, QApplication::font()));
    EXPECT_GE(seen.size.width(), seen.minimum.width());
    EXPECT_GE(seen.size.height(), seen.minimum.height());
}

TEST(LumicorAbout, RunsWithoutAnOwnerAndEachCallShowsAFreshBox) {
    SeenAbout first = RunAbout(nullptr);
    SeenAbout second = RunAbout(nullptr);
    EXPECT_EQ(first.runs, 1);
    EXPECT_EQ(second.runs, 1);
    EXPECT_EQ(second.lines, first.lines);
    EXPECT_EQ(second.result, QDialog::Accepted);
}

TEST(LumicorAbout, IconIsDrawnAtTheSizeAskedWithTransparentCornersAndARedLight) {
    for (int size : {32, 48}) {
        QImage icon = LumicorIconImage(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0) << size;
        // The recording light's centre, at (13, 6) of a 16-unit grid (two units across).
        QRgb light = icon.pixel(13 * size / 16, 6 * size / 16);
        EXPECT_GT(qRed(light), 0xC0) << size;
        EXPECT_LT(qGreen(light), 0x60) << size;
    }
}
