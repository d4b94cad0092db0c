// The screen recorder's output dialogs offscreen: what they restore from their sections, what
// Next stores and writes, and what it refuses.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/options/FlashOutputDialog.h"
#include "app/options/Mp3QualityDialog.h"
#include "app/options/ScreenAviDialog.h"
#include "app/pages/ScreenWmvDialog.h"
#include "platform/os/FileDialogRecorder.h"
#include "tests/app/pages/ScreenPageFixture.h"

namespace screen_page_test {
namespace {

class OutputDialogs : public testing::Test {
protected:
    void SetUp() override {
        IniStore::Instance().Clear();
        ASSERT_TRUE(IniStore::Instance().Load(
            (testing_support::TestEnvironment::Current().Dir() / "config.ini").string(), true));
        ResetRecords();
    }
    void TearDown() override { IniStore::Instance().Clear(); }
    IniStore& Store() { return IniStore::Instance(); }
    MessageBoxRecorder boxes_;
};

TEST_F(OutputDialogs, FlvRestoresCustomBitrateCustomSizeAndALowRatesBitrates) {
    Store().WriteBool(kFlvDialog, "flvIsChange", true);
    Store().WriteInt(kFlvDialog, "flvbrgv", 1000);
    Store().WriteInt(kFlvDialog, "flvwgv", 800);
    Store().WriteInt(kFlvDialog, "flvhgv", 600);
    Store().WriteInt(kFlvDialog, "flvsrgv", 22050);
    Store().WriteInt(kFlvDialog, "flvabgv", 320);
    Store().WriteInt(kFlvDialog, "flvchgv", 1);
    FlashOutputDialog dialog(kFlvDialogTitle, kFlvKeys, ScreenFlvOptions());
    EXPECT_EQ(dialog.windowTitle(), "FLV Output Settings:");
    EXPECT_EQ(dialog.VideoBitrateList()->currentText(), "Custom Bitrate");
    EXPECT_EQ(dialog.BitrateEdit()->text(), "1000");
    EXPECT_TRUE(dialog.BitrateEdit()->isEnabled());
    EXPECT_EQ(dialog.SizeList()->currentText(), "Custom Size");
    EXPECT_EQ(dialog.WidthEdit()->text(), "800");
    EXPECT_EQ(dialog.HeightEdit()->text(), "600");
    EXPECT_EQ(dialog.SampleRateList()->currentText(), "22050");
    EXPECT_EQ(dialog.AudioBitrateList()->count(), 6);
    EXPECT_EQ(dialog.AudioBitrateList()->currentText(), "128") << "320 is not offered at 22050 Hz";
    EXPECT_EQ(dialog.ChannelList()->currentText(), "Mono");

    // A listed bitrate fills the edit and locks it; another rate rebuilds the bitrates at 128.
    dialog.VideoBitrateList()->setCurrentIndex(1);
    EXPECT_EQ(dialog.BitrateEdit()->text(), "500");
    EXPECT_FALSE(dialog.BitrateEdit()->isEnabled());
    dialog.SampleRateList()->setCurrentIndex(2);
    EXPECT_EQ(dialog.AudioBitrateList()->count(), 10);
    dialog.AudioBitrateList()->setCurrentIndex(9);
    ASSERT_TRUE(dialog.OnNext());
    EXPECT_EQ(Store().GetInt(kFlvDialog, "flvbrgv", 0), 500);
    EXPECT_EQ(Store().GetInt(kFlvDialog, "flvsrgv", 0), 44100);
    EXPECT_EQ(Store().GetInt(kFlvDialog, "flvabgv", 0), 320);
    EXPECT_EQ(Store().GetInt(kFlvDialog, "flvwgv", 0), 800);
    EXPECT_EQ(Store().GetInt(kFlvDialog, "flvchgv", 0), 1);
    EXPECT_TRUE(boxes_.Calls().empty());
}

TEST_F(OutputDialogs, SwfStartsWithItsDefaultsAndRefusesACustomBitrateThatIsNoNumber) {
    FlashOutputDialog dialog(kSwfDialogTitle, kSwfKeys, ScreenSwfChoice());
    EXPECT_EQ(dialog.VideoBitrateList()->currentText(), "1500 kbps");
    EXPECT_EQ(dialog.BitrateEdit()->text(), "1500");
    EXPECT_FALSE(dialog.BitrateEdit()->isEnabled());
    EXPECT_EQ(dialog.SampleRateList()->currentText(), "44100");
    EXPECT_EQ(dialog.AudioBitrateList()->currentText(), "128");
    EXPECT_EQ(dialog.SizeList()->currentText(), "320*240");
    dialog.VideoBitrateList()->setCurrentIndex(8);
    EXPECT_TRUE(dialog.BitrateEdit()->isEnabled());
    for (const char* wrong : {"abc", "0", "-5", ""}) {
        dialog.BitrateEdit()->setText(QString::fromUtf8(wrong));
        EXPECT_FALSE(dialog.OnNext()) << wrong;
    }
    ASSERT_EQ(boxes_.Calls().size(), 4u);
    EXPECT_EQ(boxes_.Calls()[0].text, kInvalidNumberText);
    EXPECT_FALSE(Store().GetBool(kSwfDialog, "SwfIsChange", false)) << "nothing stored";
    dialog.BitrateEdit()->setText("1200");
    ASSERT_TRUE(dialog.OnNext());
    EXPECT_EQ(Store().GetInt(kSwfDialog, "swfbrgv", 0), 1200);
    EXPECT_TRUE(Store().GetBool(kSwfDialog, "SwfIsChange", false));

    // Reopened: the stored 1200 is a custom bitrate.
    FlashOutputDialog again(kSwfDialogTitle, kSwfKeys, ScreenSwfChoice());
    EXPECT_EQ(again.VideoBitrateList()->currentText(), "Custom Bitrate");
    EXPECT_EQ(again.BitrateEdit()->text(), "1200");
}

TEST_F(OutputDialogs, WmvCustomWithoutAFileSaysSoAndStays) {
    ModalDialogAnswerer answerer;
    FileDialogRecorder files;
    ScreenWmvDialog dialog({"Screen profile A", "Screen profile B"}, "/opt/orvanta", ScreenWmvChoice());
    EXPECT_EQ(dialog.TypeList()->currentText(), "Advanced Profile");
    EXPECT_EQ(dialog.AdvancedList()->count(), 15);
    EXPECT_EQ(dialog.AdvancedList()->currentText(), "640x480 Window Media Video/Audio 9 (High Quality)");
    EXPECT_EQ(dialog.DefaultList()->currentText(), "Screen profile A");
    EXPECT_FALSE(dialog.DefaultList()->isEnabled());
    dialog.TypeList()->setCurrentIndex(2);
    EXPECT_FALSE(dialog.AdvancedList()->isEnabled());
    EXPECT_TRUE(dialog.CustomEdit()->isEnabled());
    EXPECT_FALSE(dialog.OnNext());
    ASSERT_EQ(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, kNoCustomProfileText);
    EXPECT_EQ(boxes_.Calls()[0].caption, "Error");
    EXPECT_FALSE(Store().GetBool(kWmvDialog, "WmvIsChange", false));

    files.Answer("/home/me/mine.prx");
    dialog.OnBrowse();
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].title, "Please select a custom WMV profile:");
    EXPECT_EQ(files.Requests()[0].filter, "WMV Profile(*.prx)|*.prx||");
    EXPECT_EQ(files.Requests()[0].initialFolder, "/opt/orvanta/WMVFiles");
    ASSERT_TRUE(dialog.OnNext());
    EXPECT_EQ(Store().GetString(kWmvDialog, "wmvc", ""), "/home/me/mine.prx");
    EXPECT_EQ(Store().GetInt(kWmvDialog, "wmvselg", -1), 2);
    EXPECT_EQ(WmvChoiceFile(ScreenWmvChoice(), "/opt/orvanta"), "/home/me/mine.prx");
}

