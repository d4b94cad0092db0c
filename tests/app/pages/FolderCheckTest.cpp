// The output folder checks: the path rules, the folder browser's OK and the system-folder warning.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/pages/FolderCheck.h"
#include "platform/os/FileDialogRecorder.h"
#include "platform/os/Folders.h"
#include "platform/os/MessageBoxRecorder.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::TestEnvironment;

namespace {
std::string Base() { return TestEnvironment::Current().Dir().string(); }
}  // namespace

TEST(CheckFolderPath, RootAndAbsolutePathsOnly) {
    EXPECT_EQ(CheckFolderPath("/", false), kFolderPathValid);
    EXPECT_EQ(CheckFolderPath("/", true), kFolderPathValid);
    EXPECT_EQ(CheckFolderPath("/home/u/Videos", false), kFolderPathValid) << "need not exist yet";
    for (const char* path : {"", "home/u", "./out", "~/out", "C:\\out", "1/out"})
        EXPECT_EQ(CheckFolderPath(path, false), kFolderPathInvalid) << path;
    EXPECT_EQ(CheckFolderPath("/home/u/Videos/", false), kFolderPathInvalid) << "trailing /";
    EXPECT_EQ(CheckFolderPath("/home//u", false), kFolderPathInvalid) << "empty component";
}

TEST(CheckFolderPath, ComponentRules) {
    for (const char* bad : {" u", "u ", "\tu", "u\t", ".u", "u.", ".", "..", "a\"b", "a*b", "a:b",
                            "a<b", "a>b", "a?b", "a\\b", "a|b", "a\nb", "a\rb", "a\x7f" "b",
                            "a\tb"}) {
        EXPECT_EQ(CheckFolderPath(std::string("/home/") + bad + "/x", false), kFolderPathInvalid)
            << "component [" << bad << "]";
    }
    for (const char* good : {"u", "a b", "a.b", "a-b_c", "Vidéos", "a,b;c'd", "a&b#c%"})
        EXPECT_EQ(CheckFolderPath(std::string("/home/") + good, false), kFolderPathValid) << good;
}

TEST(CheckFolderPath, CreatesEveryMissingFolderOnlyForAValidPath) {
    const std::string target = Base() + "/out/snapshots/2026";
    EXPECT_EQ(CheckFolderPath(target, true), kFolderPathValid);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(CheckFolderPath(target, true), kFolderPathValid) << "already there";

    EXPECT_EQ(CheckFolderPath(Base() + "/made/not?here", true), kFolderPathInvalid);
    EXPECT_FALSE(fs::exists(Base() + "/made")) << "nothing made for an invalid path";

    std::ofstream(Base() + "/file") << "x";
    EXPECT_EQ(CheckFolderPath(Base() + "/file/inside", true), kFolderPathNotCreated);
    EXPECT_EQ(CheckFolderPath(Base() + "/file", true), kFolderPathNotCreated) << "a file is no folder";
}

TEST(FolderBrowserOk, InvalidAndUncreatableFoldersKeepTheBrowserOpen) {
    MessageBoxRecorder boxes;
    EXPECT_FALSE(AcceptOutputFolder("relative/out"));
    std::ofstream(Base() + "/file") << "x";
    boxes.Answer(IDYES);
    EXPECT_FALSE(AcceptOutputFolder(Base() + "/file/out"));
    ASSERT_EQ(boxes.Calls().size(), 3u);
    EXPECT_EQ(boxes.Calls()[0].text, "The output folder:\n\nrelative/out\n\nis invalid or not specified!");
    EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes.Calls()[1].Buttons(), MB_YESNO);
    EXPECT_EQ(boxes.Calls()[2].text, "The output folder you selected:\n\n" + Base() +
                                         "/file/out\n\ncan't be created! Please select a new one.");
    EXPECT_EQ(boxes.Calls()[2].Icon(), MB_ICONEXCLAMATION);
}

