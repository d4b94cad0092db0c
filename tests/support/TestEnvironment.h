#pragma once
// Each test case gets its own temporary folder holding its registry store, runtime folder
// (message windows), configuration folder and a shutdown recorder, so tests never see each other
// or the user's real settings, and no test can power off the machine.
#include <filesystem>
#include <string>

namespace testing_support {

class TestEnvironment {
public:
    // The environment of the running test case.
    static TestEnvironment& Current();

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path RegistryFile() const { return dir_ / "registry"; }
    std::filesystem::path RuntimeDir() const { return dir_ / "run"; }
    std::filesystem::path ConfigDir() const { return dir_ / "config"; }
    // Each line is one command the shutdown service would have run.
    std::filesystem::path ShutdownLog() const { return dir_ / "shutdown.log"; }

    // A private copy of the built program folder (executables, modules, system/, data), so that a
    // test may write settings files beside the executable.
    std::filesystem::path ProgramFolderCopy();

    // Called by the test main around each test case.
    void SetUp();
    void TearDown();

private:
    std::filesystem::path dir_;
    std::filesystem::path programCopy_;
};

std::filesystem::path DistDir();
std::filesystem::path SourceDir();
std::filesystem::path TestBinDir();
std::string ReadFile(const std::filesystem::path& file);

}  // namespace testing_support