TEST_F(OutputDialogs, WmvRestoresItsChoiceAndChecksStoredIndexesAgainstTheLists) {
    Store().WriteBool(kWmvDialog, "WmvIsChange", true);
    Store().WriteInt(kWmvDialog, "wmvselg", 1);
    Store().WriteInt(kWmvDialog, "wmvaselg", 14);
    Store().WriteInt(kWmvDialog, "wmvdselg", 7);  // the control lists two
    ScreenWmvDialog dialog({"Screen profile A", "Screen profile B"}, "/opt/orvanta", ScreenWmvChoice());
    EXPECT_EQ(dialog.AdvancedList()->currentIndex(), 14);
    EXPECT_EQ(dialog.DefaultList()->currentIndex(), 0);
    ASSERT_TRUE(dialog.OnNext());
    EXPECT_EQ(WmvChoiceFile(ScreenWmvChoice(), "/opt/orvanta"), "/opt/orvanta/WMVFiles/1280x1024.prx");
    EXPECT_EQ(Store().GetInt(kWmvDialog, "wmvdselg", -1), 0);
    WmvChoice fallback;
    fallback.type = 1;
    fallback.advancedIndex = 15;
    EXPECT_EQ(WmvChoiceFile(fallback, "/opt/orvanta"), "") << "no file past the list";
}

