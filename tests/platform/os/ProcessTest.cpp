#include "platform/os/Process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/Win32Error.h"
#include "tests/platform/os/OsTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using os_test::ElapsedMs;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

// The file's text once a started program has written it (an atomic rename ends each write).
std::string WaitForFile(const fs::path& file, int limitMs = 5000) {
    auto start = std::chrono::steady_clock::now();
    while (!fs::exists(file) && ElapsedMs(start) < limitMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return fs::exists(file) ? ReadFile(file) : std::string("<missing>");
}

// A shell command whose output lands in `file` in one step.
std::string WritesTo(const fs::path& file, const std::string& command) {
    return "sh -c '" + command + " > " + file.string() + ".tmp && mv " + file.string() + ".tmp " +
           file.string() + "'";
}

bool HasChildren() {
    errno = 0;
    return !(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}

}  // namespace

TEST(Process, StartsDetachedWithTheSplitArguments) {
    fs::path out = TestEnvironment::Current().Dir() / "args";
    std::string line = "sh -c 'printf \"%s|%s|%s\" \"$0\" \"$1\" \"$2\" > " + out.string() +
                       ".tmp; mv " + out.string() + ".tmp " + out.string() +
                       "' zero 'two words' \"three\"";
    ASSERT_EQ(StartProcess("/bin/sh", line), S_OK);
    EXPECT_EQ(WaitForFile(out), "zero|two words|three");
    EXPECT_FALSE(HasChildren()) << "nothing of ours is left to wait for";

    // Its parent is not us, and it runs in a session of its own.
    fs::path ids = TestEnvironment::Current().Dir() / "ids";
    ASSERT_EQ(StartProcess("", WritesTo(ids, "echo $PPID $(ps -o sid= -p $$)")), S_OK);
    std::string text = WaitForFile(ids);
    int parent = 0, session = 0;
    ASSERT_EQ(std::sscanf(text.c_str(), "%d %d", &parent, &session), 2) << text;
    EXPECT_NE(parent, ::getpid());
    EXPECT_NE(session, ::getsid(0));
}

TEST(Process, ProgramGetsNothingButItsStandardOutput) {
    int inherited = ::fcntl(STDERR_FILENO, F_DUPFD, 100);  // not close-on-exec
    ASSERT_GE(inherited, 100);
    fs::path fds = TestEnvironment::Current().Dir() / "fds";
    ASSERT_EQ(StartProcess("", WritesTo(fds, "ls /proc/$$/fd | tr \"\\n\" \" \"")), S_OK);
    std::string listing = " " + WaitForFile(fds);
    ::close(inherited);
    EXPECT_EQ(listing.find(" " + std::to_string(inherited) + " "), std::string::npos) << listing;

    fs::path input = TestEnvironment::Current().Dir() / "input";
    ASSERT_EQ(StartProcess("", WritesTo(input, "wc -c")), S_OK);
    EXPECT_EQ(WaitForFile(input), "0\n") << "standard input is empty";
}

TEST(Process, ProgramThatCannotRunIsReportedAsFailure) {
    EXPECT_EQ(StartProcess("/nonexistent/Relayo", "MyChildProcess"), HResultFromErrno(ENOENT));
    EXPECT_EQ(StartProcess("", "orvanta-no-such-program --flag"), HResultFromErrno(ENOENT));
    EXPECT_EQ(StartProcess("", ""), HResultFromErrno(ENOENT));
    fs::path plain = TestEnvironment::Current().Dir() / "plain.txt";
    std::ofstream(plain) << "not a program";
    EXPECT_EQ(StartProcess(plain.string(), ""), HResultFromErrno(EACCES));
    EXPECT_EQ(StartProcess("/bin/sh", "sh -c 'unterminated"), E_INVALIDARG);
    EXPECT_FALSE(HasChildren());
}

TEST(Process, RunWaitsForTheExitCodeWithinTheLimit) {
    int code = -1;
    EXPECT_EQ(RunProcess({"sh", "-c", "exit 3"}, 5000, &code), S_OK);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(RunProcess({"sh", "-c", "kill -9 $$"}, 5000, &code), S_OK);
    EXPECT_EQ(code, 128 + 9);
    EXPECT_EQ(RunProcess({"orvanta-no-such-program"}, 5000, &code), HResultFromErrno(ENOENT));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunProcess({"sleep", "10"}, 200, &code), HResultFromWin32(ERROR_TIMEOUT));
    EXPECT_LT(ElapsedMs(start), 3000);
    EXPECT_FALSE(HasChildren()) << "the program killed at the time-out is reaped";
}

TEST(Process, FindProgramSearchesPath) {
    fs::path bin = TestEnvironment::Current().Dir() / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "tool") << "#!/bin/sh\n";
    fs::permissions(bin / "tool", fs::perms::owner_all);
    std::ofstream(bin / "data") << "x";
    fs::permissions(bin / "data", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(bin / "folder");
    setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
    EXPECT_EQ(FindProgram("tool"), (bin / "tool").string());
    EXPECT_EQ(FindProgram("folder"), std::nullopt);
    if (::geteuid() != 0) {  // root may execute anything
        EXPECT_EQ(FindProgram("data"), std::nullopt);
    }
    EXPECT_EQ(FindProgram("./relative/x"), "./relative/x") << "a path is taken as it is";
    EXPECT_EQ(FindProgram(""), std::nullopt);
}
