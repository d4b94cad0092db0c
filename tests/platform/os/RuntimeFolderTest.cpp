#include "platform/os/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/os/MessageWindow.h"
#include "platform/os/NamedMutex.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowMessages.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::TestEnvironment;

namespace {

mode_t ModeOf(const fs::path& folder) {
    struct stat info {};
    ::lstat(folder.c_str(), &info);
    return info.st_mode & 07777;
}

void UseFolder(const fs::path& folder) {
    setenv("ORVANTA_RUNTIME_DIR", folder.c_str(), 1);
}

// The folder is refused by everything that lives in it.
void ExpectRefused(const fs::path& folder) {
    UseFolder(folder);
    EXPECT_EQ(RuntimeFolder::Get(), std::nullopt) << folder;
    HRESULT hr = S_OK;
    EXPECT_EQ(MessageWindow::Create("Refused", "", {}, &hr), nullptr);
    EXPECT_EQ(hr, E_ACCESSDENIED);
    EXPECT_EQ(CreateMutex("Refused", true), nullptr);
    EXPECT_EQ(FindWindow(nullptr, nullptr), 0u);
}

}  // namespace

TEST(RuntimeFolder, EnvironmentChoosesTheFolder) {
    EXPECT_EQ(RuntimeFolder::Configured(), TestEnvironment::Current().RuntimeDir());
    unsetenv("ORVANTA_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    EXPECT_EQ(RuntimeFolder::Configured(), fs::path("/run/user/1234/orvanta"));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(RuntimeFolder::Configured(), fs::path("/tmp/orvanta-" + std::to_string(::geteuid())));
}

TEST(RuntimeFolder, MissingFolderIsCreatedClosedToOthers) {
    fs::path folder = TestEnvironment::Current().Dir() / "xdg" / "orvanta";
    unsetenv("ORVANTA_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", (TestEnvironment::Current().Dir() / "xdg").c_str(), 1);
    mode_t umask = ::umask(0);  // the folder's mode must not depend on the caller's umask
    auto got = RuntimeFolder::Get();
    ::umask(umask);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, folder);
    EXPECT_EQ(ModeOf(folder), 0700u);
    auto window = MessageWindow::Create("Created", "", {});
    ASSERT_TRUE(window);
    EXPECT_TRUE(fs::exists(WindowDirectory(folder).SocketPath(window->Handle())));
    EXPECT_EQ(FindWindow("Created", nullptr), window->Handle());
}

TEST(RuntimeFolder, UnsafeFoldersAreRefused) {
    fs::path base = TestEnvironment::Current().Dir();
    fs::path open = base / "open";
    fs::create_directories(open);
    fs::permissions(open, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                    fs::perm_options::replace);
    ExpectRefused(open);

    fs::path world = base / "world";
    fs::create_directories(world);
    fs::permissions(world, fs::perms::owner_all | fs::perms::others_write,
                    fs::perm_options::replace);
    ExpectRefused(world);

    fs::path link = base / "link";
    fs::create_directory_symlink(TestEnvironment::Current().RuntimeDir(), link);
    ExpectRefused(link);

    fs::path file = base / "file";
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        std::fclose(f);
    }
    ExpectRefused(file);

    if (::geteuid() == 0) {  // only root can hand a folder to somebody else
        fs::path foreign = base / "foreign";
        fs::create_directories(foreign);
        fs::permissions(foreign, fs::perms::owner_all, fs::perm_options::replace);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        ExpectRefused(foreign);
    }
}

TEST(RuntimeFolder, SocketPathTooLongFailsInsteadOfBeingCut) {
    fs::path deep = TestEnvironment::Current().Dir() / std::string(100, 'd');
    fs::create_directories(deep);
    fs::permissions(deep, fs::perms::owner_all, fs::perm_options::replace);
    UseFolder(deep);
    HRESULT hr = S_OK;
    EXPECT_EQ(MessageWindow::Create("Deep", "", {}, &hr), nullptr);
    EXPECT_EQ(hr, HResultFromErrno(ENAMETOOLONG));
    EXPECT_TRUE(fs::is_empty(deep)) << "nothing is left behind";
}
