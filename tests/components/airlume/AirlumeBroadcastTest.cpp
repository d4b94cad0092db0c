// The media-file broadcaster as the program drives it: registered from the system folder,
// created by CLSID in a control site, reached only by DISPID, its events read through a sink.
// Players are the ffmpeg CLI (mmsh:// and http://) and raw loopback sockets.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <future>
#include <thread>

#include "platform/com/ClassRegistry.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/TypeLibRegistration.h"
#include "platform/os/EventWait.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/Loopback.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::ProbedDuration;
using testing_support::ProbedPackets;

namespace {

// The identifiers as the program copies them from the broadcaster's documentation.
constexpr CLSID kClsidAirlume = MakeGuid("{58171B2C-8345-484A-8AB1-E6A6E12FFD9E}");
constexpr Guid kLibId = MakeGuid("{D5F2F363-4FD7-48C8-AA27-C895C087682E}");
constexpr DISPID kMaxClients = 2, kPort = 3, kFileName = 4, kStart = 6, kStop = 7, kClientInfo = 8;
constexpr DISPID kFinished = 1, kReady = 2, kBroadcasting = 3, kError = 4, kClients = 5;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Event {
    DISPID id = 0;
    int count = -1;        // ClientsChanged
    std::string firstClient;  // ClientsChanged: GetClientInfo(0) at that moment
};

// One ffmpeg player, run on its own thread while the test's UI thread serves events.
struct Player {
    struct Outcome {
        mmsh_test::CommandResult result;
        double wall = 0;  // from launch to exit
    };
    std::future<Outcome> run;
    double wall = 0;
    mmsh_test::CommandResult result;

    void Start(const std::string& url, const std::filesystem::path& out, const std::string& format = "") {
        std::string command = "ffmpeg -nostdin -v error -i " + url + " -c copy " + format + " -y '" + out.string() + "'";
        run = std::async(std::launch::async, [command] {
            Clock::time_point began = Clock::now();
            Outcome outcome{mmsh_test::Run(command, 60)};
            outcome.wall = Seconds(Clock::now() - began);
            return outcome;
        });
    }
    bool Done() { return run.valid() && run.wait_for(0s) == std::future_status::ready; }
    void Finish() {
        Outcome outcome = run.get();
        result = std::move(outcome.result);
        wall = outcome.wall;
    }
};

class AirlumeBroadcast : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "system" / "Airlume.so"), "");
        site_ = ControlSite::Create(&window_);
        ASSERT_EQ(site_->CreateControl(kClsidAirlume), S_OK);
        ASSERT_EQ(site_->InitNew(), S_OK);
        driver_.Attach(site_->Control());
        ASSERT_EQ(site_->AdviseEvents([this](DISPID id, std::vector<Variant>& args) {
            Event e;
            e.id = id;
            if (id == kClients && !args.empty()) {
                int64_t n = -1;
                args[0].GetInteger(&n);
                e.count = static_cast<int>(n);
                Variant text;
                driver_.Call(kClientInfo, {Variant(int16_t{0})}, &text);
                e.firstClient = text.Type() == VT_BSTR ? text.Bstr() : "?";
            }
            events_.push_back(e);
            if (onEvent_) onEvent_(id);
            return S_OK;
        }), S_OK);
        port_ = testing_support::FreeLoopbackPort();
    }
    void TearDown() override {
        if (site_) site_->Destroy();
        site_.Reset();
        driver_ = {};
        // The module stays loaded to the end of the process, as with the program.
    }

    std::filesystem::path Dir() const { return testing_support::TestEnvironment::Current().Dir(); }

    // Sets the three properties and calls the start method, as the playlist does.
    bool StartFile(const std::filesystem::path& file, int16_t maxClients) {
        EXPECT_EQ(driver_.PutProperty(kFileName, Variant(file.string())), S_OK);
        EXPECT_EQ(driver_.PutProperty(kPort, Variant(static_cast<int16_t>(port_))), S_OK);
        EXPECT_EQ(driver_.PutProperty(kMaxClients, Variant(maxClients)), S_OK);
        Variant started;
        EXPECT_EQ(driver_.Call(kStart, {}, &started), S_OK);
        return started.Type() == VT_BOOL && started.Bool();
    }

    // Runs the UI thread's events until `done` or the limit.
    bool Spin(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        return RunEventsUntil(done, static_cast<int>(limit.count()));
    }

    std::vector<DISPID> StatusEvents() const {
        std::vector<DISPID> ids;
        for (const Event& e : events_)
            if (e.id != kClients) ids.push_back(e.id);
        return ids;
    }

    std::string Url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + "/"; }

    QWidget window_;
    ComPtr<ControlSite> site_;
    DispatchDriver driver_;
    std::vector<Event> events_;
    std::function<void(DISPID)> onEvent_;
    uint16_t port_ = 0;
};

}  // namespace

