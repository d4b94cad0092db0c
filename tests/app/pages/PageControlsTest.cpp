// The page's lists and buttons besides recording: the TV card's channels, Mute TV, the device
// and audio device changes, Size +/-, "?" and a restart restoring the selections.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/outside/CLumicor.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/support/StderrCapture.h"

namespace page_testing {
namespace {

using PageControlsTest = PageFixture;

// The devices log their routes and tuning at debug level: the card's own view of what the page did.
class CardControlsTest : public PageFixture {
protected:
    void SetUp() override {
        // Read by each module's log at its first call, so before the control is loaded.
        setenv("ORVANTA_LOG", "devices=debug", 1);
        PageFixture::SetUp();
    }
    void TearDown() override {
        PageFixture::TearDown();
        unsetenv("ORVANTA_LOG");
    }
};

// The last thing the card's log said about its audio decoder's route, or about tuning.
std::string LastLineWith(const std::string& log, const std::string& part) {
    std::istringstream lines(log);
    std::string line, last;
    while (std::getline(lines, line))
        if (line.find(part) != std::string::npos) last = line;
    return last;
}

std::vector<std::string> Texts(const QComboBox* list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i) texts.push_back(list->itemText(i).toStdString());
    return texts;
}

// A camera and a TV card with channels that have a signal and one without.
constexpr char kCardDevices[] = R"json({"devices": [
  {"name": "Orvanta Virtual Camera", "kind": "video",
   "capture": [{"format": "RGB24", "width": 320, "height": 240, "frameRate": 30}], "preview": "capture"},
  {"name": "Orvanta Virtual Capture Card", "kind": "video",
   "capture": [
     {"format": "YUY2", "width": 720, "height": 576, "frameRate": 25},
     {"format": "YUY2", "width": 720, "height": 480, "frameRate": 29.97},
     {"format": "RGB24", "width": 640, "height": 480, "frameRate": 25},
     {"format": "RGB24", "width": 320, "height": 240, "frameRate": 25}],
   "preview": "capture",
   "crossbar": {
     "inputs": ["Video Tuner", "Video Composite", "S-Video", "Audio Tuner", "Audio Line"],
     "outputs": ["Video Decoder", "Audio Decoder"],
     "routes": [1, 4]},
   "tuner": {"modes": ["tv"], "countryCode": 1, "inputConnections": 1,
             "tvFormats": ["PAL_B"], "tvFormat": "PAL_B", "channelMin": 2, "channelMax": 13,
             "channels": [{"number": 3, "signal": "yes"}, {"number": 5, "signal": "yes"},
                          {"number": 7, "signal": "no"}, {"number": 9, "signal": "yes"}]}},
  {"name": "Orvanta Virtual Microphone", "kind": "audio",
   "lines": [{"name": "Microphone", "enabled": true}],
   "sampleRate": 44100, "channels": 2, "bitsPerSample": 16, "toneHz": 440}
]})json";

TEST_F(CardControlsTest, OnTheCaptureCardTheScanListsChannelsWithSignalAndTheButtonsTuneThem) {
    const fs::path devices = dir_ / "devices.json";
    std::ofstream(devices) << kCardDevices;
    setenv("ORVANTA_DEVICES", devices.c_str(), 1);
    testing_support::StderrCapture log(dir_ / "stderr.log");
    VideoCapturePage& page = Page();
    Select(page.DeviceList(), "Orvanta Virtual Capture Card");
    // The card's own formats and inputs replace the camera's.
    EXPECT_EQ(page.FormatList()->count(), 4);
    EXPECT_GT(page.InputList()->count(), 0);
    EXPECT_EQ(Settings().captureDevice, "2");
    RunEvents(300);
    page.Button("Scan TV Channels")->click();
    ASSERT_GE(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text,
              "Scanning TV channals will take some minutes, please be patient, press 'OK' to start.");
    // Channel 7 has no signal and is left out.
    EXPECT_EQ(Texts(page.ChannelList()), (std::vector<std::string>{"3", "5", "9"}));
    EXPECT_EQ(page.ChannelList()->currentIndex(), 0);
    EXPECT_EQ(Lumicor().GetChannel(), 3);
    // Tuning a channel turns the sound on, and the box shows it.
    EXPECT_FALSE(Lumicor().GetTVMute());
    EXPECT_FALSE(page.Check("Mute TV (if exist)")->isChecked());

    // The tuner itself, not only the control's property, follows the buttons.
    const std::string tuned = "Orvanta Virtual Capture Card: tuned to channel ";
    page.Button("TV CH+")->click();
    EXPECT_EQ(Lumicor().GetChannel(), 5);
    EXPECT_THAT(LastLineWith(log.Text(), tuned), testing::EndsWith(tuned + "5"));
    page.Button("TV CH+")->click();
    page.Button("TV CH+")->click();  // at the end of the list: stays
    EXPECT_EQ(Lumicor().GetChannel(), 9);
    EXPECT_THAT(LastLineWith(log.Text(), tuned), testing::EndsWith(tuned + "9"));
    page.Button("TV CH-")->click();
    EXPECT_EQ(Lumicor().GetChannel(), 5);
    page.ChannelList()->setCurrentIndex(0);
    page.Button("TV CH-")->click();  // at the start: stays
    EXPECT_EQ(Lumicor().GetChannel(), 3);
    EXPECT_THAT(LastLineWith(log.Text(), tuned), testing::EndsWith(tuned + "3"));

    // Mute TV takes the audio decoder's input away at the card's crossbar and gives it back.
    const std::string audioRoute = "crossbar output 1 (Audio Decoder) takes ";
    EXPECT_THAT(LastLineWith(log.Text(), audioRoute), testing::HasSubstr(audioRoute + "input "));
    page.Check("Mute TV (if exist)")->click();
    EXPECT_TRUE(Lumicor().GetTVMute());
    EXPECT_THAT(LastLineWith(log.Text(), audioRoute), testing::EndsWith(audioRoute + "no input"));
    page.Check("Mute TV (if exist)")->click();
    EXPECT_FALSE(Lumicor().GetTVMute());
    EXPECT_THAT(LastLineWith(log.Text(), audioRoute), testing::HasSubstr(audioRoute + "input "));
    unsetenv("ORVANTA_DEVICES");
}

