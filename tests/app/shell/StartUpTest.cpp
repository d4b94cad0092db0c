#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <filesystem>
#include <fstream>

#include "app/shell/ComponentRegistration.h"
#include "app/shell/DirectXVersion.h"
#include "app/shell/ShellApp.h"
#include "app/shell/SkinLibrary.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/NamedMutex.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

TEST(DirectXVersionTest, ParsesExactlyThreeOrFourNumbers) {
    int major = -1, minor = -1;
    EXPECT_TRUE(ParseDirectXVersion("4.09.00.0904", major, minor));
    EXPECT_EQ(major * 10 + minor, 90);
    EXPECT_TRUE(ParseDirectXVersion("4.08.01.0881", major, minor));
    EXPECT_EQ(major * 10 + minor, 81);
    EXPECT_TRUE(ParseDirectXVersion("4.10.2", major, minor));
    EXPECT_EQ(major, 10);
    EXPECT_EQ(minor, 2);
    for (const char* bad : {"", "4", "4.09", "4.09.", "4..09.00", "4.09.00.0904.1", "4.09.00x",
                            " 4.09.00", "4.-9.00", "a.b.c", "4.09.00.0904 "}) {
        major = minor = 77;
        EXPECT_FALSE(ParseDirectXVersion(bad, major, minor)) << '"' << bad << '"';
        EXPECT_EQ(major, 77) << bad;
    }
}

TEST(DirectXVersionTest, ReadsTheRecordedVersion) {
    RegistryStore registry = RegistryStore::Default();
    int major = 0, minor = 0;
    EXPECT_FALSE(GetDirectXVersion(registry, major, minor));  // no key
    ASSERT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, kMediaPlatformKey), S_OK);
    EXPECT_FALSE(GetDirectXVersion(registry, major, minor));  // no value
    ASSERT_EQ(registry.SetDword(HKEY_LOCAL_MACHINE, kMediaPlatformKey, "Version", 9), S_OK);
    EXPECT_FALSE(GetDirectXVersion(registry, major, minor));  // not a string
    ASSERT_EQ(registry.SetString(HKEY_LOCAL_MACHINE, kMediaPlatformKey, "Version",
                                 kMediaPlatformVersion),
              S_OK);
    EXPECT_TRUE(GetDirectXVersion(registry, major, minor));
    EXPECT_GE(major * 10 + minor, kRequiredDirectX);
}

TEST(SoundMapperTest, RecordGetsPlaybackOnlyAfterAGoodRead) {
    RegistryStore registry = RegistryStore::Default();
    CopyPlaybackToRecord(registry);
    EXPECT_FALSE(fs::exists(registry.Path()));  // no key: nothing written at all
    ASSERT_EQ(registry.CreateKey(HKEY_CURRENT_USER, kSoundMapperKey), S_OK);
    CopyPlaybackToRecord(registry);
    EXPECT_FALSE(registry.GetValue(HKEY_CURRENT_USER, kSoundMapperKey, "Record"));
    ASSERT_EQ(registry.SetString(HKEY_CURRENT_USER, kSoundMapperKey, "Playback", "USB Audio"), S_OK);
    CopyPlaybackToRecord(registry);
    EXPECT_EQ(registry.GetString(HKEY_CURRENT_USER, kSoundMapperKey, "Record"), "USB Audio");
}

// A program folder whose component files are copies of the register recorder.
class StartUpTest : public testing::Test {
protected:
    void SetUp() override {
        program_ = TestEnvironment::Current().Dir() / "program";
        windows_ = program_ / "system";
        fs::create_directories(windows_);
        log_ = TestEnvironment::Current().Dir() / "registered.log";
        setenv("ORVANTA_TEST_REGISTER_LOG", log_.c_str(), 1);
        for (const ComponentFile& file : ComponentFiles()) Install(file.name);
    }
    void TearDown() override { unsetenv("ORVANTA_TEST_REGISTER_LOG"); }

    fs::path PathOf(const std::string& name) const {
        for (const ComponentFile& file : ComponentFiles()) {
            if (name == file.name)
                return (file.inWindowsFolder ? windows_ : program_) / ModuleFileName(name);
        }
        return {};
    }
    void Install(const std::string& name) {
        fs::copy_file(testing_support::TestBinDir() / "register_recorder.so", PathOf(name),
                      fs::copy_options::overwrite_existing);
    }
    void Remove(const std::string& name) { fs::remove(PathOf(name)); }
    std::vector<std::string> Registered() const {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    void RecordPlatform(const char* version = kMediaPlatformVersion) {
        ASSERT_EQ(RegistryStore::Default().SetString(HKEY_LOCAL_MACHINE, kMediaPlatformKey,
                                                     "Version", version),
                  S_OK);
    }
    ShellApp App() {
        ShellApp::Hooks hooks;
        hooks.runMainWindow = [this] { ++mainWindowRuns_; };
        hooks.openSupportPage = [this] { ++supportPages_; };
        return ShellApp(program_.string(), windows_.string(), RegistryStore::Default(), hooks);
    }

    fs::path program_, windows_, log_;
    int mainWindowRuns_ = 0;
    int supportPages_ = 0;
};

TEST_F(StartUpTest, RegistersTheNineFilesInTheirOrder) {
    RegistrationResult result = RegisterComponents(program_.string(), windows_.string());
    EXPECT_TRUE(result.ok);
    std::vector<std::string> expected;
    for (const char* name : {"Grabwell.ocx", "Lamina.dll", "Pavisse.ax", "Quorra.dll",
                             "Dunmore.dll", "Calloway.dll", "Scrivel.ocx", "Torvane.dll",
                             "Airlume.ocx"}) {
        expected.push_back(PathOf(name).string());
    }
    EXPECT_EQ(result.registered, expected);
    EXPECT_EQ(Registered(), expected);
    EXPECT_EQ(PathOf("Pavisse.ax"), windows_ / "Pavisse.so");
    EXPECT_EQ(PathOf("Torvane.dll"), program_ / "Torvane.so");
}

TEST_F(StartUpTest, OptionalFilesThatCannotLoadAreSkipped) {
    Remove("Lamina.dll");
    Remove("Airlume.ocx");
    std::ofstream(PathOf("Quorra.dll")) << "not a module";
    RegistrationResult result = RegisterComponents(program_.string(), windows_.string());
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.registered.size(), 6u);
    EXPECT_EQ(Registered().size(), 6u);
}

