#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "bench/broadcast/ChildProcess.h"
#include "bench/broadcast/ProcessTree.h"
#include "tests/support/TestEnvironment.h"

namespace {

std::filesystem::path TestFile(const std::string& name) {
    return testing_support::TestEnvironment::Current().Dir() / name;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
    return text;
}

TEST(ChildProcess, ItsOutputComesThroughThePipeWithTheAddedEnvironmentAndItsStatusAtTheEnd) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"sh", "-c", "echo \"$BENCH_WORD\"; echo oops >&2; exit 3"}, {"BENCH_WORD=hello"}, {},
                            TestFile("child.err")));
    EXPECT_EQ(ReadAll(child.OutputFd()), "hello\n");
    EXPECT_EQ(child.End(5000), 3);
    EXPECT_FALSE(child.Running());
    std::ifstream err(TestFile("child.err"));
    std::string line;
    std::getline(err, line);
    EXPECT_EQ(line, "oops");
}

TEST(ChildProcess, OneThatDoesNotEndInTimeIsTerminatedAndAMissingProgramIsAFailedStart) {
    ChildProcess sleeper;
    ASSERT_TRUE(sleeper.Start({"sleep", "30"}, {}, "/dev/null", TestFile("sleep.err")));
    EXPECT_TRUE(sleeper.Running());
    EXPECT_EQ(sleeper.End(100), 128 + SIGTERM);

    ChildProcess missing;
    EXPECT_FALSE(missing.Start({"no-such-program-for-the-bench"}, {}, "/dev/null", TestFile("missing.err")));
    EXPECT_NE(missing.Error(), "");
}

TEST(ProcessTree, AChildAndItsChildAreFoundWithTheirProgramTimeAndMemory) {
    ChildProcess shell;
    // The shell stays (a second command) with a sleep of its own below it.
    ASSERT_TRUE(shell.Start({"sh", "-c", "sleep 30; true"}, {}, "/dev/null", TestFile("shell.err")));
    std::vector<pid_t> below;
    for (int i = 0; i < 100 && below.size() < 2; ++i, ::usleep(20000)) below = Descendants(::getpid());
    ASSERT_NE(std::find(below.begin(), below.end(), shell.Pid()), below.end());
    std::vector<pid_t> shells = ChildrenRunning(::getpid(), std::filesystem::canonical("/bin/sh").string());
    EXPECT_NE(std::find(shells.begin(), shells.end(), shell.Pid()), shells.end());
    std::vector<pid_t> grandchildren = Descendants(shell.Pid());
    ASSERT_EQ(grandchildren.size(), 1u);
    EXPECT_EQ(CommandName(grandchildren[0]), "sleep");

    // This process has run and holds memory; a finished process is not listed.
    std::map<pid_t, ProcessFacts> facts = ReadFacts({::getpid(), grandchildren[0], 999999999});
    ASSERT_EQ(facts.count(::getpid()), 1u);
    EXPECT_GT(facts[::getpid()].peakKb, 1000);
    EXPECT_GE(facts[::getpid()].cpuSeconds, 0.0);
    EXPECT_EQ(facts.count(999999999), 0u);
    EXPECT_EQ(CommandName(999999999), "");
    ::kill(grandchildren[0], SIGKILL);
    EXPECT_EQ(shell.End(5000), 0);
}

}  // namespace