TEST_F(PageControlsTest, ScanningWithoutATunerSaysSo) {
    VideoCapturePage& page = Page();
    ASSERT_EQ(page.DeviceList()->currentText().toStdString(), "Orvanta Virtual Camera");
    RunEvents(300);
    page.OnScanTvChannels();
    ASSERT_EQ(boxes_.Calls().size(), 2u);
    EXPECT_EQ(boxes_.Calls()[1].text, "TV Turner Card can't be found in your system, operation will be cancelled.");
    EXPECT_EQ(page.ChannelList()->count(), 0);
}

TEST_F(PageControlsTest, InitialisationFillsTheListsAndPrefersTheMixInput) {
    // The overlay saved last time is the one drawn from the start.
    OverlaySettings saved;
    saved.text = "Saved text";
    saved.dateFormat = 4;
    ASSERT_TRUE(WriteOverlaySettings(IniStore::Instance(), saved));
    VideoCapturePage& page = Page();
    EXPECT_EQ(Overlay().text, "Saved text");
    EXPECT_EQ(Overlay().dateFormat, 4);
    EXPECT_EQ(Texts(page.DeviceList()),
              (std::vector<std::string>{"Orvanta Virtual Camera", "Orvanta Virtual Capture Card"}));
    EXPECT_EQ(page.AudioDeviceList()->currentText().toStdString(), "Orvanta Virtual Microphone");
    EXPECT_EQ(page.AudioPinList()->currentText().toStdString(), "Stereo Mix");
    for (const char* box : {"Show Preview when Capture", "Capture Video", "Capture Audio", "Mute TV (if exist)",
                            "Add Text/Image"})
        EXPECT_TRUE(page.Check(box)->isChecked()) << box;
    EXPECT_TRUE(Lumicor().GetTVMute());
    EXPECT_FALSE(page.Button("Stop")->isEnabled());
    EXPECT_TRUE(page.Timer()->isActive());
    EXPECT_EQ(page.Timer()->interval(), 1000);
    EXPECT_EQ(Overlay().imagePath, (program_ / "logo/sample1.bmp").string());
    // Changing the audio device lists that device's pins again and remembers it.
    page.AudioDeviceList()->setCurrentIndex(0);
    page.OnAudioDeviceChanged();
    EXPECT_EQ(page.AudioPinList()->currentText().toStdString(), "Stereo Mix");
    EXPECT_EQ(Settings().audioDevice, "1");
}

TEST_F(PageControlsTest, ARestartRestoresTheSelections) {
    {
        VideoCapturePage& page = Page();
        Select(page.DeviceList(), "Orvanta Virtual Capture Card");
        Select(page.FormatList(), "RGB24 (320x240)");
        page_.reset();
    }
    const fs::path file = dir_ / "settings.ini";
    ASSERT_TRUE(WriteSettings(file.string(), Settings()));
    Settings() = DeviceSettings();
    ASSERT_TRUE(ReadSettings(file.string(), Settings()));
    VideoCapturePage& again = Page();
    EXPECT_EQ(again.DeviceList()->currentText().toStdString(), "Orvanta Virtual Capture Card");
    EXPECT_EQ(again.FormatList()->currentText().toStdString(), "RGB24 (320x240)");
    EXPECT_EQ(Lumicor().GetDevice(), 1);
    EXPECT_EQ(Lumicor().GetVideoFormat(), 3);
}

TEST_F(PageControlsTest, SizeTogglesAnEnlargedPreviewThatFillsThePage) {
    VideoCapturePage& page = Page();
    page.show();
    const QRect normal = page.ControlHost()->geometry();
    page.Button("Size +/-")->click();
    EXPECT_TRUE(page.Enlarged());
    EXPECT_TRUE(page.DeviceList()->isHidden());
    EXPECT_TRUE(page.Button("Capture")->isHidden());
    for (const char* text : {"TV CH+", "Size +/-", "TV CH-"}) {
        EXPECT_FALSE(page.Button(text)->isHidden()) << text;
        EXPECT_EQ(page.Button(text)->y(), 0) << text;
    }
    EXPECT_GT(page.ControlHost()->width(), normal.width());
    EXPECT_GT(page.ControlHost()->height(), normal.height());
    EXPECT_GE(page.ControlHost()->width(), page.width() - 8);
    page.Button("Size +/-")->click();
    EXPECT_FALSE(page.Enlarged());
    EXPECT_FALSE(page.DeviceList()->isHidden());
    EXPECT_EQ(page.ControlHost()->geometry(), normal);
}

TEST_F(PageControlsTest, TheQuestionMarkExplainsSlowVideo) {
    Page().Button("?")->click();
    ASSERT_EQ(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].caption, "Video speed is too slow?");
    EXPECT_EQ(boxes_.Calls()[0].text,
              "Some USB Web Cam which has microphone feature will\nslow down the video speed when capture the "
              "audio.\nIf this problem occurs, press the 'Preview' button\nagain until the video speed becomes "
              "normal.");
}

}  // namespace
}  // namespace page_testing
