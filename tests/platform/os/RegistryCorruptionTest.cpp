#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

const std::string kCorrupt =
    "ORVANTA-REGISTRY 1\n"
    "[HKEY_CURRENT_USER\\Software\\Precious]\n"
    "\"Kept\"=sz:\"worth keeping\"\n"
    "\"Broken\"=dword:nothex\n";

void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::vector<fs::path> CorruptCopies(const fs::path& store) {
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(store.parent_path())) {
        if (entry.path().filename().string().starts_with(store.filename().string() + ".corrupt-")) {
            copies.push_back(entry.path());
        }
    }
    std::sort(copies.begin(), copies.end());
    return copies;
}

}  // namespace

TEST(RegistryCorruption, ReadsFailClearlyAndLeaveTheFileAlone) {
    RegistryStore store = RegistryStore::Default();
    WriteFile(store.Path(), kCorrupt);

    testing::internal::CaptureStderr();
    bool called = false;
    HRESULT hr = store.Read([&](const RegistryTree&) { called = true; });
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(hr, REGISTRY_E_CORRUPT);
    EXPECT_FALSE(called);
    EXPECT_NE(message.find(store.Path().string()), std::string::npos) << message;
    EXPECT_NE(message.find("line 4"), std::string::npos) << message;

    // The convenience getters read as missing, and nothing is changed by reading.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(store.GetString(HKEY_CURRENT_USER, "Software\\Precious", "Kept"));
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software\\Precious"));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadFile(store.Path()), kCorrupt);
    EXPECT_TRUE(CorruptCopies(store.Path()).empty());
}

TEST(RegistryCorruption, TheFirstChangeKeepsTheCorruptFileAsideAndStartsEmpty) {
    RegistryStore store = RegistryStore::Default();
    WriteFile(store.Path(), kCorrupt);

    testing::internal::CaptureStderr();
    ASSERT_EQ(store.SetString(HKEY_CURRENT_USER, "Software\\Fresh", "", "new"), S_OK);
    std::string message = testing::internal::GetCapturedStderr();

    std::vector<fs::path> copies = CorruptCopies(store.Path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFile(copies[0]), kCorrupt);
    EXPECT_NE(message.find(copies[0].string()), std::string::npos) << message;

    EXPECT_EQ(store.GetString(HKEY_CURRENT_USER, "Software\\Fresh", ""), "new");
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software\\Precious"));

    // A second corruption within the same second never replaces the first copy.
    WriteFile(store.Path(), "garbage\n");
    testing::internal::CaptureStderr();
    ASSERT_EQ(store.SetDword(HKEY_CURRENT_USER, "Software\\Fresh", "n", 1), S_OK);
    testing::internal::GetCapturedStderr();
    copies = CorruptCopies(store.Path());
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(ReadFile(copies[0]), kCorrupt);
    EXPECT_EQ(ReadFile(copies[1]), "garbage\n");
}

TEST(RegistryCorruption, AChangeThatCannotMoveTheFileAsideFailsAndKeepsIt) {
    // A folder nobody may write to. Root ignores folder permissions, so the change runs in a
    // child process that drops to an unprivileged user first.
    fs::path dir = TestEnvironment::Current().Dir();
    fs::path sealed = dir / "sealed";
    fs::create_directories(sealed);
    RegistryStore inner(sealed / "registry");
    WriteFile(inner.Path(), kCorrupt);
    WriteFile(inner.LockPath(), "");
    const fs::perms everyoneReadWrite = fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read | fs::perms::group_write |
                                        fs::perms::others_read | fs::perms::others_write;
    fs::permissions(inner.Path(), everyoneReadWrite, fs::perm_options::replace);
    fs::permissions(inner.LockPath(), everyoneReadWrite, fs::perm_options::replace);
    const fs::perms readOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(sealed, readOnlyFolder, fs::perm_options::replace);
    fs::permissions(dir, readOnlyFolder | fs::perms::owner_write, fs::perm_options::replace);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        HRESULT hr = inner.SetDword(HKEY_CURRENT_USER, "Software", "x", 1);
        ::_exit(hr == REGISTRY_E_CORRUPT ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    fs::permissions(sealed, fs::perms::owner_all, fs::perm_options::replace);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: the change did not fail with REGISTRY_E_CORRUPT, 3: setuid failed";
    EXPECT_EQ(ReadFile(inner.Path()), kCorrupt);
    EXPECT_TRUE(CorruptCopies(inner.Path()).empty());
}