TEST_F(AirlumeBroadcast, APlaylistOfAnMp3AndAWmvGoesOutAtRealRateAndEndsByItself) {
    std::filesystem::path song = Dir() / "song.mp3", clip = Dir() / "clip.wmv";
    ASSERT_TRUE(mmsh_test::MakeMp3(song, 3, true));
    ASSERT_TRUE(mmsh_test::MakeWmv(clip, 4));
    const double songSeconds = ProbedDuration(song), clipSeconds = ProbedDuration(clip);

    // The playlist's reaction to the end of a file: the next entry, or stop after the last.
    Player listener, viewer;
    bool completed = false;
    int entry = 0;
    onEvent_ = [&](DISPID id) {
        if (id != kFinished) return;
        if (entry == 1) {
            completed = true;
            EXPECT_EQ(driver_.Call(kStop), S_OK);
            return;
        }
        entry = 1;
        EXPECT_TRUE(StartFile(clip, 2));
        viewer.Start(Url("mmsh"), Dir() / "viewed.asf");
    };
    ASSERT_TRUE(StartFile(song, 2));
    listener.Start(Url("http"), Dir() / "heard.mp3", "-f mp3");

    ASSERT_TRUE(Spin([&] { return completed && listener.Done() && viewer.Done(); }, 40s));
    listener.Finish();
    viewer.Finish();

    // Each player got its whole file, in about the file's own time.
    EXPECT_EQ(ProbedPackets(Dir() / "heard.mp3", "a"), ProbedPackets(song, "a")) << listener.result.output;
    EXPECT_NEAR(listener.wall, songSeconds, songSeconds * 0.1) << listener.result.output;
    EXPECT_EQ(ProbedPackets(Dir() / "viewed.asf", "v"), ProbedPackets(clip, "v")) << viewer.result.output;
    EXPECT_EQ(ProbedPackets(Dir() / "viewed.asf", "a"), ProbedPackets(clip, "a")) << viewer.result.output;
    EXPECT_NEAR(viewer.wall, clipSeconds, clipSeconds * 0.1) << viewer.result.output;

    // Ready, broadcasting, finished for each file, in that order; a player of each was reported
    // with its address; the last report says nobody is left.
    EXPECT_EQ(StatusEvents(), (std::vector<DISPID>{kReady, kBroadcasting, kFinished, kReady, kBroadcasting, kFinished}));
    int playersSeen = 0;
    for (const Event& e : events_)
        if (e.id == kClients && e.count == 1) {
            ++playersSeen;
            EXPECT_EQ(e.firstClient, "127.0.0.1");
        }
    EXPECT_EQ(playersSeen, 2);
    auto lastCount = std::find_if(events_.rbegin(), events_.rend(), [](const Event& e) { return e.id == kClients; });
    ASSERT_NE(lastCount, events_.rend());
    EXPECT_EQ(lastCount->count, 0);
    EXPECT_EQ(lastCount->firstClient, "");

    // Stopped: the port is closed.
    EXPECT_LT(mmsh_test::Connect(port_), 0);
}

TEST_F(AirlumeBroadcast, TwoPlayersAtOnceWhenTheLimitIsTwoAndTheThirdIsRefused) {
    std::filesystem::path clip = Dir() / "clip.wmv";
    ASSERT_TRUE(mmsh_test::MakeWmv(clip, 5));
    const double seconds = ProbedDuration(clip);
    ASSERT_TRUE(StartFile(clip, 2));
    Player first, second;
    first.Start(Url("mmsh"), Dir() / "first.asf");
    second.Start(Url("mmsh"), Dir() / "second.asf");
    auto twoPlaying = [&] {
        for (const Event& e : events_)
            if (e.id == kClients && e.count == 2) return true;
        return false;
    };
    ASSERT_TRUE(Spin(twoPlaying, 10s));
    // A third player, by the media player's protocol and by plain HTTP.
    EXPECT_EQ(mmsh_test::Fetch(port_, mmsh_test::DescribeRequest(), SIZE_MAX, 3s).status, 503);
    EXPECT_EQ(mmsh_test::Fetch(port_, "GET / HTTP/1.0\r\n\r\n", SIZE_MAX, 3s).status, 503);
    Player third;
    third.Start(Url("mmsh"), Dir() / "third.asf");
    ASSERT_TRUE(Spin([&] { return third.Done(); }, 20s));
    third.Finish();
    EXPECT_NE(third.result.status, 0) << third.result.output;
    EXPECT_LT(third.wall, 3.0);

    ASSERT_TRUE(Spin([&] { return first.Done() && second.Done() && !StatusEvents().empty() &&
                                  StatusEvents().back() == kFinished; },
                     30s));
    first.Finish();
    second.Finish();
    for (const char* name : {"first.asf", "second.asf"})
        EXPECT_EQ(ProbedPackets(Dir() / name, "v"), ProbedPackets(clip, "v")) << name;
    EXPECT_NEAR(first.wall, seconds, seconds * 0.1);
    EXPECT_NEAR(second.wall, seconds, seconds * 0.1);
}

