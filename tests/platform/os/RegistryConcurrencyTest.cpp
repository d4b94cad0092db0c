#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace {

constexpr const char* kKey = "Software\\Orvanta\\Concurrency";
constexpr int kValuesPerWriter = 200;

pid_t StartWriter(const std::string& prefix) {
    std::string program = (testing_support::TestBinDir() / "registry_writer").string();
    std::string count = std::to_string(kValuesPerWriter);
    char* argv[] = {program.data(), const_cast<char*>(prefix.c_str()), count.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    return pid;
}

// The exit status, or -1 when the writer had to be killed after the time limit.
int WaitBounded(pid_t pid, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

void ExpectEveryValue(const std::vector<std::string>& prefixes) {
    std::set<std::string> expected;
    for (const std::string& prefix : prefixes) {
        for (int n = 0; n < kValuesPerWriter; ++n)
            expected.insert(prefix + "-" + std::to_string(n));
    }
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(store.Read([&](const RegistryTree& tree) {
        std::vector<std::string> names = tree.EnumValueNames(HKEY_CURRENT_USER, kKey);
        EXPECT_EQ(names.size(), expected.size());
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
        for (const std::string& prefix : prefixes) {
            for (int n = 0; n < kValuesPerWriter; n += 37) {
                EXPECT_EQ(tree.GetDword(HKEY_CURRENT_USER, kKey, prefix + "-" + std::to_string(n)),
                          static_cast<uint32_t>(n));
            }
        }
    }),
              S_OK);
}

}  // namespace

TEST(RegistryConcurrency, TwoProcessesWritingAtOnceLoseNothing) {
    pid_t first = StartWriter("first");
    pid_t second = StartWriter("second");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitBounded(first, std::chrono::seconds(120)), 0);
    EXPECT_EQ(WaitBounded(second, std::chrono::seconds(120)), 0);
    ExpectEveryValue({"first", "second"});
}

TEST(RegistryConcurrency, ThreadsOfOneProcessExcludeEachOtherToo) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (const char* prefix : {"left", "right"}) {
        threads.emplace_back([prefix, &failures] {
            RegistryStore store = RegistryStore::Default();
            for (int n = 0; n < kValuesPerWriter; ++n) {
                if (FAILED(store.SetDword(HKEY_CURRENT_USER, kKey,
                                          std::string(prefix) + "-" + std::to_string(n),
                                          static_cast<uint32_t>(n)))) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
    ExpectEveryValue({"left", "right"});
}
