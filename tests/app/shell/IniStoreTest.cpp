#include "app/shell/IniStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ReadFile;
using testing_support::TestEnvironment;

std::string FileIn(const char* name) { return (TestEnvironment::Current().Dir() / name).string(); }

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(IniStoreTest, LoadsSectionsKeysAndValuesTrimmed) {
    IniStore store;
    store.Parse(" [CatchScreen] \n  FPSIndex \t=   3\t\nnot an entry\n[Other]\n[Broken\nkey=a=b\n");
    EXPECT_EQ(store.Entries().at("CatchScreen FPSIndex"), "3");
    EXPECT_EQ(store.GetInt("CatchScreen", "FPSIndex", 5), 3);
    // A line without "=" that is no header is ignored and the section stays.
    EXPECT_EQ(store.GetString("Other", "key", "none"), "a=b");
    EXPECT_EQ(store.Entries().size(), 2u);
}

TEST(IniStoreTest, KeyBeforeAnySectionAndLaterDuplicate) {
    IniStore store;
    store.Parse("early=1\n[S]\nk=first\nk=second\n");
    EXPECT_EQ(store.Entries().count(" early"), 1u);
    EXPECT_EQ(store.GetString("", "early", ""), "1");
    EXPECT_EQ(store.GetString("S", "k", ""), "second");
}

TEST(IniStoreTest, CrLfLinesLoadLikeLfLines) {
    IniStore store;
    store.Parse("[TextImg]\r\nTextColor=255,0,0\r\nIsText=1\r\n");
    EXPECT_EQ(store.GetString("TextImg", "IsText", ""), "1");
    EXPECT_EQ(store.GetColor("TextImg", "TextColor", 0), RGB(255, 0, 0));
}

TEST(IniStoreTest, TypedGettersAndTheirDefaults) {
    IniStore store;
    store.Parse("[S]\nn=42abc\nword=abc\nneg=-7\nbig=99999999999\nflag=2\nzero=0\nc=Kx\nempty=\n"
                "col=1,2,3\nbadcol=1,2\nhigh=300,0,0\n");
    EXPECT_EQ(store.GetInt("S", "n", 0), 42);
    EXPECT_EQ(store.GetInt("S", "word", 9), 0);
    EXPECT_EQ(store.GetInt("S", "neg", 0), -7);
    EXPECT_EQ(store.GetInt("S", "big", 0), INT_MAX);
    EXPECT_EQ(store.GetInt("S", "missing", 9), 9);
    EXPECT_TRUE(store.GetBool("S", "flag", false));
    EXPECT_FALSE(store.GetBool("S", "zero", true));
    EXPECT_TRUE(store.GetBool("S", "missing", true));
    EXPECT_EQ(store.GetChar("S", "c", 'Q'), 'K');
    EXPECT_EQ(store.GetChar("S", "empty", 'Q'), 'Q');
    EXPECT_EQ(store.GetColor("S", "col", 7), RGB(1, 2, 3));
    EXPECT_EQ(store.GetColor("S", "empty", 7), 7u);
    EXPECT_EQ(store.GetColor("S", "badcol", 7), 7u);
    EXPECT_EQ(store.GetColor("S", "high", 7), 7u);
    EXPECT_EQ(store.GetIndex("S", "flag", 1, 3), 2);
    EXPECT_EQ(store.GetIndex("S", "n", 1, 3), 1);
    EXPECT_EQ(store.GetIndex("S", "neg", 1, 3), 1);
}

TEST(IniStoreTest, LoadCreatesAMissingFileOnlyWhenAsked) {
    IniStore store;
    const std::string path = FileIn("config.ini");
    EXPECT_FALSE(store.Load(path, false));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(store.Load(path, true));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(store.Path(), path);
    EXPECT_FALSE(IniStore().Load(FileIn("no-folder/config.ini"), true));
}