TEST(FolderBrowserOk, MissingFolderIsMadeOnlyWhenThePersonSaysYes) {
    MessageBoxRecorder boxes;
    const std::string folder = Base() + "/new %s folder";
    boxes.Answer(IDNO);
    EXPECT_FALSE(AcceptOutputFolder(folder));
    EXPECT_FALSE(fs::exists(folder));
    boxes.Answer(IDYES);
    EXPECT_TRUE(AcceptOutputFolder(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(AcceptOutputFolder(folder)) << "existing: no question";
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[0].text, "The output folder you selected:\n\n" + folder +
                                         "\n\ndoesn't exist, do you want to create it?");
    EXPECT_EQ(boxes.Calls()[0].type, MB_YESNO | MB_ICONQUESTION);
}

TEST(FolderBrowserOk, BrowserTriesAgainUntilAFolderPasses) {
    MessageBoxRecorder boxes;
    FileDialogRecorder dialogs;
    dialogs.Answer(Base() + "/bad./x");
    dialogs.Answer(Base());
    EXPECT_EQ(BrowseForOutputFolder("Please select a folder to save",
                                    "Please select a folder or create a new folder to save output images.",
                                    "/home"),
              Base());
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].kind, FileDialogKind::Folder);
    EXPECT_EQ(dialogs.Requests()[0].initialFolder, "/home");
    EXPECT_EQ(boxes.Calls().size(), 1u) << "the invalid one was told";
    dialogs.Cancel();
    EXPECT_EQ(BrowseForOutputFolder("t", "p", "/"), std::nullopt);
}

TEST(SystemFolderWarning, SystemFoldersByWholeComponents) {
    EXPECT_EQ(SystemFolderOf("/"), "/");
    EXPECT_EQ(SystemFolderOf("/usr"), "/usr");
    EXPECT_EQ(SystemFolderOf("/usr/local/share/"), "/usr");
    EXPECT_EQ(SystemFolderOf("/etc/x/../y"), "/etc");
    EXPECT_EQ(SystemFolderOf("/home/../boot"), "/boot");
    EXPECT_EQ(SystemFolderOf(GetWindowsFolder() + "/capture"), GetWindowsFolder());
    for (const char* mine : {"/home/u/usr", "/usrdata", "/home/u/etc/x", "/tmp", "/media/Videos/opt"})
        EXPECT_EQ(SystemFolderOf(mine), "") << mine;
    EXPECT_EQ(SystemFolderOf(GetProgramFolder()), "") << "beside the program, not in system/";
    // A link that leads into a system folder is that folder.
    const fs::path link = TestEnvironment::Current().Dir() / "shortcut";
    fs::create_directory_symlink("/etc", link);
    EXPECT_EQ(SystemFolderOf((link / "sub").string()), "/etc");
}

TEST(SystemFolderWarning, OkGoesOnCancelAbortsAndOnlyOnNewerSystems) {
    MessageBoxRecorder boxes;
    EXPECT_TRUE(ConfirmOutputFile("/usr/x.avi", SystemFolderWarning::OkCancel, false));
    EXPECT_THAT(boxes.Calls(), IsEmpty()) << "older systems: no warning";

    EXPECT_TRUE(ConfirmOutputFile("/home/u/usr/x.avi", SystemFolderWarning::OkCancel, true));
    EXPECT_TRUE(ConfirmOutputFile("/usr/x.avi", SystemFolderWarning::OkCancel, true)) << "OK";
    boxes.Answer(IDCANCEL);
    EXPECT_FALSE(ConfirmOutputFile("/x.avi", SystemFolderWarning::OkCancel, true));
    boxes.Answer(IDCANCEL);
    EXPECT_FALSE(ConfirmOutputFolder("/opt/snaps", SystemFolderWarning::OkCancel, true));
    EXPECT_TRUE(ConfirmOutputFolder("/opt/snaps", SystemFolderWarning::InformOnly, true));

    ASSERT_EQ(boxes.Calls().size(), 4u);
    const MessageBoxRequest& usr = boxes.Calls()[0];
    EXPECT_EQ(usr.text,
              "You have selected the system partition '/usr' or its subfolder to save your output "
              "files. This will be forbidden by Windows Vista or higher Windows version for system "
              "security. We suggest that you'd better select another non-system folder to save the "
              "output files, or the conversion may be unsteady or failed. Press OK to continue, or "
              "press CANCEL to select a new output folder first.");
    EXPECT_EQ(usr.caption, "Important Warning!");
    EXPECT_EQ(usr.type, MB_OKCANCEL | MB_ICONEXCLAMATION);
    EXPECT_THAT(boxes.Calls()[1].text, testing::StartsWith("You have selected the system partition '/' or"));
    const MessageBoxRequest& inform = boxes.Calls()[3];
    EXPECT_EQ(inform.type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_THAT(inform.text, testing::EndsWith("or the conversion may be unsteady or failed."));
}
