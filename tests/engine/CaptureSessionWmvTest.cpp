// WMV output and the broadcast start: the profile list, custom profile files and their errors,
// captures read back by ffprobe, and the start block a stand-in helper window receives.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "engine/HelperBlocks.h"
#include "platform/os/Folders.h"
#include "platform/os/MessageWindow.h"
#include "platform/os/WindowMessages.h"
#include "platform/os/Win32Error.h"
#include "platform/wmf/SystemProfiles.h"
#include "platform/wmf/WmfInterfaces.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/support/MediaProbe.h"

using namespace session_test;

namespace {
std::filesystem::path ShippedProfile(const std::string& name) {
    return testing_support::SourceDir() / "data" / "WMVFiles" / name;
}

// "codec_name,width,height" of the first stream of that kind, or the container's format name.
std::string FfprobeCsv(const std::filesystem::path& file, const std::string& args) {
    std::string out = testing_support::Ffprobe(file, args + " -of csv=p=0");
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
}
std::string VideoStream(const std::filesystem::path& file) {
    return FfprobeCsv(file, "-select_streams v:0 -show_entries stream=codec_name,width,height");
}
std::string AudioCodec(const std::filesystem::path& file) {
    return FfprobeCsv(file, "-select_streams a:0 -show_entries stream=codec_name");
}
std::string Container(const std::filesystem::path& file) { return FfprobeCsv(file, "-show_entries format=format_name"); }

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A window of the helper's class that keeps every WM_COPYDATA it receives.
struct ReceivedCopy {
    ULONG_PTR dwData = 0;
    WPARAM wParam = 0;
    std::vector<uint8_t> bytes;
};
class FakeHelper {
public:
    FakeHelper() {
        window_ = MessageWindow::Create("Relayoclass", "", [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message != WM_COPYDATA) return LRESULT{0};
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            const auto* data = static_cast<const uint8_t*>(copy->lpData);
            received.push_back({copy->dwData, wParam, std::vector<uint8_t>(data, data + copy->cbData)});
            return LRESULT{1};
        });
    }
    bool Alive() const { return window_ != nullptr; }
    std::vector<ReceivedCopy> received;

private:
    std::unique_ptr<MessageWindow> window_;
};

uint32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}
std::string TextAt(const std::vector<uint8_t>& bytes, size_t offset) {
    return reinterpret_cast<const char*>(bytes.data() + offset);
}

class SessionWmv : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        // tmp.wmv goes to this test's own folder.
        tempDir = testing_support::TestEnvironment::Current().Dir() / "temp";
        std::filesystem::create_directories(tempDir);
        setenv("TMPDIR", tempDir.c_str(), 1);
    }
    void CaptureTo(const std::string& name) {
        file = TestFile(name);
        session.captureMode = true;
        session.captureFileName = file.string();
    }
    void Record(int ms) {
        Pump(ms);
        EXPECT_EQ(session.StopSession(), S_OK);
    }
    void Broadcast() {
        session.broadcast = true;
        session.broadcastPort = 8123;
        session.maxClients = 5;
        session.ownerWindow = 0x4242;
        session.mainWindow = 0x77;
        session.publishingUrl = "rtmp://127.0.0.1/live/s";
    }
    std::filesystem::path tempDir;
    std::filesystem::path file;
};
}  // namespace

TEST_F(SessionWmv, TheProfileListKeepsOnlyOneAudioOneVideoSystemProfilesInListOrder) {
    WmvProfileList profiles{{"kept", "", Guid{}}};
    ASSERT_EQ(session.EnumerateWmvProfiles(profiles), S_OK);
    std::vector<const ProfileDescription*> expected;
    for (const auto& p : SystemProfiles(WMT_VER_8_0)) {
        int audio = 0, video = 0;
        for (const auto& s : p.streams) (s.IsAudio() ? audio : video) += 1;
        if (audio == 1 && video == 1) expected.push_back(&p);
    }
    // The filter must have something to drop, else this test proves nothing.
    ASSERT_LT(expected.size(), SystemProfiles(WMT_VER_8_0).size());
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(profiles.size(), expected.size() + 1);
    EXPECT_EQ(profiles[0].name, "kept");
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(profiles[i + 1].name, expected[i]->name);
        EXPECT_EQ(profiles[i + 1].description, expected[i]->description);
        EXPECT_EQ(profiles[i + 1].id, expected[i]->id);
        EXPECT_NE(profiles[i + 1].id, Guid{});
    }
}

