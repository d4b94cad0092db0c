// Snapshots from the page's preview: the confirmation once a run, the UTC name, a second shot in
// the same second beside the first, both formats decodable, the folder made when missing and a
// failed save told as one.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <fstream>

#include "app/pages/SnapshotName.h"
#include "app/pages/SnapshotSettingsDialog.h"
#include "platform/os/WallClockOverride.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/support/MediaProbe.h"

namespace page_testing {
namespace {

using namespace std::chrono;

// 09:05:03 UTC on 7 December 2026.
WallClockTime SnapshotMoment() { return sys_days{year{2026} / 12 / 7} + hours{9} + minutes{5} + seconds{3}; }

using SnapshotTest = PageFixture;

TEST_F(SnapshotTest, JpegShotsGetTheUtcNameAndASecondInTheSameSecondKeepsTheFirst) {
    WallClockOverride clock(SnapshotMoment());
    const fs::path folder = dir_ / "shots" / "new";
    Settings().snapshotFormat = "1";
    Settings().snapshotFolder = folder.string();
    VideoCapturePage& page = Page();
    RunEvents(500);
    page.Button("Snapshot")->click();
    ASSERT_EQ(boxes_.Calls().size(), 2u);
    EXPECT_EQ(boxes_.Calls()[0].caption, "Settings Confirmation");
    EXPECT_EQ(boxes_.Calls()[0].text, "Your current output format is JPEG and all the images will be saved to the path: " +
                                          folder.string() + ". Please confirm these settings.");
    EXPECT_EQ(boxes_.Calls()[1].text, "Save successfully!");
    const fs::path first = folder / "2026-12-7 953.jpg";
    ASSERT_TRUE(fs::exists(first));
    const std::string firstBytes = testing_support::ReadFile(first);

    RunEvents(200);
    page.Button("Snapshot")->click();
    // Confirmed once for the run: no second confirmation.
    ASSERT_EQ(boxes_.Calls().size(), 3u);
    EXPECT_EQ(boxes_.Calls()[2].text, "Save successfully!");
    const fs::path second = folder / "2026-12-7 953 (2).jpg";
    ASSERT_TRUE(fs::exists(second));
    EXPECT_EQ(page.LastSnapshot(), second.string());
    EXPECT_EQ(testing_support::ReadFile(first), firstBytes);
    for (const fs::path& file : {first, second}) {
        const std::string size = testing_support::CommandOutput("djpeg -pnm '" + file.string() + "' | head -c 20 | sed -n 2p");
        EXPECT_FALSE(size.empty()) << file;
        EXPECT_EQ(testing_support::Ffprobe(file, "-show_entries stream=codec_name -of csv=p=0"), "mjpeg\n");
    }
}

TEST_F(SnapshotTest, BmpShotsDecodeAndAFailedSaveSaysSo) {
    WallClockOverride clock(SnapshotMoment());
    Settings().snapshotFormat = "0";
    VideoCapturePage& page = Page();
    RunEvents(500);
    page.OnSnapshot();
    const fs::path shot = fs::path(Settings().snapshotFolder) / "2026-12-7 953.bmp";
    ASSERT_TRUE(fs::exists(shot));
    const auto probed = testing_support::ProbeSections(shot, "-show_entries stream=codec_type,codec_name,width,height");
    ASSERT_TRUE(probed.Stream("video"));
    EXPECT_EQ(probed.Stream("video")->at("codec_name"), "bmp");
    // The first format of the camera.
    EXPECT_EQ(probed.Stream("video")->at("width"), "160");

    // A folder that cannot be made, under a file.
    std::ofstream(dir_ / "plain-file") << "x";
    Settings().snapshotFolder = (dir_ / "plain-file" / "shots").string();
    page.OnSnapshot();
    EXPECT_EQ(boxes_.Calls().back().text, "Fail to save the image!");
    EXPECT_EQ(boxes_.Calls().back().Icon(), MB_ICONERROR);
}

TEST_F(SnapshotTest, CancellingTheConfirmationOpensTheSettingsAndTakesNoShot) {
    Settings().snapshotFormat = "0";
    VideoCapturePage& page = Page();
    boxes_.Answer(IDCANCEL);
    const fs::path chosen = dir_ / "chosen";
    dialogs_.Answer("SnapshotSettingsDialog", [&](QDialog& dialog) {
        auto& settings = static_cast<SnapshotSettingsDialog&>(dialog);
        EXPECT_EQ(settings.Format()->currentText().toStdString(), "BMP Format");
        settings.Format()->setCurrentIndex(1);
        settings.Folder()->setText(QString::fromStdString(chosen.string()));
        settings.OnOK();
        return dialog.result();
    });
    page.OnSnapshot();
    EXPECT_FALSE(page.SnapshotConfirmed());
    EXPECT_TRUE(page.LastSnapshot().empty());
    ASSERT_EQ(dialogs_.Seen().size(), 1u);
    // The missing folder was offered to be made (Yes is the default answer) and stored.
    EXPECT_TRUE(fs::is_directory(chosen));
    EXPECT_EQ(Settings().snapshotFormat, "1");
    EXPECT_EQ(Settings().snapshotFolder, chosen.string());
}

TEST(SnapshotNameTest, NoLeadingZerosAndNumberedFormsForTakenNames) {
    SYSTEMTIME utc;
    utc.wYear = 2026;
    utc.wMonth = 12;
    utc.wDay = 7;
    utc.wHour = 9;
    utc.wMinute = 5;
    utc.wSecond = 3;
    EXPECT_EQ(SnapshotBaseName(utc), "2026-12-7 953");
    const fs::path folder = testing_support::TestEnvironment::Current().Dir();
    EXPECT_EQ(FreeSnapshotPath(folder.string(), "a", ".bmp"), (folder / "a.bmp").string());
    std::ofstream(folder / "a.bmp") << "1";
    std::ofstream(folder / "a (2).bmp") << "2";
    EXPECT_EQ(FreeSnapshotPath(folder.string(), "a", ".bmp"), (folder / "a (3).bmp").string());
    // Another extension is another name.
    EXPECT_EQ(FreeSnapshotPath(folder.string(), "a", ".jpg"), (folder / "a.jpg").string());
}

}  // namespace
}  // namespace page_testing
