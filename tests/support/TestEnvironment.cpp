#include "tests/support/TestEnvironment.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace testing_support {

TestEnvironment& TestEnvironment::Current() {
    static TestEnvironment env;
    return env;
}

void TestEnvironment::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "orvanta-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a test folder");
    dir_ = pattern;
    fs::create_directories(RuntimeDir());
    fs::permissions(RuntimeDir(), fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(ConfigDir());
    setenv("ORVANTA_REGISTRY", RegistryFile().c_str(), 1);
    setenv("ORVANTA_RUNTIME_DIR", RuntimeDir().c_str(), 1);
    setenv("XDG_CONFIG_HOME", ConfigDir().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", RuntimeDir().c_str(), 1);
    // The shutdown service runs this instead of anything that could power off the machine.
    std::string recorder = "sh -c 'echo \"$*\" >> " + ShutdownLog().string() + "' shutdown";
    setenv("ORVANTA_SHUTDOWN_COMMAND", recorder.c_str(), 1);
    setenv("ORVANTA_DEVICE_BACKENDS", "virtual", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void TestEnvironment::TearDown() {
    if (dir_.empty()) return;
    if (!getenv("ORVANTA_KEEP_TEST_DIRS")) {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    dir_.clear();
    programCopy_.clear();
}

fs::path TestEnvironment::ProgramFolderCopy() {
    if (programCopy_.empty()) {
        programCopy_ = dir_ / "program";
        fs::copy(DistDir(), programCopy_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    return programCopy_;
}

fs::path DistDir() { return ORVANTA_DIST_DIR; }
fs::path SourceDir() { return ORVANTA_SOURCE_DIR; }
fs::path TestBinDir() { return ORVANTA_TEST_BIN_DIR; }

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testing_support
