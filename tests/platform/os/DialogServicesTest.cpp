// The dialog answerer, the file and folder dialogs and their recorder, and dialog units.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "platform/os/DialogUnits.h"
#include "platform/os/FileDialog.h"
#include "platform/os/FileDialogRecorder.h"
#include "platform/os/ModalDialog.h"
#include "platform/os/ModalDialogAnswerer.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing_support::TestEnvironment;

namespace {
FileDialogRequest Request(FileDialogKind kind, const std::string& title) {
    FileDialogRequest request;
    request.kind = kind;
    request.title = title;
    return request;
}
}  // namespace

TEST(ModalDialogAnswerer, AnswersByObjectNameOrTitleAndRecordsEveryDialog) {
    ModalDialogAnswerer answerer;
    QDialog named;
    named.setObjectName("SnapshotSettings");
    named.setWindowTitle("Snapshot Settings");
    QDialog titled;
    titled.setWindowTitle("Ready to record");
    QDialog unknown;
    unknown.setWindowTitle("Nobody answers this");

    answerer.Answer("SnapshotSettings", QDialog::Accepted);
    int ran = 0;
    answerer.Answer("Ready to record", [&](QDialog& dialog) {
        ++ran;
        EXPECT_EQ(&dialog, &titled);
        dialog.accept();
        return dialog.result();
    });
    EXPECT_EQ(RunModalDialog(named), QDialog::Accepted);
    EXPECT_EQ(named.result(), QDialog::Accepted);
    EXPECT_EQ(RunModalDialog(titled), QDialog::Accepted);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(RunModalDialog(unknown), QDialog::Rejected) << "no screen: cancelled as before";
    answerer.Answer("SnapshotSettings", QDialog::Rejected);
    EXPECT_EQ(RunModalDialog(named), QDialog::Rejected) << "a later answer replaces the first";
    EXPECT_THAT(answerer.Seen(), ElementsAre("SnapshotSettings", "Ready to record",
                                             "Nobody answers this", "SnapshotSettings"));
}

TEST(ModalDialogAnswerer, GoneItLeavesDialogsAsTheyWere) {
    QDialog dialog;
    dialog.setWindowTitle("About");
    {
        ModalDialogAnswerer answerer;
        answerer.Answer("About", QDialog::Accepted);
        EXPECT_EQ(RunModalDialog(dialog), QDialog::Accepted);
    }
    EXPECT_EQ(RunModalDialog(dialog), QDialog::Rejected);
}

TEST(FileDialogFilters, WindowsFilterBecomesQtNameFilters) {
    EXPECT_THAT(FileDialogNameFilters("AVI files|*.avi;*.AVI||"),
                ElementsAre("AVI files (*.avi *.AVI)"));
    EXPECT_THAT(FileDialogNameFilters("WMV Profile(*.prx)|*.prx||"),
                ElementsAre("WMV Profile(*.prx) (*.prx)"));
    EXPECT_THAT(FileDialogNameFilters("JPG files|*.jpg;*.JPG|All files|*.*||"),
                ElementsAre("JPG files (*.jpg *.JPG)", "All files (*)"));
    EXPECT_THAT(FileDialogNameFilters("No end|*.x"), ElementsAre("No end (*.x)"));
    EXPECT_THAT(FileDialogNameFilters(""), ElementsAre());
    EXPECT_THAT(FileDialogNameFilters("Dangling|"), ElementsAre()) << "a type without patterns";
}

