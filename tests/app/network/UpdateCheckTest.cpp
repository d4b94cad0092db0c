// "Update Now!" end to end: nginx on loopback serves the version file, the program's folder is
// the test's own, and the messages and the page opening are recorded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/network/OnlineUpdate.h"
#include "app/network/UpdateCheck.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ShellOpenRecorder.h"
#include "tests/app/network/LoopbackServers.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using loopback_servers::Nginx;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

const char* const kNewer = "Good news! Software has detected a newer version of Orvanta. We suggest that you "
                           "upgrade your Orvanta right now!";
const char* const kUpToDate = "Thank you for using Orvanta. Orvanta is currently up-to-date.";

class UpdateCheckTest : public testing::Test {
protected:
    UpdateCheckTest()
        : nginx_(dir_ / "nginx", {"root " + (dir_ / "www").string() + ";", "return 500;"}) {}

    void SetUp() override {
        setenv("no_proxy", "*", 1);
        fs::create_directories(folder_);
        fs::create_directories(dir_ / "www");
        if (!nginx_.Listening()) GTEST_SKIP() << "nginx did not start: " << nginx_.ErrorLog();
    }

    // Runs the check against server block `server` with "vertxt.ver" holding `installed`; the
    // server's file holds `onServer` (absent when empty).
    void Check(const std::string& installed, const std::string& onServer, size_t server = 0) {
        if (!installed.empty()) Write(folder_ / "vertxt.ver", installed);
        if (!onServer.empty()) Write(dir_ / "www/cmversion.txt", onServer);
        CheckOnlineUpdateIn(folder_.string(), {"127.0.0.1", nginx_.Port(server)}, {2000, 50, 1, 3000});
    }
    MessageBoxRequest Only() const {
        EXPECT_EQ(boxes_.Calls().size(), 1u);
        return boxes_.Calls().empty() ? MessageBoxRequest{} : boxes_.Calls().back();
    }

    fs::path dir_ = TestEnvironment::Current().Dir();
    fs::path folder_ = dir_ / "program";
    Nginx nginx_;
    MessageBoxRecorder boxes_;
    ShellOpenRecorder shell_;
};

TEST_F(UpdateCheckTest, NewerVersionOnTheServerIsAnnouncedAndOpensTheHomePage) {
    Check("2100\r\n", "2101\r\n");
    EXPECT_EQ(Only().text, kNewer);
    EXPECT_EQ(Only().caption, "Result");
    EXPECT_EQ(Only().type, MB_OK | MB_ICONINFORMATION);
    EXPECT_THAT(shell_.Targets(), ElementsAre(HomePageAddress()));
    EXPECT_EQ(ReadFile(folder_ / "cmversion.txt"), "2101\r\n");
}

TEST_F(UpdateCheckTest, EqualOrOlderVersionOnTheServerIsUpToDate) {
    Check("2100", "2100");
    EXPECT_EQ(Only().text, kUpToDate);
    Check("2100 beta", "999");
    EXPECT_EQ(boxes_.Calls().size(), 2u);
    EXPECT_EQ(boxes_.Calls().back().text, kUpToDate);
    EXPECT_EQ(boxes_.Calls().back().caption, "Result");
    EXPECT_TRUE(shell_.Targets().empty());
}

TEST_F(UpdateCheckTest, MissingServerFileAndServerFaultBothGiveTheServerErrorNotAStaleResult) {
    // A version file left by an earlier check must not answer for a server that fails today.
    Write(folder_ / "cmversion.txt", "9999\n");
    Check("2100", "");
    EXPECT_EQ(Only().caption, "Server Error");
    EXPECT_EQ(Only().type, MB_OK | MB_ICONERROR);
    EXPECT_THAT(Only().text, StartsWith("Upgrade-detect file on server is missing! You cannot upgrade your "
                                        "software automatically now. Please contact us in time at this email "
                                        "address: "));
    EXPECT_THAT(Only().text, HasSubstr("@"));
    EXPECT_THAT(Only().text, testing::EndsWith(", Thank you!"));

    Check("2100", "2101", 1);
    ASSERT_EQ(boxes_.Calls().size(), 2u);
    EXPECT_EQ(boxes_.Calls()[1].caption, "Server Error");
    EXPECT_EQ(ReadFile(folder_ / "cmversion.txt"), "9999\n");
    EXPECT_TRUE(shell_.Targets().empty());
    EXPECT_THAT(nginx_.AccessLog(), HasSubstr(" GET /cmversion.txt 500 "));
}