TEST_F(StartUpTest, AMissingCaptureControlGivesWarningA) {
    RecordPlatform();
    Remove("Grabwell.ocx");
    MessageBoxRecorder boxes;
    EXPECT_EQ(App().InitInstance(), StartUpResult::ComponentMissing);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].caption, kWarningACaption);
    EXPECT_EQ(boxes.Calls()[0].text, kWarningAText);
    EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONINFORMATION);
    EXPECT_TRUE(Registered().empty());
    EXPECT_EQ(mainWindowRuns_, 0);
}

TEST_F(StartUpTest, AnOldOrMissingMediaPlatformGivesWarningB) {
    for (const char* version : {"4.08.01.0881", "4.09", ""}) {
        if (*version) RecordPlatform(version);
        MessageBoxRecorder boxes;
        EXPECT_EQ(App().InitInstance(), StartUpResult::NoMediaPlatform) << version;
        ASSERT_EQ(boxes.Calls().size(), 1u);
        EXPECT_EQ(boxes.Calls()[0].caption, kWarningBCaption);
        EXPECT_EQ(boxes.Calls()[0].text, kWarningBText);
        EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONERROR);
    }
    EXPECT_EQ(supportPages_, 3);
    EXPECT_TRUE(Registered().empty());
    EXPECT_EQ(mainWindowRuns_, 0);
}

TEST_F(StartUpTest, AllChecksPassedRunsTheMainWindow) {
    RecordPlatform();
    ASSERT_EQ(RegistryStore::Default().SetString(HKEY_CURRENT_USER, kSoundMapperKey, "Playback",
                                                 "Orvanta Virtual Microphone"),
              S_OK);
    MessageBoxRecorder boxes;
    EXPECT_EQ(App().InitInstance(), StartUpResult::MainWindowClosed);
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(mainWindowRuns_, 1);
    EXPECT_EQ(Registered().size(), 9u);
    EXPECT_EQ(RegistryStore::Default().GetString(HKEY_CURRENT_USER, kSoundMapperKey, "Record"),
              "Orvanta Virtual Microphone");
}

TEST_F(StartUpTest, ASecondInstanceStopsBeforeTouchingTheRegistry) {
    RecordPlatform();
    ASSERT_EQ(RegistryStore::Default().SetString(HKEY_CURRENT_USER, kSoundMapperKey, "Playback",
                                                 "Line In"),
              S_OK);
    const std::string before = ReadFile(RegistryStore::DefaultPath());
    // The first instance holds the mutex while its main window runs; a start meanwhile stops.
    MessageBoxRecorder boxes;
    StartUpResult second = StartUpResult::MainWindowClosed;
    ShellApp::Hooks hooks;
    hooks.runMainWindow = [&] { second = App().InitInstance(); };
    ShellApp first(program_.string(), windows_.string(), RegistryStore::Default(), hooks);
    fs::remove(log_);
    DWORD error = 0;
    {
        auto held = CreateMutex(kInstanceMutexName, true, &error);
        ASSERT_TRUE(held);
        MessageBoxRecorder blocked;
        EXPECT_EQ(App().InitInstance(), StartUpResult::AnotherInstance);
        ASSERT_EQ(blocked.Calls().size(), 1u);
        EXPECT_EQ(blocked.Calls()[0].text, kAnotherInstanceText);
        EXPECT_EQ(blocked.Calls()[0].caption, "");
        EXPECT_EQ(blocked.Calls()[0].Icon(), MB_ICONINFORMATION);
        EXPECT_EQ(ReadFile(RegistryStore::DefaultPath()), before);
        EXPECT_TRUE(Registered().empty());
    }
    EXPECT_EQ(first.InitInstance(), StartUpResult::MainWindowClosed);
    EXPECT_EQ(second, StartUpResult::AnotherInstance);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, kAnotherInstanceText);
}

TEST(SkinLibraryTest, LoadsTheSkinExcludesWindowsAndShutsDown) {
    EXPECT_STREQ(SkinEntryName(3), "WyvernLoadSkin");
    EXPECT_STREQ(SkinEntryName(37), "WyvernExcludeWindow");
    EXPECT_STREQ(SkinEntryName(2), "WyvernShutdown");
    EXPECT_EQ(SkinEntryName(4), nullptr);
    const std::string dist = testing_support::DistDir().string();
    SkinLibrary& skin = SkinLibrary::Instance();
    EXPECT_FALSE(skin.Load(dist, dist + "/no-such.ssk"));
    ASSERT_TRUE(skin.Load(dist, dist + "/Wyvern.ssk"));
    EXPECT_TRUE(qApp->styleSheet().contains("QTabBar::tab"));
    QLabel child;
    skin.ExcludeWindow(&child);
    EXPECT_TRUE(child.property("skinExcluded").toBool());
    skin.Shutdown();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_FALSE(child.property("skinExcluded").isValid());
}

}  // namespace