TEST_F(SessionWmv, ACustomProfileLoadsFromAShippedFileAndEachBadFileGivesItsError) {
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(CCaptureSession::LoadCustomProfile(ShippedProfile("320x240.prx").c_str(), profile.ReleaseAndGetAddressOf()),
              S_OK);
    ASSERT_TRUE(profile);
    DWORD streams = 0;
    profile->GetStreamCount(&streams);
    EXPECT_EQ(streams, 2u);
    char name[128] = {};
    DWORD length = sizeof name;
    profile->GetName(name, &length);
    EXPECT_STREQ(name, "320x240 High Quality");

    const auto dir = TestFile("profiles");
    std::filesystem::create_directories(dir);
    EXPECT_EQ(CCaptureSession::LoadCustomProfile(nullptr, profile.ReleaseAndGetAddressOf()), E_POINTER);
    EXPECT_EQ(CCaptureSession::LoadCustomProfile((dir / "missing.prx").c_str(), profile.ReleaseAndGetAddressOf()),
              HResultFromWin32(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(profile);
    // Not a disk file: a folder, and a FIFO (which must not block the caller either).
    EXPECT_EQ(CCaptureSession::LoadCustomProfile(dir.c_str(), profile.ReleaseAndGetAddressOf()), MakeHResult(0xC00D001C));
    ASSERT_EQ(mkfifo((dir / "fifo.prx").c_str(), 0600), 0);
    EXPECT_EQ(CCaptureSession::LoadCustomProfile((dir / "fifo.prx").c_str(), profile.ReleaseAndGetAddressOf()),
              MakeHResult(0xC00D001C));
    // Files that are no profile.
    WriteBytes(dir / "empty.prx", "");
    WriteBytes(dir / "ascii.prx", "<profile name=\"x\"></profile>");
    std::string shipped = testing_support::ReadFile(ShippedProfile("320x240.prx"));
    WriteBytes(dir / "cut.prx", shipped.substr(0, shipped.size() / 2 + 1));
    WriteBytes(dir / "huge.prx", std::string(2u << 20, 'a'));
    for (const char* bad : {"empty.prx", "ascii.prx", "cut.prx", "huge.prx"}) {
        HRESULT hr = CCaptureSession::LoadCustomProfile((dir / bad).c_str(), profile.ReleaseAndGetAddressOf());
        EXPECT_EQ(hr, NS_E_INVALIDPROFILE) << bad;
        EXPECT_FALSE(profile) << bad;
    }
}

TEST_F(SessionWmv, CaptureOfTheCameraWithACustomProfileIsWmv2AndWmav2AtTheProfileSize) {
    CaptureTo("camera.wmv");
    session.outputType = 1;
    session.wmvCustomFileName = ShippedProfile("176x144.prx").string();
    ASSERT_TRUE(Start(kCamera, kMicrophone));
    EXPECT_TRUE(HasFilter(session.Graph(), "ASF Writer"));
    EXPECT_EQ(DownstreamOf(session.Graph(), "Write Text Filter"), "ASF Writer");
    EXPECT_EQ(DownstreamOf(session.Graph(), kMicrophone), "ASF Writer");
    EXPECT_EQ(session.wmvFileName, file.string());
    Record(1500);
    EXPECT_EQ(Container(file), "asf");
    EXPECT_EQ(VideoStream(file), "wmv2,176,144");
    EXPECT_EQ(AudioCodec(file), "wmav2");
}

TEST_F(SessionWmv, ASystemProfileChosenFromTheListSetsTheWriter) {
    WmvProfileList profiles;
    ASSERT_EQ(session.EnumerateWmvProfiles(profiles), S_OK);
    ASSERT_FALSE(profiles.empty());
    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(WMCreateProfileManager(manager.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IWMProfile> chosen;
    ASSERT_EQ(manager->LoadProfileByID(profiles[0].id, chosen.ReleaseAndGetAddressOf()), S_OK);
    CaptureTo("system.wmv");
    session.outputType = 1;
    ASSERT_TRUE(SUCCEEDED(session.StartSession(formats, kCamera, kMicrophone, "", "", -1, -1, profiles[0].id)));
    ComPtr<IBaseFilter> writer;
    ASSERT_EQ(session.Graph()->FindFilterByName("ASF Writer", writer.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IConfigAsfWriter> config = QueryAs<IConfigAsfWriter>(writer.Get());
    ASSERT_TRUE(config);
    Guid current{};
    config->GetCurrentProfileGuid(&current);
    EXPECT_EQ(current, profiles[0].id);
    Record(1200);
    EXPECT_EQ(VideoStream(file).substr(0, 5), "wmv2,");
}

TEST_F(SessionWmv, ACustomProfileThatCannotBeLoadedFailsTheStart) {
    CaptureTo("never.wmv");
    session.outputType = 1;
    session.wmvCustomFileName = TestFile("nope.prx").string();
    EXPECT_FALSE(Start(kCamera, kMicrophone));
    EXPECT_FALSE(session.Graph());
    // The fixed-caps shape fails the same way.
    EXPECT_FALSE(Start(kCard, kMicrophone));
    session.StopSession();

    // Once a preview found the camera scalable (as after the control's RefreshDevice), the file
    // branch is built in the scalable shape: the bad profile still fails the start.
    session.captureMode = false;
    ASSERT_TRUE(Start(kCamera, kMicrophone));
    ASSERT_TRUE(session.scalableSource);
    session.StopSession();
    std::ofstream(TestFile("junk.prx")) << "junk";
    session.wmvCustomFileName = TestFile("junk.prx").string();
    CaptureTo("never2.wmv");
    EXPECT_FALSE(Start(kCamera, kMicrophone));
    session.StopSession();
    EXPECT_FALSE(std::filesystem::exists(file) && std::filesystem::file_size(file) > 0);
}

TEST_F(SessionWmv, FixedCapsDeviceRecordsWmvThroughTheWriterFromTheBuilder) {
    CaptureTo("card.wmv");
    session.outputType = 1;
    session.wmvCustomFileName = ShippedProfile("320x240-l.prx").string();
    ASSERT_TRUE(Start(kCard, kMicrophone));
    EXPECT_FALSE(session.scalableSource);
    EXPECT_EQ(session.wmvFileName, file.string());
    Record(1500);
    EXPECT_EQ(VideoStream(file), "wmv2,320,240");
    EXPECT_EQ(AudioCodec(file), "wmav2");
}

TEST_F(SessionWmv, BroadcastWithoutCaptureModeWritesTmpWmvAndSendsOneStartBlockAfterTheGraphRuns) {
    FakeHelper helper;
    ASSERT_TRUE(helper.Alive());
    Broadcast();
    session.captureFileName = TestFile("ignored.avi").string();
    ASSERT_TRUE(Start(kCamera, kMicrophone));
    const std::string tmp = (tempDir / "tmp.wmv").string();
    EXPECT_EQ(session.wmvFileName, tmp);
    ASSERT_EQ(helper.received.size(), 1u);
    const ReceivedCopy& block = helper.received[0];
    EXPECT_EQ(block.dwData, 0x10016u);
    EXPECT_EQ(block.wParam, 0x77u);
    ASSERT_EQ(block.bytes.size(), 1524u);
    EXPECT_EQ(Int32At(block.bytes, 4), 0x10016u);
    EXPECT_EQ(Int32At(block.bytes, 24), 0x4242u);
    EXPECT_EQ(Int32At(block.bytes, 72), 8123u);
    EXPECT_EQ(Int32At(block.bytes, 76), 5u);
    EXPECT_EQ(TextAt(block.bytes, 364), tmp);
    EXPECT_EQ(TextAt(block.bytes, 624), "rtmp://127.0.0.1/live/s");
    // The file grows while the graph runs, as the helper needs.
    EXPECT_TRUE(PumpUntil([&] { return std::filesystem::exists(tmp) && std::filesystem::file_size(tmp) > 0; }, 5000));
    Record(1000);
    EXPECT_EQ(helper.received.size(), 1u);
    EXPECT_EQ(Container(tmp), "asf");
    EXPECT_EQ(VideoStream(tmp).substr(0, 5), "wmv2,");
    EXPECT_EQ(AudioCodec(tmp), "wmav2");
    EXPECT_FALSE(std::filesystem::exists(TestFile("ignored.avi")));
    // A second start sends its own single block.
    ASSERT_TRUE(Start(kCamera, kMicrophone));
    EXPECT_EQ(helper.received.size(), 2u);
}

TEST_F(SessionWmv, BroadcastWithAviOrMpegOutputStillRecordsAndServesWmvToTheCaptureFile) {
    FakeHelper helper;
    for (int16_t type : {int16_t{0}, int16_t{2}}) {
        SCOPED_TRACE(type);
        Broadcast();
        CaptureTo(type == 0 ? "broadcast.avi" : "broadcast.mpg");
        session.outputType = type;
        helper.received.clear();
        ASSERT_TRUE(Start(kCamera, kMicrophone));
        EXPECT_EQ(session.outputType, 1);
        EXPECT_TRUE(HasFilter(session.Graph(), "ASF Writer"));
        EXPECT_FALSE(HasFilter(session.Graph(), "AVI Mux 2"));
        ASSERT_EQ(helper.received.size(), 1u);
        EXPECT_EQ(TextAt(helper.received[0].bytes, 364), file.string());
        Record(1200);
        EXPECT_EQ(Container(file), "asf");
        EXPECT_EQ(VideoStream(file).substr(0, 5), "wmv2,");
        EXPECT_FALSE(std::filesystem::exists(tempDir / "tmp.wmv"));
    }
}

TEST_F(SessionWmv, BroadcastWithoutAHelperGoesOnSilently) {
    Broadcast();
    CaptureTo("alone.wmv");
    ASSERT_EQ(FindWindow("Relayoclass", nullptr), HWND_NONE);
    session.moduleFolder = TestFile("nowhere/").string();
    ASSERT_TRUE(Start(kCamera, kMicrophone));
    Record(1200);
    EXPECT_EQ(VideoStream(file).substr(0, 5), "wmv2,");
}

TEST_F(SessionWmv, APathOrAddressTooLongForTheStartBlockFailsTheStartAndSendsNothing) {
    FakeHelper helper;
    Broadcast();
    // 259 bytes still fit.
    std::string dir = TestFile("").string();
    std::string fits = dir + std::string(259 - dir.size() - 4, 'f') + ".wmv";
    ASSERT_EQ(fits.size(), 259u);
    session.captureMode = true;
    session.captureFileName = fits;
    EXPECT_TRUE(Start(kCamera));
    ASSERT_EQ(helper.received.size(), 1u);
    EXPECT_EQ(TextAt(helper.received[0].bytes, 364), fits);
    session.StopSession();

    std::string tooLong = dir + std::string(260 - dir.size() - 4, 'g') + ".wmv";
    session.captureFileName = tooLong;
    EXPECT_FALSE(Start(kCamera));
    EXPECT_EQ(helper.received.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(tooLong));
    session.StopSession();

    session.captureFileName = fits;
    session.publishingUrl = "rtmp://127.0.0.1/" + std::string(900 - 17, 'a');
    EXPECT_FALSE(Start(kCamera));
    EXPECT_EQ(helper.received.size(), 1u);
}
