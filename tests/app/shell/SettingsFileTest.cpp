#include "app/shell/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/shell/ConfigSections.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ReadFile;
using testing_support::TestEnvironment;

std::string FileIn(const char* name) { return (TestEnvironment::Current().Dir() / name).string(); }

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Files of the folder whose name begins with "settings.ini" (the file and any temporary one).
int SettingsFilesIn(const std::filesystem::path& folder) {
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(folder))
        files += entry.path().filename().string().rfind("settings.ini", 0) == 0;
    return files;
}

DeviceSettings Changed() {
    DeviceSettings s;
    s.captureDevice = "2";
    s.videoFormat = "3";
    s.videoInput = "1";
    s.audioDevice = "4";
    s.wmvQuality = "2";
    s.broadcastPort = "9090";
    s.maxClients = "7";
    s.snapshotFormat = "1";
    s.snapshotFolder = "/home/u/shots";
    return s;
}

TEST(SettingsFileTest, WritesNineLinesWithoutANewlineAfterTheLast) {
    const std::string path = FileIn("settings.ini");
    WriteBytes(path, "old contents that are longer than the new ones\n\n\n\n\n\n\n\n\n\n\n");
    ASSERT_TRUE(WriteSettings(path, Changed()));
    EXPECT_EQ(ReadFile(path), "2\n3\n1\n4\n2\n9090\n7\n1\n/home/u/shots");
    EXPECT_EQ(FormatSettings(DeviceSettings()), "1\n1\n1\n1\n5\n8080\n3\n0\n");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(SettingsFilesIn(TestEnvironment::Current().Dir()), 1);
}

TEST(SettingsFileTest, ReadsBackWhatWasWritten) {
    const std::string path = FileIn("settings.ini");
    ASSERT_TRUE(WriteSettings(path, Changed()));
    DeviceSettings read;
    ASSERT_TRUE(ReadSettings(path, read));
    EXPECT_EQ(FormatSettings(read), FormatSettings(Changed()));
}

TEST(SettingsFileTest, MissingOrShortFileLeavesDefaults) {
    DeviceSettings s;
    EXPECT_FALSE(ReadSettings(FileIn("none.ini"), s));
    EXPECT_EQ(FormatSettings(s), FormatSettings(DeviceSettings()));
    const std::string path = FileIn("settings.ini");
    WriteBytes(path, "3\r\n2\r\n");
    ASSERT_TRUE(ReadSettings(path, s));
    EXPECT_EQ(s.captureDevice, "3");
    EXPECT_EQ(s.videoFormat, "2");
    EXPECT_EQ(s.videoInput, "1");
    EXPECT_EQ(s.broadcastPort, "8080");
    EXPECT_EQ(s.snapshotFolder, "");
}

TEST(SettingsFileTest, ValuesThatDoNotFitTheirLineFallBackToDefaults) {
    const std::string path = FileIn("settings.ini");
    WriteBytes(path, "x\n-2\n1\n1\nfive\n70000\n0\n7\n");
    DeviceSettings s = Changed();
    ASSERT_TRUE(ReadSettings(path, s));
    EXPECT_EQ(s.captureDevice, "1");
    EXPECT_EQ(s.videoFormat, "1");
    EXPECT_EQ(s.wmvQuality, "5");
    EXPECT_EQ(s.broadcastPort, "8080");
    EXPECT_EQ(s.maxClients, "3");
    EXPECT_EQ(s.snapshotFormat, "0");
    // An empty ninth line keeps the folder.
    EXPECT_EQ(s.snapshotFolder, "/home/u/shots");
}

TEST(SettingsFileTest, SelectionsAreCheckedAgainstTheirLists) {
    EXPECT_EQ(SelectionOf("0", 3), std::nullopt);  // nothing was selected: the list keeps its own
    EXPECT_EQ(SelectionOf("1", 3), 0);
    EXPECT_EQ(SelectionOf("3", 3), 2);
    EXPECT_EQ(SelectionOf("4", 3), std::nullopt);
    EXPECT_EQ(SelectionOf("1", 0), std::nullopt);
    EXPECT_EQ(SelectionOf("2x", 3), std::nullopt);
    EXPECT_EQ(QualitySelectionOf("2", 8), 2);
    EXPECT_EQ(QualitySelectionOf("9", 8), 5);
    EXPECT_EQ(QualitySelectionOf("9", 3), std::nullopt);
}

