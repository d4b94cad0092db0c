// DownloadWebFile against nginx on loopback (two server blocks, redirects between them) and
// against servers that never answer or cut their answer short.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/network/WebDownload.h"
#include "tests/app/network/LoopbackServers.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using loopback_servers::Nginx;
using testing::HasSubstr;
using testing::Not;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

const char* const kAgent = "Orvanta Test Agent";
const std::string kAccept =
    "audio/x-aiff, audio/basic, audio/midi, audio/mpeg, audio/wav, image/jpeg, image/gif, image/jpg, "
    "image/png, image/mng, image/bmp, text/plain, text/html, text/htm";

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class WebDownloadTest : public testing::Test {
protected:
    WebDownloadTest()
        : nginx_(dir_ / "nginx",
                 {"root " + (dir_ / "a").string() + ";\n"
                  "location = /moved/cmversion.txt { return 301 http://127.0.0.1:PORT1/cmversion.txt; }\n"
                  "location = /twice/cmversion.txt { return 302 http://127.0.0.1:PORT1/again/cmversion.txt; }\n"
                  "location = /relative/cmversion.txt { absolute_redirect off; return 303 /b-side/cmversion.txt; }\n"
                  "location = /secret/cmversion.txt { return 401; }\n",
                  "root " + (dir_ / "b").string() + ";\n"
                  "location = /again/cmversion.txt { return 301 http://127.0.0.1:PORT0/cmversion.txt; }\n"}) {}

    void SetUp() override {
        setenv("no_proxy", "*", 1);
        fs::create_directories(folder_);
        Write(dir_ / "a/cmversion.txt", "2101\r\n");
        Write(dir_ / "a/b-side/cmversion.txt", "2102\n");
        Write(dir_ / "b/cmversion.txt", "2200\n");
        Write(dir_ / "a/evil.txt", "evil\n");
        Write(dir_ / "a/big.txt", std::string(kMaxDownloadBytes + 1, 'x'));
        Write(dir_ / "a/full.txt", std::string(kMaxDownloadBytes, 'y'));
        if (!nginx_.Listening()) GTEST_SKIP() << "nginx did not start: " << nginx_.ErrorLog();
    }

    int Download(const std::string& object, uint16_t port = 0) {
        DownloadTimeouts quick{2000, 50, 1, 3000};
        return DownloadWebFileTo(folder_.string(), kAgent, "127.0.0.1", port ? port : nginx_.Port(0), object, quick);
    }
    std::string Saved(const std::string& name = "cmversion.txt") { return ReadFile(folder_ / name); }
    std::vector<fs::path> FolderFiles() {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder_)) files.push_back(entry.path().filename());
        return files;
    }

    fs::path dir_ = TestEnvironment::Current().Dir();
    fs::path folder_ = dir_ / "program";
    Nginx nginx_;
};

TEST_F(WebDownloadTest, SavesTheBodyAndSendsTheFixedAgentAndAcceptHeaders) {
    Write(folder_ / "cmversion.txt", "old");
    EXPECT_EQ(Download("cmversion.txt"), 200);
    EXPECT_EQ(Saved(), "2101\r\n");
    std::string port = std::to_string(nginx_.Port(0));
    EXPECT_EQ(nginx_.AccessLog(), port + " GET /cmversion.txt 200 \"GetWebFile/1.0\" \"" + kAccept + "\"\n");
    EXPECT_THAT(FolderFiles(), testing::ElementsAre("cmversion.txt")) << "no temporary file is left";

    EXPECT_EQ(Download("full.txt"), 200) << "a body of exactly the limit is kept";
    EXPECT_EQ(fs::file_size(folder_ / "full.txt"), kMaxDownloadBytes);
}

