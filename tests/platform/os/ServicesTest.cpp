// The message box, shutdown and shell services and their test doubles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/os/MessageBox.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ModalDialog.h"
#include "platform/os/ShellOpen.h"
#include "platform/os/ShellOpenRecorder.h"
#include "platform/os/Shutdown.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::Optional;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

TEST(MessageBoxService, RecorderSeesTextCaptionButtonsAndIcon) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(MessageBox("Another Orvanta Programme is running now!", "", MB_ICONINFORMATION),
              IDOK);
    EXPECT_EQ(MessageBox("Overwrite?", "Tips", MB_YESNO | MB_ICONQUESTION), IDYES)
        << "the default button";
    boxes.Answer(IDNO);
    boxes.Answer(IDCANCEL);
    EXPECT_EQ(MessageBox("Overwrite?", "Tips", MB_YESNO | MB_ICONQUESTION), IDNO)
        << "queued answers in order";
    EXPECT_EQ(MessageBox("Go on?", "Tips", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(boxes.Calls().size(), 4u);
    const MessageBoxRequest& first = boxes.Calls()[0];
    EXPECT_EQ(first.text, "Another Orvanta Programme is running now!");
    EXPECT_EQ(first.caption, "");
    EXPECT_EQ(first.Buttons(), MB_OK);
    EXPECT_EQ(first.Icon(), MB_ICONINFORMATION);
    EXPECT_EQ(boxes.Calls()[1].caption, "Tips");
    EXPECT_EQ(boxes.Calls()[1].Buttons(), MB_YESNO);
    EXPECT_EQ(boxes.Calls()[1].Icon(), MB_ICONQUESTION);
}

TEST(MessageBoxService, DefaultButtonFollowsTheButtonOrder) {
    auto request = [](UINT type) { return MessageBoxRequest{"", "", type}; };
    EXPECT_EQ(request(MB_YESNOCANCEL).DefaultAnswer(), IDYES);
    EXPECT_EQ(request(MB_YESNOCANCEL | MB_DEFBUTTON2).DefaultAnswer(), IDNO);
    EXPECT_EQ(request(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3 | MB_ICONERROR).DefaultAnswer(), IDIGNORE);
    EXPECT_EQ(request(MB_RETRYCANCEL | MB_DEFBUTTON2).DefaultAnswer(), IDCANCEL);
    EXPECT_EQ(request(MB_OK | MB_DEFBUTTON3).DefaultAnswer(), IDOK) << "no third button";
    EXPECT_EQ(request(0xE).DefaultAnswer(), IDOK) << "unknown button set";
}

TEST(MessageBoxService, RecordersNestAndRestore) {
    MessageBoxRecorder outer;
    {
        MessageBoxRecorder inner;
        MessageBox("inner");
        EXPECT_EQ(inner.Calls().size(), 1u);
    }
    MessageBox("outer");
    ASSERT_EQ(outer.Calls().size(), 1u);
    EXPECT_EQ(outer.Calls()[0].text, "outer");
}

TEST(MessageBoxService, WithoutAScreenTheDefaultButtonAnswersAtOnce) {
    // Tests run offscreen: a real dialog would wait for a click forever.
    EXPECT_EQ(MessageBox("Nobody can click this", "Offscreen", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBox("Nor this", "Offscreen", MB_OKCANCEL), IDOK);
}

TEST(ModalDialogService, WithoutAScreenADialogIsCancelledAtOnce) {
    EXPECT_FALSE(CanShowDialog());
    QDialog dialog;
    // Were the dialog shown, this would end it (accepted) instead of the test hanging.
    QTimer::singleShot(2000, &dialog, &QDialog::accept);
    EXPECT_EQ(RunModalDialog(dialog), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ShutdownService, RunsTheConfiguredCommandWithTheFlags) {
    fs::path log = TestEnvironment::Current().ShutdownLog();
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE), S_OK);
    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT), S_OK);
    EXPECT_EQ(ExitWindowsEx(EWX_POWEROFF | EWX_FORCEIFHUNG), S_OK);
    EXPECT_EQ(ExitWindowsEx(EWX_LOGOFF | EWX_FORCE), E_INVALIDARG);
    EXPECT_EQ(ReadFile(log),
              "poweroff --check-inhibitors=no\n"
              "reboot --check-inhibitors=yes\n"
              "poweroff --check-inhibitors=no\n");
}

TEST(ShutdownService, RefusalsAreReportedToTheCaller) {
    setenv("ORVANTA_SHUTDOWN_COMMAND", "sh -c 'exit 1' refuse", 1);
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE), E_FAIL);
    setenv("ORVANTA_SHUTDOWN_COMMAND", "/nonexistent/shutdown-command", 1);
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE), HResultFromErrno(ENOENT));
    setenv("ORVANTA_SHUTDOWN_COMMAND", "sh -c 'unbalanced", 1);
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE), E_INVALIDARG);
    EXPECT_FALSE(fs::exists(TestEnvironment::Current().ShutdownLog()));
}

TEST(ShutdownService, DefaultCommandIsSystemctl) {
    // Only the command line is built here; nothing is run without the recorder.
    std::string recorder = std::getenv("ORVANTA_SHUTDOWN_COMMAND");
    unsetenv("ORVANTA_SHUTDOWN_COMMAND");
    auto command = ShutdownCommandLine(EWX_SHUTDOWN | EWX_FORCE);
    auto reboot = ShutdownCommandLine(EWX_REBOOT);
    setenv("ORVANTA_SHUTDOWN_COMMAND", recorder.c_str(), 1);
    EXPECT_THAT(command, Optional(ElementsAre("systemctl", "poweroff", "--check-inhibitors=no")));
    EXPECT_THAT(reboot, Optional(ElementsAre("systemctl", "reboot", "--check-inhibitors=yes")));
    EXPECT_EQ(ShutdownCommandLine(EWX_LOGOFF), std::nullopt);
}

TEST(ShellOpenService, RecorderSeesTheTargets) {
    ShellOpenRecorder shell;
    EXPECT_EQ(ShellOpen("https://orvanta.example/support"), S_OK);
    EXPECT_EQ(ShellOpen("/home/user/Videos"), S_OK);
    EXPECT_EQ(ShellOpen("--help"), E_INVALIDARG) << "would read as an option";
    EXPECT_EQ(ShellOpen(""), E_INVALIDARG);
    EXPECT_THAT(shell.Targets(),
                ElementsAre("https://orvanta.example/support", "/home/user/Videos"));
    ShellOpenRecorder failing(E_FAIL);
    EXPECT_EQ(ShellOpen("x"), E_FAIL);
}

TEST(ShellOpenService, DesktopHandlerGetsTheTargetAsOneArgument) {
    fs::path bin = TestEnvironment::Current().Dir() / "bin";
    fs::path out = TestEnvironment::Current().Dir() / "opened";
    fs::create_directories(bin);
    std::ofstream(bin / "xdg-open")
        << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > " << out.string() << ".tmp\nmv "
        << out.string() << ".tmp " << out.string() << "\n";
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
    std::string target = "/tmp/it's a \"folder\" $HOME";
    ASSERT_EQ(ShellOpen(target), S_OK);
    for (int i = 0; i < 500 && !fs::exists(out); ++i) usleep(10000);
    EXPECT_EQ(ReadFile(out), "1|" + target);

    setenv("PATH", TestEnvironment::Current().Dir().c_str(), 1);
    EXPECT_EQ(ShellOpen("https://orvanta.example/"), HResultFromErrno(ENOENT));
}