TEST(Mp3Quality, EntriesGiveTheirRates) {
    EXPECT_EQ(Mp3QualityOf(0).kbps, 128);
    EXPECT_EQ(Mp3QualityOf(1).kbps, 320);
    EXPECT_EQ(Mp3QualityOf(8).kbps, 96);
    EXPECT_EQ(Mp3QualityOf(9).hertz, 22050);
    EXPECT_EQ(Mp3QualityOf(12).kbps, 40);
    EXPECT_EQ(Mp3QualityOf(14).kbps, 24);
    EXPECT_EQ(Mp3QualityOf(14).hertz, 11025);
    EXPECT_EQ(Mp3QualityOf(15).kbps, 128);
    EXPECT_EQ(Mp3QualityOf(-1).hertz, 44100);
}

// The AVI dialog lists the codecs of a real screen capture control.
class ScreenAviDialogTest : public OutputDialogs {
protected:
    void SetUp() override {
        OutputDialogs::SetUp();
        RegisterModule(testing_support::DistDir() / "system" / "Pavisse.so");
        RegisterModule(testing_support::DistDir() / "system" / "Scrivel.so");
    }
};

TEST_F(ScreenAviDialogTest, PreselectsMp3AndVideo1ThenTheStoredChoiceWins) {
    ScreenAviDialog first(ScreenAviOptions());
    ASSERT_GT(first.AudioList()->count(), 0);
    ASSERT_GT(first.VideoList()->count(), 0);
    EXPECT_TRUE(first.AudioList()->currentText().toLower().contains("mpeg layer-3")) << first.AudioList()->currentText().toStdString();
    EXPECT_EQ(first.VideoList()->currentText(), "Microsoft Video 1");
    EXPECT_TRUE(first.UseAudio()->isChecked());
    EXPECT_TRUE(first.UseVideo()->isChecked());
    EXPECT_TRUE(first.AudioSetting()->isEnabled());
    first.UseVideo()->setChecked(false);
    EXPECT_FALSE(first.VideoList()->isEnabled());
    EXPECT_FALSE(first.VideoSetting()->isEnabled());
    first.AudioList()->setCurrentIndex(0);
    first.OnNext();
    EXPECT_TRUE(Store().GetBool(kAviDialog, "AviIsChange", false));
    EXPECT_FALSE(Store().GetBool(kAviDialog, "IsSetAviVideo", true));
    EXPECT_EQ(Store().GetInt(kAviDialog, "AviAudio", -1), 0);

    ScreenAviDialog second(ScreenAviOptions());
    EXPECT_EQ(second.AudioList()->currentIndex(), 0);
    EXPECT_FALSE(second.UseVideo()->isChecked());

    // An index saved with other codecs installed, past today's list: the automatic choice.
    Store().WriteInt(kAviDialog, "AviVideo", 500);
    ScreenAviDialog third(ScreenAviOptions());
    EXPECT_EQ(third.VideoList()->currentText(), "Microsoft Video 1");
}

TEST_F(ScreenAviDialogTest, AudioSettingOpensTheMp3QualityWhichWritesItsKey) {
    ModalDialogAnswerer answerer;
    answerer.Answer(kMp3DialogTitle, [](QDialog& dialog) {
        auto& mp3 = static_cast<Mp3QualityDialog&>(dialog);
        EXPECT_EQ(mp3.QualityList()->count(), 15);
        mp3.QualityList()->setCurrentIndex(9);
        mp3.OnOk();
        return int(QDialog::Accepted);
    });
    ScreenAviDialog dialog(ScreenAviOptions());
    const int mp3 = dialog.AudioList()->findText("MPEG Layer-3");
    ASSERT_GE(mp3, 0);
    dialog.AudioList()->setCurrentIndex(mp3);
    dialog.OnAudioSetting();
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(Store().GetInt(kAviDialog, "AviMp3Mode", -1), 9);
    EXPECT_EQ(ScreenAviOptions().mp3Mode, 9);

    // Any other audio codec has no page of its own.
    const int other = mp3 == 0 ? 1 : 0;
    if (dialog.AudioList()->count() > 1) {
        dialog.AudioList()->setCurrentIndex(other);
        dialog.OnAudioSetting();
        ASSERT_EQ(boxes_.Calls().size(), 1u);
        EXPECT_EQ(boxes_.Calls()[0].text, kNoPropertyPageText);
    }
}

}  // namespace
}  // namespace screen_page_test