TEST_F(WebDownloadTest, OneRedirectIsFollowedToTheOtherServerASecondIsReturned) {
    EXPECT_EQ(Download("moved/cmversion.txt"), 200);
    EXPECT_EQ(Saved(), "2200\n");
    // The request after a redirect carries the session's agent, not the fixed one.
    EXPECT_THAT(nginx_.AccessLog(),
                HasSubstr(std::to_string(nginx_.Port(1)) + " GET /cmversion.txt 200 \"" + kAgent + "\" \"" + kAccept));

    fs::remove(folder_ / "cmversion.txt");
    EXPECT_EQ(Download("twice/cmversion.txt"), 301);
    EXPECT_FALSE(fs::exists(folder_ / "cmversion.txt"));
    EXPECT_THAT(nginx_.AccessLog(), HasSubstr(std::to_string(nginx_.Port(1)) + " GET /again/cmversion.txt 301"));
    EXPECT_THAT(nginx_.AccessLog(), Not(HasSubstr(std::to_string(nginx_.Port(0)) + " GET /cmversion.txt")))
        << "the second redirect is not followed";

    EXPECT_EQ(Download("relative/cmversion.txt"), 200) << nginx_.AccessLog();
    EXPECT_EQ(Saved(), "2102\n");
}

TEST_F(WebDownloadTest, ErrorStatusesAreReturnedAndSaveNothing) {
    Write(folder_ / "cmversion.txt", "old");
    EXPECT_EQ(Download("missing/cmversion.txt"), 404);
    EXPECT_EQ(Download("secret/cmversion.txt"), 401);
    EXPECT_EQ(Saved(), "old");
    EXPECT_THAT(FolderFiles(), testing::ElementsAre("cmversion.txt"));
}

TEST_F(WebDownloadTest, RefusedNamesNeverReachTheServer) {
    for (const char* object : {"setup.exe", "a.com", "x.dll", "run.bat", "d.sys", "s.inf", "", "dir/", "..", "a/..",
                               "a/."}) {
        EXPECT_EQ(Download(object), 0) << object;
    }
    EXPECT_EQ(nginx_.AccessLog(), "");
    EXPECT_TRUE(FolderFiles().empty());
}

TEST_F(WebDownloadTest, ObjectNameSavesUnderItsFileNameInsideTheFolder) {
    EXPECT_EQ(Download("../evil.txt"), 200);
    EXPECT_EQ(Saved("evil.txt"), "evil\n");
    EXPECT_FALSE(fs::exists(dir_ / "evil.txt"));
}

TEST_F(WebDownloadTest, OversizedOrCutBodiesFailAndKeepTheOldFile) {
    Write(folder_ / "big.txt", "old big");
    EXPECT_EQ(Download("big.txt"), 0);
    EXPECT_EQ(Saved("big.txt"), "old big");

    Write(folder_ / "cmversion.txt", "old");
    loopback_servers::OneReplyServer cut("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n2300");
    ASSERT_TRUE(cut.Listening());
    EXPECT_EQ(Download("cmversion.txt", cut.Port()), 0);
    EXPECT_EQ(Saved(), "old");
    EXPECT_THAT(FolderFiles(), testing::UnorderedElementsAre("big.txt", "cmversion.txt"));
}

TEST_F(WebDownloadTest, ServerThatNeverAnswersFailsWithinTheTimeOut) {
    loopback_servers::SilentServer silent;
    ASSERT_TRUE(silent.Listening());
    auto start = std::chrono::steady_clock::now();
    DownloadTimeouts timeouts{500, 50, 1, 700};
    EXPECT_EQ(DownloadWebFileTo(folder_.string(), kAgent, "127.0.0.1", silent.Port(), "cmversion.txt", timeouts), 0);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(elapsed.count(), 1000);
    EXPECT_LT(elapsed.count(), 5000);
    EXPECT_TRUE(FolderFiles().empty());
}

TEST(DownloadNames, FileNameIsThePartAfterTheLastSlashAndEndingsAreCaseSensitive) {
    EXPECT_EQ(DownloadFileName("cmversion.txt"), "cmversion.txt");
    EXPECT_EQ(DownloadFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(DownloadFileName("a/"), "");
    EXPECT_EQ(DownloadFileName("..."), "...");
    EXPECT_TRUE(IsRefusedDownload("file.exe"));
    EXPECT_TRUE(IsRefusedDownload("telecom")) << "the last three characters, dot or not";
    EXPECT_FALSE(IsRefusedDownload("SETUP.EXE"));
    EXPECT_FALSE(IsRefusedDownload("notes.ex"));
}

}  // namespace
