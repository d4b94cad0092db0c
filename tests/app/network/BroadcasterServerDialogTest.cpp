// The "Video/Audio Broadcaster Server" dialog offscreen with the real media-file broadcaster: the
// playlist's slots and limit, Preview, and a playlist of an MP3 and a WMV file that players on
// loopback read whole at real rate while the broadcaster's events drive the dialog to its end.
#include "app/network/BroadcasterServerDialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <future>

#include "platform/os/FileDialogRecorder.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/os/ShellOpenRecorder.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/Loopback.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::ProbedDuration;
using testing_support::ProbedPackets;
using testing_support::TestEnvironment;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// An ffmpeg player on its own thread, timed from launch to exit.
struct Player {
    std::future<std::pair<mmsh_test::CommandResult, double>> run;

    void Start(const std::string& url, const std::filesystem::path& out, const std::string& format = "") {
        const std::string command = "ffmpeg -nostdin -v error -i " + url + " -c copy " + format + " -y '" + out.string() + "'";
        run = std::async(std::launch::async, [command] {
            const Clock::time_point began = Clock::now();
            mmsh_test::CommandResult result = mmsh_test::Run(command, 60);
            return std::pair{result, Seconds(Clock::now() - began)};
        });
    }
    bool Done() const { return run.valid() && run.wait_for(0s) == std::future_status::ready; }
};

bool Spin(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class BroadcasterServerDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "system" / "Airlume.so"), "");
        port_ = testing_support::FreeLoopbackPortUpTo(9999);
        ASSERT_NE(port_, 0);
    }
    std::filesystem::path Dir() const { return TestEnvironment::Current().Dir(); }
    std::string Url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::vector<std::string> Names(const QListWidget* list) const {
        std::vector<std::string> names;
        for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
        return names;
    }

    uint16_t port_ = 0;
};

}  // namespace

TEST_F(BroadcasterServerDialogTest, SlotsAreNeverReusedAndTheLimitIsRefusedWithItsMessage) {
    FileDialogRecorder files;
    MessageBoxRecorder boxes;
    ShellOpenRecorder opened;
    BroadcasterServerDialog dialog(port_, 2, "mms://192.0.2.2:" + std::to_string(port_));
    ASSERT_TRUE(dialog.OnOpen());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Video/Audio Broadcaster Server");
    EXPECT_EQ(dialog.Status(), "Stop!");
    EXPECT_EQ(dialog.ClientCount()->text().toStdString(), "0");
    EXPECT_EQ(dialog.AddressEdit()->text().toStdString(), "mms://192.0.2.2:" + std::to_string(port_));
    EXPECT_FALSE(dialog.StopButton()->isEnabled());
    EXPECT_TRUE(dialog.BroadcastNowButton()->isEnabled());

    dialog.OnBroadcastNow();  // nothing to broadcast
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_FALSE(dialog.Broadcasting());

    for (const char* name : {"/m/a.mp3", "/m/b.wmv", "/m/c.WMA"}) {
        files.Answer(name);
        dialog.OnAddFile();
    }
    ASSERT_EQ(files.Requests().size(), 3u);
    EXPECT_EQ(files.Requests()[0].title, "Please select a video/audio file:");
    EXPECT_EQ(files.Requests()[0].filter, BroadcasterServerDialog::kAddFilter);
    EXPECT_TRUE(files.Requests()[0].fileMustExist);
    EXPECT_EQ(Names(dialog.List()), (std::vector<std::string>{"a.mp3", "b.wmv", "c.WMA"}));
    dialog.List()->setCurrentRow(1);
    dialog.OnRemove();
    files.Answer("/m/d.asf");
    dialog.OnAddFile();
    EXPECT_EQ(Names(dialog.List()), (std::vector<std::string>{"a.mp3", "c.WMA", "d.asf"}));
    EXPECT_EQ(dialog.List()->item(2)->data(Qt::UserRole).toInt(), 3) << "a new slot, not the freed one";
    EXPECT_EQ(dialog.Playlist().PathOf(1), "/m/c.WMA");

    dialog.List()->setCurrentRow(2);
    dialog.OnPreview();
    EXPECT_EQ(opened.Targets(), std::vector<std::string>{"/m/d.asf"});

    // Every slot of this opening used: the next file is refused and the person told why.
    for (int i = dialog.Playlist().SlotsUsed(); i < MediaPlaylist::kMaxSlots; ++i) files.Answer("/m/x.mp3");
    for (int i = dialog.Playlist().SlotsUsed(); i < MediaPlaylist::kMaxSlots; ++i) dialog.OnAddFile();
    EXPECT_EQ(dialog.Playlist().SlotsUsed(), MediaPlaylist::kMaxSlots);
    files.Answer("/m/y.mp3");
    dialog.OnAddFile();
    EXPECT_EQ(dialog.List()->count(), MediaPlaylist::kMaxSlots - 1);
    ASSERT_EQ(boxes.Calls().size(), 2u);
    EXPECT_EQ(boxes.Calls()[1].text, MediaPlaylist::kFullMessage);

    // Opening again starts afresh.
    ASSERT_TRUE(dialog.OnOpen());
    EXPECT_EQ(dialog.List()->count(), 0);
    EXPECT_EQ(dialog.Playlist().SlotsUsed(), 0);
}