TEST(SettingsFileTest, LineBreaksInAValueCannotShiftTheLines) {
    DeviceSettings s;
    s.snapshotFolder = "/tmp/a\nb\rc";
    s.broadcastPort = "80\n80";
    const std::string path = FileIn("settings.ini");
    ASSERT_TRUE(WriteSettings(path, s));
    EXPECT_EQ(ReadFile(path), "1\n1\n1\n1\n5\n80 80\n3\n0\n/tmp/a b c");
}

TEST(SettingsFileTest, AFailedWriteLeavesWhatWasThereAndNoTemporaryFile) {
    // A folder in the file's place cannot be replaced by the new file.
    const auto folder = TestEnvironment::Current().Dir() / "settings.ini";
    std::filesystem::create_directories(folder);
    WriteBytes((folder / "inside").string(), "old");
    EXPECT_FALSE(WriteSettings(folder.string(), Changed()));
    EXPECT_EQ(ReadFile(folder / "inside"), "old");
    EXPECT_EQ(SettingsFilesIn(TestEnvironment::Current().Dir()), 1);
    EXPECT_FALSE(WriteSettings((TestEnvironment::Current().Dir() / "none/settings.ini").string(),
                               Changed()));
}

TEST(ConfigSectionsTest, DefaultsAndChecksOnRead) {
    IniStore store;
    ScreenRecorderSettings screen;
    WmvChoice wmv;
    SwfChoice swf;
    ReadScreenSettings(store, screen);
    ReadWmvChoice(store, wmv);
    ReadSwfChoice(store, swf);
    EXPECT_EQ(kScreenFrameRates[static_cast<size_t>(screen.fpsIndex)], 10);
    EXPECT_EQ(std::string(screen.keys.begin(), screen.keys.end()), "KPQIO");
    EXPECT_EQ(screen.volume, 100);
    EXPECT_EQ(wmv.type, 1);
    EXPECT_EQ(wmv.advancedIndex, 5);
    EXPECT_EQ(swf.sampleRate, 44100);

    store.Parse("[CatchScreen]\nFormat=4\nFPSIndex=10\nvolume=101\nStartKey=1\nPauseKey=X\n"
                "IsAddAudio=0\n[WMVDLG]\nwmvselg=3\nwmvc=/p/a.prx\n[SWFDLG]\nswfchgv=2\n"
                "swfwgv=640\n");
    ReadScreenSettings(store, screen);
    ReadWmvChoice(store, wmv);
    ReadSwfChoice(store, swf);
    EXPECT_EQ(screen.format, 0);
    EXPECT_EQ(screen.fpsIndex, 5);
    EXPECT_EQ(screen.volume, 100);
    EXPECT_EQ(std::string(screen.keys.begin(), screen.keys.end()), "KXQIO");
    EXPECT_FALSE(screen.isAddAudio);
    EXPECT_EQ(wmv.type, 1);
    EXPECT_EQ(wmv.customFile, "/p/a.prx");
    EXPECT_EQ(swf.channel, 0);
    EXPECT_EQ(swf.width, 640);
}

TEST(ConfigSectionsTest, WrittenSectionsReadBack) {
    const std::string path = FileIn("config.ini");
    IniStore store;
    ASSERT_TRUE(store.Load(path, true));
    ScreenRecorderSettings screen;
    screen.fpsIndex = 9;
    screen.keys = {'A', 'B', 'C', 'D', 'E'};
    screen.isCatchCursor = false;
    SwfChoice swf;
    swf.width = 640;
    swf.isChange = true;
    WriteScreenSettings(store, screen);
    WriteSwfChoice(store, swf);
    WriteWmvChoice(store, WmvChoice());
    IniStore again;
    ASSERT_TRUE(again.Load(path, false));
    ScreenRecorderSettings screenBack;
    SwfChoice swfBack;
    ReadScreenSettings(again, screenBack);
    ReadSwfChoice(again, swfBack);
    EXPECT_EQ(screenBack.fpsIndex, 9);
    EXPECT_EQ(std::string(screenBack.keys.begin(), screenBack.keys.end()), "ABCDE");
    EXPECT_FALSE(screenBack.isCatchCursor);
    EXPECT_EQ(swfBack.width, 640);
    EXPECT_TRUE(swfBack.isChange);
    EXPECT_EQ(again.GetString("WMVDLG", "wmvaselg", ""), "5");
}

}  // namespace
