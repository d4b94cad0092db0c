// The MPEG, WMV and AVI option dialogs of a device recording: their lists, custom entries,
// checks and what a second opening in the same run shows.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/options/DeviceAviDialog.h"
#include "app/outside/CLumicor.h"
#include "app/pages/MpegOptionsDialog.h"
#include "app/pages/WmvProfileDialog.h"
#include "tests/app/pages/PageFixture.h"

namespace page_testing {
namespace {

TEST(MpegOptionsDialogTest, OpensOnTheInitialChoiceAndCustomEntriesReopenAsChosen) {
    MessageBoxRecorder boxes;
    MpegChoice choice;
    {
        MpegOptionsDialog dialog(choice);
        EXPECT_EQ(dialog.Encoder()->currentText(), "MPEG1");
        EXPECT_EQ(dialog.OutputSize()->currentText(), "320*240");
        EXPECT_EQ(dialog.OutputSize()->count(), 17);
        EXPECT_EQ(dialog.VideoBitrate()->currentText(), "1150 kbps");
        EXPECT_EQ(dialog.FrameRate()->currentText(), "25");
        EXPECT_EQ(dialog.SampleRate()->currentText(), "44100");
        EXPECT_EQ(dialog.AudioBitrate()->currentText(), "224");
        EXPECT_EQ(dialog.Channel()->currentText(), "Stereo");
        EXPECT_FALSE(dialog.WidthEdit()->isEnabled());
        EXPECT_EQ(dialog.WidthEdit()->text(), "320");
        Select(dialog.OutputSize(), "720*576");
        EXPECT_EQ(dialog.HeightEdit()->text(), "576");
        Select(dialog.OutputSize(), "Custom Size");
        EXPECT_TRUE(dialog.WidthEdit()->isEnabled());
        EXPECT_EQ(dialog.WidthEdit()->text(), "320");
        dialog.WidthEdit()->setText("400");
        dialog.HeightEdit()->setText("300");
        Select(dialog.VideoBitrate(), "Custom Bitrate");
        EXPECT_EQ(dialog.BitrateEdit()->text(), "1150");
        dialog.BitrateEdit()->setText("1800");
        Select(dialog.FrameRate(), "29.97");
        Select(dialog.Channel(), "Mono");
        dialog.OnOK();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(choice.confirmed);
    EXPECT_EQ(choice.width, 400);
    EXPECT_EQ(choice.videoBitrate, 1800);
    EXPECT_EQ(WholeFrameRate(choice.frameRate), 29);
    EXPECT_EQ(choice.channel, 1);
    MpegOptionsDialog again(choice);
    EXPECT_EQ(again.OutputSize()->currentText(), "Custom Size");
    EXPECT_EQ(again.WidthEdit()->text(), "400");
    EXPECT_EQ(again.HeightEdit()->text(), "300");
    EXPECT_EQ(again.VideoBitrate()->currentText(), "Custom Bitrate");
    EXPECT_EQ(again.BitrateEdit()->text(), "1800");
    EXPECT_EQ(again.FrameRate()->currentText(), "29.97");
    EXPECT_EQ(again.Channel()->currentText(), "Mono");
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST(MpegOptionsDialogTest, CustomSizesMustBeEvenAndWithinTheEncodersRange) {
    MessageBoxRecorder boxes;
    for (auto [width, height] : {std::pair{401, 300}, std::pair{14, 300}, std::pair{400, 4096}, std::pair{0, 0}}) {
        MpegChoice choice;
        MpegOptionsDialog dialog(choice);
        Select(dialog.OutputSize(), "Custom Size");
        dialog.WidthEdit()->setText(QString::number(width));
        dialog.HeightEdit()->setText(QString::number(height));
        dialog.OnOK();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << width << "x" << height;
        EXPECT_FALSE(choice.confirmed);
    }
    EXPECT_EQ(boxes.Calls().size(), 4u);
    MpegChoice choice;
    MpegOptionsDialog dialog(choice);
    Select(dialog.OutputSize(), "Custom Size");
    dialog.WidthEdit()->setText("16");
    dialog.HeightEdit()->setText("4094");
    dialog.OnOK();
    EXPECT_TRUE(choice.confirmed);
    EXPECT_EQ(WholeFrameRate("23.976"), 23);
    EXPECT_EQ(WholeFrameRate("59.94"), 59);
}

TEST(WmvProfileDialogTest, CustomWithoutAFileStaysOpenAndTheChoiceReopens) {
    MessageBoxRecorder boxes;
    FileDialogRecorder files;
    DeviceWmvChoice choice;
    {
        WmvProfileDialog dialog(choice, "/prog");
        EXPECT_EQ(dialog.Profiles()->itemText(20).toStdString(),
                  "1920x1080 Window Media Video/Audio 9 (Full HD Quality)");
        EXPECT_FALSE(dialog.Browse()->isEnabled());
        files.Cancel();
        Select(dialog.Type(), "Custom Profile");  // opens Browse... at once
        ASSERT_EQ(files.Requests().size(), 1u);
        EXPECT_EQ(files.Requests()[0].title, "Please select a custom WMV profile:");
        EXPECT_EQ(files.Requests()[0].filter, "WMV Profile(*.prx)|*.prx||");
        EXPECT_EQ(files.Requests()[0].initialFolder, "/prog/WMVFiles");
        EXPECT_FALSE(dialog.Profiles()->isEnabled());
        dialog.OnOK();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(boxes.Calls().size(), 1u);
        EXPECT_EQ(boxes.Calls()[0].text, kNoCustomProfileText);
        EXPECT_EQ(boxes.Calls()[0].caption, "Error");
        EXPECT_EQ(boxes.Calls()[0].Icon(), MB_ICONEXCLAMATION);
        files.Answer("/mine/own.prx");
        dialog.Browse()->click();
        dialog.OnOK();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(WmvProfilePath(choice, "/prog"), "/mine/own.prx");
    WmvProfileDialog again(choice, "/prog");
    EXPECT_EQ(again.Type()->currentIndex(), 1);
    EXPECT_EQ(again.CustomPath()->text(), "/mine/own.prx");
    EXPECT_EQ(files.Requests().size(), 2u);  // reopening with a path browses not
    choice.type = 0;
    choice.index = 19;
    EXPECT_EQ(WmvProfilePath(choice, "/prog"), "/prog/WMVFiles/1280x1024.prx");
}

using DeviceAviDialogTest = PageFixture;

TEST_F(DeviceAviDialogTest, ListsTheControlsCompressorsAndPreselectsPcmAndXvid) {
    Page();
    const std::vector<std::string> video = Lumicor().VideoCompressors().Names();
    SessionAviOptions options;
    DeviceAviDialog dialog(options, Lumicor());
    ASSERT_EQ(dialog.VideoList()->count(), static_cast<int>(video.size()));
    for (size_t i = 0; i < video.size(); ++i) EXPECT_EQ(dialog.VideoList()->itemText(static_cast<int>(i)).toStdString(), video[i]);
    EXPECT_EQ(dialog.VideoList()->currentText(), "Xvid MPEG-4 Codec");
    // The last name holding "pcm" wins.
    EXPECT_EQ(dialog.AudioList()->currentText(), "Microsoft ADPCM");
    EXPECT_FALSE(dialog.UseVideo()->isChecked());
    EXPECT_FALSE(dialog.VideoList()->isEnabled());
    EXPECT_FALSE(dialog.VideoSetting()->isEnabled());
    EXPECT_FALSE(dialog.AudioList()->isEnabled());
    EXPECT_TRUE(dialog.FrameRates()->isHidden());
    EXPECT_EQ(dialog.FrameRates()->currentText(), "25");
    dialog.UseVideo()->click();
    EXPECT_TRUE(dialog.VideoSetting()->isEnabled());
    // Every installed compressor has its configuration page (with no screen it closes at once).
    Select(dialog.VideoList(), "Huffyuv");
    dialog.VideoSetting()->click();
    EXPECT_TRUE(boxes_.Calls().empty());
    // A name the control no longer lists has none.
    dialog.VideoList()->addItem(QStringLiteral("Gone Codec"));
    Select(dialog.VideoList(), "Gone Codec");
    dialog.VideoSetting()->click();
    ASSERT_EQ(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, "This compressor has no property page.");
    Select(dialog.VideoList(), "Huffyuv");
    dialog.OnOK();
    EXPECT_TRUE(options.set);
    EXPECT_EQ(options.videoCompressor, "Huffyuv");
    EXPECT_TRUE(options.useVideo);
    EXPECT_FALSE(options.useAudio);

    DeviceAviDialog again(options, Lumicor());
    EXPECT_EQ(again.VideoList()->currentText(), "Huffyuv");
    EXPECT_TRUE(again.UseVideo()->isChecked());
    EXPECT_FALSE(again.UseAudio()->isChecked());
}

}  // namespace
}  // namespace page_testing
