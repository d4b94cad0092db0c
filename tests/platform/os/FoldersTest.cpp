#include "platform/os/Folders.h"

#include <unistd.h>

#include <gtest/gtest.h>
#include <QtGlobal>

#include <cstdlib>
#include <filesystem>

#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::TestEnvironment;

namespace {
void LocalFunction() {}
}  // namespace

TEST(Folders, ProgramAndModuleFolders) {
    std::string program = GetProgramFolder();
    EXPECT_EQ(program, fs::canonical(testing_support::TestBinDir()).string());
    EXPECT_NE(program.back(), '/');
    EXPECT_EQ(GetWindowsFolder(), program + "/system");

    EXPECT_EQ(GetModuleFolder(reinterpret_cast<const void*>(&LocalFunction)), program);
    std::string qtFolder = GetModuleFolder(reinterpret_cast<const void*>(&qVersion));
    EXPECT_TRUE(fs::exists(fs::path(qtFolder) / "libQt6Core.so.6")) << qtFolder;
    int onTheStack = 0;
    EXPECT_EQ(GetModuleFolder(&onTheStack), "");
    EXPECT_EQ(GetModuleFolder(nullptr), "");
}

TEST(Folders, TempFolderEndsWithASlash) {
    fs::path dir = TestEnvironment::Current().Dir();
    setenv("TMPDIR", dir.c_str(), 1);
    EXPECT_EQ(GetTempFolder(), dir.string() + "/");
    setenv("TMPDIR", (dir.string() + "//").c_str(), 1);
    EXPECT_EQ(GetTempFolder(), dir.string() + "/");
    for (const char* unusable : {"/nonexistent/tmp", "relative/tmp", ""}) {
        setenv("TMPDIR", unusable, 1);
        EXPECT_EQ(GetTempFolder(), "/tmp/") << unusable;
    }
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempFolder(), "/tmp/");
}

TEST(Folders, SettingsGoBesideTheProgramWhenItIsWritable) {
    std::string program = TestEnvironment::Current().ProgramFolderCopy().string();
    EXPECT_EQ(GetSettingsFolderFor(program), program);

    fs::path config = TestEnvironment::Current().ConfigDir();
    std::string missing = (TestEnvironment::Current().Dir() / "gone").string();
    EXPECT_EQ(GetSettingsFolderFor(missing), (config / "orvanta").string());
    EXPECT_TRUE(fs::is_directory(config / "orvanta")) << "created on the way";

    fs::path home = TestEnvironment::Current().Dir() / "home";
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(GetSettingsFolderFor(missing), (home / ".config" / "orvanta").string());

    if (::geteuid() != 0) {  // root writes everywhere
        fs::path readOnly = TestEnvironment::Current().Dir() / "readonly";
        fs::create_directories(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec,
                        fs::perm_options::replace);
        EXPECT_EQ(GetSettingsFolderFor(readOnly.string()), (home / ".config" / "orvanta").string());
        fs::permissions(readOnly, fs::perms::owner_all, fs::perm_options::replace);
    }
}
