#include "platform/os/NamedMutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/platform/os/OsTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using os_test::ElapsedMs;
using os_test::PeerProcess;
using testing_support::TestEnvironment;

TEST(NamedMutex, ExistsWhileAnyHandleIsOpen) {
    DWORD error = 0xFFFF;
    auto first = CreateMutex("CGrabwell", true, &error);
    ASSERT_TRUE(first);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_TRUE(first->Owned());

    auto second = CreateMutex("CGrabwell", true, &error);
    ASSERT_TRUE(second);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(second->Owned()) << "initial ownership only for the creator";
    EXPECT_TRUE(OpenMutex("CGrabwell", &error));
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_FALSE(OpenMutex("cgrabwell", &error)) << "names are case-sensitive";
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

    first.reset();
    EXPECT_TRUE(OpenMutex("CGrabwell")) << "the second handle keeps it";
    second.reset();
    EXPECT_FALSE(OpenMutex("CGrabwell", &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    auto again = CreateMutex("CGrabwell", false, &error);
    ASSERT_TRUE(again);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_FALSE(again->Owned());
}

TEST(NamedMutex, OwnershipPassesBetweenHandles) {
    auto owner = CreateMutex("Owned", true);
    auto other = OpenMutex("Owned");
    ASSERT_TRUE(owner && other);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(other->Wait(60));
    EXPECT_GE(ElapsedMs(start), 55);
    EXPECT_FALSE(other->Release()) << "not owned";

    EXPECT_TRUE(owner->Wait(0)) << "the owner may take it again";
    EXPECT_TRUE(owner->Release());
    EXPECT_FALSE(other->Wait(20)) << "still owned once";
    EXPECT_TRUE(owner->Release());
    EXPECT_FALSE(owner->Owned());
    EXPECT_TRUE(other->Wait(100));
    EXPECT_FALSE(owner->Wait(20));
    other.reset();  // closing the handle gives ownership up
    EXPECT_TRUE(owner->Wait(100));
}

TEST(NamedMutex, NamesStayInsideTheRuntimeFolder) {
    fs::path folder = TestEnvironment::Current().RuntimeDir();
    auto mutex = CreateMutex("Global\\../../escape/x", true);
    ASSERT_TRUE(mutex);
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().parent_path(), folder);
        EXPECT_EQ(entry.path().filename().string().find('/'), std::string::npos);
    }
    EXPECT_EQ(NamedMutex::LockFile(folder, "Global\\../x").filename(),
              "mutex-Global%5C%2E%2E%2Fx.lock");
    EXPECT_TRUE(OpenMutex("Global\\../../escape/x"));
    EXPECT_FALSE(OpenMutex("Global\\../../escape/y"));

    DWORD error = 0;
    EXPECT_FALSE(CreateMutex("", true, &error));
    EXPECT_EQ(error, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(CreateMutex(std::string(300, 'n'), true, &error));
    EXPECT_EQ(error, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(CreateMutex(std::string(150, 'n'), true));
}

TEST(NamedMutex, SeenByAnotherProcessAndReleasedWhenItIsKilled) {
    PeerProcess first({"mutex", "CGrabwell"});
    ASSERT_EQ(first.WaitReady(), "created");
    DWORD error = 0;
    EXPECT_TRUE(OpenMutex("CGrabwell", &error));
    auto mine = CreateMutex("CGrabwell", true, &error);
    ASSERT_TRUE(mine);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(mine->Owned());
    EXPECT_FALSE(mine->Wait(30)) << "the other process owns it";

    // A second instance started meanwhile finds it too.
    PeerProcess second({"mutex", "CGrabwell"});
    EXPECT_EQ(second.WaitReady(), "exists");
    second.Kill();

    first.Kill();  // kill -9: the kernel drops its locks
    EXPECT_TRUE(mine->Wait(1000)) << "ownership of a killed owner is free again";
    mine.reset();
    EXPECT_FALSE(OpenMutex("CGrabwell", &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    auto fresh = CreateMutex("CGrabwell", true, &error);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_TRUE(fresh->Owned());
}