TEST_F(BroadcasterServerDialogTest, APlaylistOfAnMp3AndAWmvIsPlayedWholeAtRealRateAndEndsCompleted) {
    const std::filesystem::path song = Dir() / "song.mp3", clip = Dir() / "clip.wmv";
    ASSERT_TRUE(mmsh_test::MakeMp3(song, 3, true));
    ASSERT_TRUE(mmsh_test::MakeWmv(clip, 4));
    const double songSeconds = ProbedDuration(song), clipSeconds = ProbedDuration(clip);
    FileDialogRecorder files;
    BroadcasterServerDialog dialog(port_, 2, "mms://127.0.0.1");
    ASSERT_TRUE(dialog.OnOpen());
    for (const auto& file : {song, clip}) {
        files.Answer(file.string());
        dialog.OnAddFile();
    }
    dialog.List()->clearSelection();
    dialog.List()->setCurrentRow(-1);

    // No entry selected: the first starts.
    std::vector<std::string> statuses;
    int mostClients = 0;
    auto watch = [&] {
        if (statuses.empty() || statuses.back() != dialog.Status()) statuses.push_back(dialog.Status());
        mostClients = std::max(mostClients, dialog.ClientList()->count());
    };
    dialog.OnBroadcastNow();
    EXPECT_TRUE(dialog.Broadcasting());
    EXPECT_FALSE(dialog.BroadcastNowButton()->isEnabled());
    EXPECT_FALSE(dialog.AddButton()->isEnabled());
    EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
    EXPECT_FALSE(dialog.List()->isEnabled());
    EXPECT_TRUE(dialog.StopButton()->isEnabled());
    EXPECT_EQ(dialog.List()->currentRow(), 0);
    Player listener;
    listener.Start(Url("http"), Dir() / "heard.mp3", "-f mp3");

    // The second entry once the first is over: two viewers, and a third refused.
    ASSERT_TRUE(Spin([&] { watch(); return dialog.List()->currentRow() == 1; }, 20s)) << dialog.Status();
    Player first, second;
    first.Start(Url("mmsh"), Dir() / "first.asf");
    second.Start(Url("mmsh"), Dir() / "second.asf");
    ASSERT_TRUE(Spin([&] { watch(); return dialog.ClientCount()->text() == "2"; }, 10s));
    EXPECT_EQ(mmsh_test::Fetch(port_, mmsh_test::DescribeRequest(), SIZE_MAX, 3s).status, 503);
    EXPECT_EQ(dialog.ClientList()->item(0)->text().toStdString(), "127.0.0.1");

    ASSERT_TRUE(Spin([&] { watch(); return !dialog.Broadcasting() && listener.Done() && first.Done() && second.Done(); },
                     40s));
    auto [heard, heardWall] = listener.run.get();
    auto [viewed, viewedWall] = first.run.get();
    auto [viewedToo, viewedTooWall] = second.run.get();
    EXPECT_EQ(ProbedPackets(Dir() / "heard.mp3", "a"), ProbedPackets(song, "a")) << heard.output;
    EXPECT_NEAR(heardWall, songSeconds, songSeconds * 0.1) << heard.output;
    for (const char* name : {"first.asf", "second.asf"}) {
        EXPECT_EQ(ProbedPackets(Dir() / name, "v"), ProbedPackets(clip, "v")) << name;
        EXPECT_EQ(ProbedPackets(Dir() / name, "a"), ProbedPackets(clip, "a")) << name;
    }
    EXPECT_NEAR(viewedWall, clipSeconds, clipSeconds * 0.1) << viewed.output;
    EXPECT_NEAR(viewedTooWall, clipSeconds, clipSeconds * 0.1) << viewedToo.output;

    // The end of the last file stopped the broadcast by itself and left "Completed!".
    Spin([&] { watch(); return dialog.ClientCount()->text() == "0"; }, 3s);
    EXPECT_EQ(dialog.Status(), "Completed!");
    EXPECT_THAT(statuses, testing::Contains("Broadcasting..."));
    EXPECT_EQ(statuses.back(), "Completed!");
    EXPECT_EQ(mostClients, 2);
    EXPECT_EQ(dialog.ClientCount()->text().toStdString(), "0");
    EXPECT_EQ(dialog.ClientList()->count(), 0);
    EXPECT_TRUE(dialog.BroadcastNowButton()->isEnabled());
    EXPECT_TRUE(dialog.List()->isEnabled());
    EXPECT_FALSE(dialog.StopButton()->isEnabled());
    EXPECT_LT(mmsh_test::Connect(port_), 0) << "the port is closed";
}

TEST_F(BroadcasterServerDialogTest, AFileTheBroadcasterRefusesShowsErrorAndStopEndsIt) {
    FileDialogRecorder files;
    BroadcasterServerDialog dialog(port_, 1, "");
    ASSERT_TRUE(dialog.OnOpen());
    files.Answer((Dir() / "gone.mp3").string());
    dialog.OnAddFile();
    dialog.OnBroadcastNow();
    ASSERT_TRUE(Spin([&] { return dialog.Status() == "Error!"; }, 5s)) << dialog.Status();
    EXPECT_TRUE(dialog.Broadcasting()) << "the person stops or exits";
    dialog.OnStop();
    EXPECT_EQ(dialog.Status(), "Stop!");
    EXPECT_TRUE(dialog.AddButton()->isEnabled());
}

TEST(BroadcasterServerDialogWithoutBroadcaster, SaysSoAndOffersNoBroadcast) {
    MessageBoxRecorder boxes;
    BroadcasterServerDialog dialog(8080, 3, "mms://192.0.2.2:8080");
    EXPECT_FALSE(dialog.OnOpen());
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONERROR);
    EXPECT_FALSE(dialog.BroadcastNowButton()->isEnabled());
    EXPECT_TRUE(dialog.AddButton()->isEnabled());
}