TEST(IniStoreTest, LoadingTheLoadedPathAgainKeepsMemory) {
    const std::string path = FileIn("config.ini");
    WriteBytes(path, "[S]\nk=1\n");
    IniStore store;
    ASSERT_TRUE(store.Load(path, false));
    WriteBytes(path, "[S]\nk=2\n");
    EXPECT_TRUE(store.Load(path, false));
    EXPECT_EQ(store.GetInt("S", "k", 0), 1);
}

TEST(IniStoreTest, WritesReachFileAndMemoryAndReadBack) {
    const std::string path = FileIn("config.ini");
    WriteBytes(path, "; kept\n[SWFDLG]\nswfwgv=320\nswfhgv=240\n\n[Other]\nx=1\n");
    IniStore store;
    ASSERT_TRUE(store.Load(path, false));
    EXPECT_TRUE(store.WriteInt("SWFDLG", "swfwgv", 640));
    EXPECT_TRUE(store.WriteInt("SWFDLG", "swfbrgv", 1500));
    EXPECT_TRUE(store.WriteColor("TextImg", "TextColor", RGB(10, 20, 30)));
    EXPECT_TRUE(store.WriteBool("Other", "y", true));
    EXPECT_TRUE(store.WriteChar("CatchScreen", "StartKey", 'K'));
    EXPECT_EQ(store.GetInt("SWFDLG", "swfwgv", 0), 640);
    EXPECT_EQ(ReadFile(path),
              "; kept\n[SWFDLG]\nswfwgv=640\nswfhgv=240\nswfbrgv=1500\n\n[Other]\nx=1\ny=1\n\n"
              "[TextImg]\nTextColor=10,20,30\n\n[CatchScreen]\nStartKey=K\n");
    IniStore again;
    ASSERT_TRUE(again.Load(path, false));
    EXPECT_EQ(again.GetInt("SWFDLG", "swfwgv", 0), 640);
    EXPECT_EQ(again.GetColor("TextImg", "TextColor", 0), RGB(10, 20, 30));
    EXPECT_EQ(again.Entries(), store.Entries());
}

TEST(IniStoreTest, LineBreaksInsideAValueAreWrittenAsBlanks) {
    const std::string path = FileIn("config.ini");
    IniStore store;
    ASSERT_TRUE(store.Load(path, true));
    EXPECT_TRUE(store.WriteString("TextImg", "Text", "one\r\n[Evil]\ntwo"));
    EXPECT_EQ(ReadFile(path), "[TextImg]\nText=one  [Evil] two\n");
    IniStore again;
    ASSERT_TRUE(again.Load(path, false));
    EXPECT_EQ(again.Entries().size(), 1u);
    EXPECT_EQ(again.GetString("TextImg", "Text", ""), "one  [Evil] two");
}

TEST(IniStoreTest, MemoryHoldsWhatTheFileReadsBack) {
    const std::string path = FileIn("config.ini");
    IniStore store;
    ASSERT_TRUE(store.Load(path, true));
    EXPECT_TRUE(store.WriteString("S", "k", " \tpadded \t"));
    EXPECT_EQ(store.GetString("S", "k", ""), "padded");
    IniStore again;
    ASSERT_TRUE(again.Load(path, false));
    EXPECT_EQ(again.Entries(), store.Entries());
}

TEST(IniStoreTest, CrLfFileKeepsItsLineEnds) {
    const std::string path = FileIn("config.ini");
    WriteBytes(path, "[S]\r\na=1\r\n");
    IniStore store;
    ASSERT_TRUE(store.Load(path, false));
    EXPECT_TRUE(store.WriteString("S", "a", "2"));
    EXPECT_EQ(ReadFile(path), "[S]\r\na=2\r\n");
}

TEST(IniStoreTest, WriteWithoutALoadedFileKeepsMemoryAndSaysSo) {
    IniStore store;
    EXPECT_FALSE(store.WriteInt("S", "k", 3));
    EXPECT_EQ(store.GetInt("S", "k", 0), 3);
}

}  // namespace