TEST_F(UpdateCheckTest, MissingInstalledVersionFileIsReported) {
    Check("", "2101");
    EXPECT_EQ(Only().caption, "System file is missing");
    EXPECT_EQ(Only().text, "Warning: Your system file is missing, Orvanta can not get the version information. "
                           "We suggest that you reinstall this software to fix it.");
    EXPECT_TRUE(shell_.Targets().empty());
}

TEST_F(UpdateCheckTest, UnreachableOrSilentServerGivesTheNetworkErrorWithinTheTimeOut) {
    loopback_servers::SilentServer silent;
    ASSERT_TRUE(silent.Listening());
    Write(folder_ / "vertxt.ver", "1");
    auto start = std::chrono::steady_clock::now();
    CheckOnlineUpdateIn(folder_.string(), {"127.0.0.1", silent.Port()}, {500, 50, 1, 1000});
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(elapsed.count(), 5000);
    EXPECT_EQ(Only().caption, "Network Error");
    EXPECT_EQ(Only().text, "Sorry, please make sure your computer is connected to the internet.");

    CheckOnlineUpdateIn(folder_.string(), {"127.0.0.1", testing_support::FreeLoopbackPort()}, {500, 50, 1, 1000});
    ASSERT_EQ(boxes_.Calls().size(), 2u);
    EXPECT_EQ(boxes_.Calls()[1].caption, "Network Error");
}

TEST(UpdateSettings, ServerAddressComesFromTheEnvironmentAndVersionsFromLeadingDigits) {
    setenv("ORVANTA_UPDATE_SERVER", "127.0.0.1:8123", 1);
    UpdateServer server = ConfiguredUpdateServer();
    EXPECT_EQ(server.host, "127.0.0.1");
    EXPECT_EQ(server.port, 8123);
    setenv("ORVANTA_UPDATE_SERVER", "localhost", 1);
    EXPECT_EQ(ConfiguredUpdateServer().port, 80);
    unsetenv("ORVANTA_UPDATE_SERVER");

    EXPECT_EQ(VersionNumber("2100 beta"), 2100);
    EXPECT_EQ(VersionNumber("v2100"), 0);
    EXPECT_EQ(VersionNumber(""), 0);
    EXPECT_EQ(VersionNumber("99999999999999999999999"), LLONG_MAX);
}

TEST(UpdateSettings, TheAboutPageCheckAsksTheServerTheEnvironmentNames) {
    // Nothing listens there: the check fails after its one retry, with the program's own time-outs.
    std::string port = std::to_string(testing_support::FreeLoopbackPort());
    setenv("ORVANTA_UPDATE_SERVER", ("127.0.0.1:" + port).c_str(), 1);
    MessageBoxRecorder boxes;
    auto start = std::chrono::steady_clock::now();
    CheckOnlineUpdate(nullptr);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    unsetenv("ORVANTA_UPDATE_SERVER");
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].caption, "Network Error");
    EXPECT_GE(elapsed.count(), 1000) << "the retry waits for the back-off";
    EXPECT_LT(elapsed.count(), 10000);
}

TEST(UpdateSettings, VersionTextIsTheFirstLineOfTheInstalledFileOrTheBuiltInText) {
    // The test program's folder holds no "fastversion.ini".
    EXPECT_EQ(InstalledVersionText(), "Orvanta V6.0 Build 2100");
    std::string file = TestEnvironment::Current().Dir() / "v.ini";
    Write(file, "Orvanta V6.1 Build 2200\r\nsecond\r\n");
    EXPECT_EQ(ReadFirstLine(file), "Orvanta V6.1 Build 2200");
    EXPECT_EQ(ReadFirstLine(file + ".missing"), std::nullopt);
}

}  // namespace