TEST(FileDialogRecorder, AnswersInTurnAndTriesAgainWhileTheCheckRefuses) {
    FileDialogRecorder dialogs;
    dialogs.Answer("/home/u/a.avi");
    dialogs.Cancel();
    dialogs.Answer("/bad");
    dialogs.Answer("/also bad");
    dialogs.Answer("/home/u/out");

    FileDialogRequest save = Request(FileDialogKind::Save, "Please specify an output filename:");
    save.filter = "AVI files|*.avi||";
    EXPECT_EQ(RunFileDialog(save), "/home/u/a.avi");
    EXPECT_EQ(RunFileDialog(save), std::nullopt);

    std::vector<std::string> checked;
    FileDialogRequest folder = Request(FileDialogKind::Folder, "Please select a folder to save");
    folder.validate = [&](const std::string& path) {
        checked.push_back(path);
        return path == "/home/u/out";
    };
    EXPECT_EQ(RunFileDialog(folder), "/home/u/out");
    EXPECT_THAT(checked, ElementsAre("/bad", "/also bad", "/home/u/out"));
    dialogs.Answer("/bad");
    EXPECT_EQ(RunFileDialog(folder), std::nullopt) << "no answer passed: cancelled";
    EXPECT_EQ(RunFileDialog(save), std::nullopt) << "an empty queue cancels";

    ASSERT_EQ(dialogs.Requests().size(), 5u);
    EXPECT_EQ(dialogs.Requests()[0].title, "Please specify an output filename:");
    EXPECT_EQ(dialogs.Requests()[2].kind, FileDialogKind::Folder);
}

// The real folder dialog, driven through the dialog answerer as a person would type and press OK.
TEST(FolderDialog, TypedFolderIsCheckedOnOkAndARefusalKeepsTheDialogOpen) {
    const fs::path base = TestEnvironment::Current().Dir();
    std::vector<std::string> checked;
    FileDialogRequest request = Request(FileDialogKind::Folder, "Please select a folder to save");
    request.prompt = "Please select a folder or create a new folder to save output images.";
    request.initialFolder = base.string();
    request.validate = [&](const std::string& path) {
        checked.push_back(path);
        return path.find("refused") == std::string::npos;
    };

    ModalDialogAnswerer answerer;
    bool stayedOpen = false;
    answerer.Answer(kFolderDialogObjectName, [&](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        EXPECT_NE(files, nullptr);
        EXPECT_EQ(dialog.windowTitle(), "Please select a folder to save");
        dialog.show();
        auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
        if (!edit) {
            ADD_FAILURE() << "no folder edit";
            return int{QDialog::Rejected};
        }
        edit->setText("refused");
        dialog.accept();
        stayedOpen = dialog.isVisible() && dialog.result() != QDialog::Accepted;
        edit->setText("new folder");  // relative to the folder shown, and not made yet
        dialog.accept();
        return dialog.result();
    });
    EXPECT_EQ(RunFileDialog(request), (base / "new folder").string());
    EXPECT_TRUE(stayedOpen);
    EXPECT_THAT(checked, ElementsAre((base / "refused").string(), (base / "new folder").string()));
    EXPECT_THAT(answerer.Seen(), ElementsAre(kFolderDialogObjectName));
}

TEST(FileDialog, SaveDialogAddsTheExtensionAndWithoutAScreenIsCancelled) {
    const fs::path base = TestEnvironment::Current().Dir();
    FileDialogRequest request = Request(FileDialogKind::Save, "Please specify an output filename:");
    request.filter = "AVI files|*.avi;*.AVI||";
    request.defaultExtension = "avi";
    request.initialFolder = base.string();
    EXPECT_EQ(RunFileDialog(request), std::nullopt) << "offscreen, nobody to press OK";

    ModalDialogAnswerer answerer;
    answerer.Answer(kFileDialogObjectName, [&](QDialog& dialog) {
        auto& files = static_cast<QFileDialog&>(dialog);
        EXPECT_THAT(files.nameFilters(), ElementsAre("AVI files (*.avi *.AVI)"));
        dialog.show();
        dialog.findChild<QLineEdit*>("fileNameEdit")->setText("clip");
        dialog.accept();
        return dialog.result();
    });
    EXPECT_EQ(RunFileDialog(request), (base / "clip.avi").string());
}

TEST(DialogUnits, FollowTheFontAQuarterCharacterAcrossAndAnEighthOfTheHeightDown) {
    QFont small = QApplication::font();
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    QSize a = DialogUnitsToPixels(260, 65, small);
    QSize b = DialogUnitsToPixels(260, 65, large);
    EXPECT_GT(b.width(), a.width());
    EXPECT_GT(b.height(), a.height());
    EXPECT_EQ(DialogUnitsToPixels(8, 8, small).height(), QFontMetrics(small).height());
    EXPECT_EQ(DialogUnitsToPixels(0, 0, small), QSize(0, 0));
}