TEST_F(AirlumeBroadcast, WhatCannotBeStreamedFailsTheStartAndRaisesTheErrorEvent) {
    std::filesystem::path text = Dir() / "notes.mp3";
    {
        std::FILE* f = std::fopen(text.c_str(), "w");
        ASSERT_TRUE(f);
        for (int i = 0; i < 500; ++i) std::fputs("no audio in here ", f);
        std::fclose(f);
    }
    std::filesystem::path song = Dir() / "song.mp3";
    ASSERT_TRUE(mmsh_test::MakeMp3(song, 1));

    auto expectRefused = [&](const std::filesystem::path& file, const char* why) {
        events_.clear();
        EXPECT_FALSE(StartFile(file, 2)) << why;
        Spin([&] { return !events_.empty(); }, 2s);
        EXPECT_EQ(StatusEvents(), std::vector<DISPID>{kError}) << why;
        EXPECT_LT(mmsh_test::Connect(port_), 0) << why;
    };
    expectRefused(Dir() / "missing.wmv", "a missing file");
    expectRefused(text, "a file of another kind");

    // A port someone else holds.
    int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    events_.clear();
    EXPECT_FALSE(StartFile(song, 2));
    Spin([&] { return !events_.empty(); }, 2s);
    EXPECT_EQ(StatusEvents(), std::vector<DISPID>{kError});
    ::close(holder);

    // Then a good file starts.
    events_.clear();
    EXPECT_TRUE(StartFile(song, 2));
    ASSERT_TRUE(Spin([&] { return StatusEvents().size() >= 3; }, 10s));
    EXPECT_EQ(StatusEvents(), (std::vector<DISPID>{kReady, kBroadcasting, kFinished}));
}

TEST_F(AirlumeBroadcast, TheRegisteredTypeLibraryNamesEveryMemberAtItsDispid) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(kLibId, 1, 0, 1033, lib.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(kClsidAirlume, coclass.ReleaseAndGetAddressOf()), S_OK);
    const std::pair<const char*, DISPID> members[] = {{"MaxClients", kMaxClients}, {"Port", kPort},
                                                       {"FileName", kFileName},     {"StartBroadcast", kStart},
                                                       {"StopBroadcast", kStop},    {"GetClientInfo", kClientInfo}};
    for (const auto& [name, expected] : members) {
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(driver_.GetIdOfName(name, &id), S_OK) << name;
        EXPECT_EQ(id, expected) << name;
        BOOL found = FALSE;
        EXPECT_EQ(lib->IsName(name, &found), S_OK);
        EXPECT_TRUE(found) << name;
    }
    for (const char* event : {"FileFinished", "Ready", "Broadcasting", "BroadcastError", "ClientsChanged"}) {
        BOOL found = FALSE;
        EXPECT_EQ(lib->IsName(event, &found), S_OK);
        EXPECT_TRUE(found) << event;
    }
    // The properties keep what is put, 16-bit values as they travel.
    ASSERT_EQ(driver_.PutProperty(kPort, Variant(int16_t{-1000})), S_OK);
    Variant port;
    ASSERT_EQ(driver_.GetProperty(kPort, &port), S_OK);
    EXPECT_EQ(port.Type(), VT_I2);
    EXPECT_EQ(port.I2(), -1000);
    Variant none;
    ASSERT_EQ(driver_.Call(kClientInfo, {Variant(int16_t{5})}, &none), S_OK);
    EXPECT_EQ(none.Bstr(), "");
}
