#include "platform/os/WindowDirectory.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/UnixSocket.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::TestEnvironment;

namespace {
WindowDirectory Directory() {
    return WindowDirectory(TestEnvironment::Current().RuntimeDir());
}
}  // namespace

TEST(WindowDirectory, RecordsKeepAnyBytesOnTheirLine) {
    WindowRecord record{0x12345678, "Relayo%class", "line\nbreak\r\t\x7f%41 end", 4242};
    std::string text = WindowDirectory::FormatRecord(record);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    auto back = WindowDirectory::ParseRecord(record.handle, text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->className, record.className);
    EXPECT_EQ(back->title, record.title);
    EXPECT_EQ(back->pid, 4242);

    WindowRecord untitled{1, "C", "", 1};
    auto empty = WindowDirectory::ParseRecord(1, WindowDirectory::FormatRecord(untitled));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->title, "");
}

TEST(WindowDirectory, MalformedRecordsAreIgnored) {
    for (const char* text :
         {"", "class=A\ntitle=\n", "class=A\ntitle=\npid=12\nextra\n", "title=\nclass=A\npid=1\n",
          "class=\ntitle=\npid=1\n", "class=A\ntitle=%4\npid=1\n", "class=A\ntitle=%zz\npid=1\n",
          "class=A\ntitle=\npid=-5\n", "class=A\ntitle=\npid=12x\n", "class=A\ntitle=\npid=1"}) {
        EXPECT_FALSE(WindowDirectory::ParseRecord(1, text)) << text;
    }
    std::string longClass =
        "class=" + std::string(WindowDirectory::kMaxClassName + 1, 'c') + "\ntitle=\npid=1\n";
    EXPECT_FALSE(WindowDirectory::ParseRecord(1, longClass));
}

TEST(WindowDirectory, PublishRefusesWhatCannotBeFoundAgain) {
    WindowDirectory directory = Directory();
    EXPECT_EQ(directory.Publish({0, "A", "", 1}), E_INVALIDARG);
    EXPECT_EQ(directory.Publish({5, "", "", 1}), E_INVALIDARG);
    EXPECT_EQ(directory.Publish({5, std::string(WindowDirectory::kMaxClassName + 1, 'c'), "", 1}),
              E_INVALIDARG);
    EXPECT_EQ(directory.Publish({5, "A", std::string(WindowDirectory::kMaxTitle + 1, 't'), 1}),
              E_INVALIDARG);
    EXPECT_TRUE(directory.List().empty());
}

TEST(WindowDirectory, ListsNewestFirstAndSkipsForeignFiles) {
    WindowDirectory directory = Directory();
    ASSERT_EQ(directory.Publish({0x100, "Old", "", 1}), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(directory.Publish({0x200, "New", "", 1}), S_OK);
    std::ofstream(directory.Folder() / "notahandle.window") << "class=X\ntitle=\npid=1\n";
    std::ofstream(directory.Folder() / "00000300.window") << "junk";
    auto records = directory.List();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].className, "New");
    EXPECT_EQ(records[1].className, "Old");
    // Publishing again (a new title) replaces the record whole.
    ASSERT_EQ(directory.Publish({0x100, "Old", "renamed", 1}), S_OK);
    EXPECT_EQ(directory.Read(0x100)->title, "renamed");
    EXPECT_EQ(directory.List()[0].handle, 0x100u);
}

TEST(WindowDirectory, ProbeTellsListenersFromLeftovers) {
    WindowDirectory directory = Directory();
    UnixSocket listener;
    ASSERT_EQ(UnixSocket::Listen(directory.SocketPath(0x1111), listener), 0);
    ASSERT_EQ(directory.Publish({0x1111, "Live", "", ::getpid()}), S_OK);
    EXPECT_EQ(directory.Probe(0x1111), WindowDirectory::Liveness::Alive);
    EXPECT_TRUE(fs::exists(directory.RecordPath(0x1111)));

    // A socket nobody listens on any more: what a killed process leaves.
    listener.Close();
    EXPECT_TRUE(fs::exists(directory.SocketPath(0x1111)));
    EXPECT_EQ(directory.Probe(0x1111), WindowDirectory::Liveness::Gone);
    EXPECT_FALSE(fs::exists(directory.SocketPath(0x1111)));
    EXPECT_FALSE(fs::exists(directory.RecordPath(0x1111)));

    // A record without a socket.
    ASSERT_EQ(directory.Publish({0x2222, "Half", "", 1}), S_OK);
    EXPECT_EQ(directory.Probe(0x2222), WindowDirectory::Liveness::Gone);
    EXPECT_FALSE(fs::exists(directory.RecordPath(0x2222)));
}
