// The overlay record in "TextImg" and its "Advanced Settings" dialog: every key back after a
// restart, the enabling rules, OK's range checks and the BMP copy that Browse makes.
#include "app/options/OverlaySettingsDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/options/ColorButton.h"
#include "app/options/OverlayImage.h"
#include "platform/os/FileDialogRecorder.h"
#include "platform/os/MessageBoxRecorder.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

class OverlaySettingsTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = testing_support::TestEnvironment::Current().Dir();
        program_ = dir_ / "program";
        fs::create_directories(program_);
        IniStore::Instance().Clear();
        ASSERT_TRUE(IniStore::Instance().Load(Config(), true));
    }
    void TearDown() override { IniStore::Instance().Clear(); }
    std::string Config() const { return (dir_ / "config.ini").string(); }

    fs::path dir_;
    fs::path program_;
    MessageBoxRecorder boxes_;
    FileDialogRecorder files_;
};

TEST_F(OverlaySettingsTest, EveryKeyWrittenOnOkIsReadBackAfterARestart) {
    OverlaySettings settings;
    {
        OverlaySettingsDialog dialog(settings, IniStore::Instance(), program_.string());
        dialog.TextEdit()->setText("Hall camera");
        dialog.Number("TextX")->setText("12");
        dialog.Number("TextY")->setText("34");
        dialog.Number("FontSize")->setText("40");
        dialog.Number("DateX")->setText("5");
        dialog.Number("DateY")->setText("60");
        dialog.Number("DateSize")->setText("18");
        dialog.Number("ImageX")->setText("100");
        dialog.Number("ImageY")->setText("120");
        dialog.Number("ImageAlpha")->setText("40");
        dialog.TextStyle()->setCurrentIndex(3);
        dialog.TimeFormat()->setCurrentIndex(15);
        dialog.DateStyle()->setCurrentIndex(4);
        dialog.TextColour()->SetColour(RGB(1, 2, 3));
        dialog.DateColour()->SetColour(RGB(4, 5, 6));
        dialog.TransparentColour()->SetColour(RGB(7, 8, 9));
        dialog.DisplayText()->setChecked(false);
        dialog.DisplayTime()->setChecked(false);
        dialog.OverlayImage()->setChecked(true);
        dialog.OnOK();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    // Empty: the program's sample logo.
    EXPECT_EQ(settings.imagePath, (program_ / "logo/sample1.bmp").string());

    IniStore::Instance().Clear();
    ASSERT_TRUE(IniStore::Instance().Load(Config(), false));
    for (const char* key : {"IsdDate", "IsText", "IsImage", "Text", "ImagePath", "Font", "TextX", "TextY", "DateX",
                            "DateY", "ImageX", "ImageY", "FontSize", "DateSize", "ImageAlpha", "FontType",
                            "DateFormat", "DateType", "TextColor", "ImageTColor", "DateColor"})
        EXPECT_TRUE(IniStore::Instance().Entries().count(IniStore::CompositeKey("TextImg", key))) << key;
    EXPECT_EQ(IniStore::Instance().GetString("TextImg", "TextColor", ""), "1,2,3");
    OverlaySettings read;
    ReadOverlaySettings(IniStore::Instance(), read);
    EXPECT_EQ(read.text, "Hall camera");
    EXPECT_EQ(read.font, settings.font);
    EXPECT_EQ(read.textX, 12);
    EXPECT_EQ(read.textY, 34);
    EXPECT_EQ(read.fontSize, 40);
    EXPECT_EQ(read.dateX, 5);
    EXPECT_EQ(read.dateY, 60);
    EXPECT_EQ(read.dateSize, 18);
    EXPECT_EQ(read.imageX, 100);
    EXPECT_EQ(read.imageY, 120);
    EXPECT_EQ(read.imageAlpha, 40);
    EXPECT_EQ(read.fontType, 3);
    EXPECT_EQ(read.dateFormat, 15);
    EXPECT_EQ(read.dateType, 4);
    EXPECT_EQ(read.textColor, RGB(1, 2, 3));
    EXPECT_EQ(read.dateColor, RGB(4, 5, 6));
    EXPECT_EQ(read.imageTColor, RGB(7, 8, 9));
    EXPECT_FALSE(read.isText);
    EXPECT_FALSE(read.isDate);
    EXPECT_TRUE(read.isImage);
    EXPECT_EQ(read.imagePath, settings.imagePath);
}

TEST_F(OverlaySettingsTest, CheckBoxesEnableTheirControls) {
    OverlaySettings settings;
    OverlaySettingsDialog dialog(settings, IniStore::Instance(), program_.string());
    EXPECT_EQ(dialog.TimeFormat()->count(), 19);
    EXPECT_EQ(dialog.TimeFormat()->currentIndex(), 7);
    EXPECT_TRUE(dialog.TimeFormat()->isEnabled());
    EXPECT_FALSE(dialog.Browse()->isEnabled());  // the image is off at first
    dialog.DisplayTime()->click();
    for (QWidget* widget : {static_cast<QWidget*>(dialog.TimeFormat()), static_cast<QWidget*>(dialog.DateStyle()),
                            static_cast<QWidget*>(dialog.Number("DateX")), static_cast<QWidget*>(dialog.Number("DateY")),
                            static_cast<QWidget*>(dialog.Number("DateSize"))})
        EXPECT_FALSE(widget->isEnabled());
    EXPECT_TRUE(dialog.TextEdit()->isEnabled());
    dialog.DisplayText()->click();
    EXPECT_FALSE(dialog.TextEdit()->isEnabled());
    EXPECT_FALSE(dialog.FontList()->isEnabled());
    EXPECT_FALSE(dialog.Number("FontSize")->isEnabled());
    dialog.OverlayImage()->click();
    EXPECT_TRUE(dialog.Browse()->isEnabled());
    EXPECT_TRUE(dialog.Number("ImageAlpha")->isEnabled());
}

TEST_F(OverlaySettingsTest, ANumberOutOfRangeKeepsTheDialogOpenAndStoresNothing) {
    OverlaySettings settings;
    OverlaySettingsDialog dialog(settings, IniStore::Instance(), program_.string());
    dialog.TextEdit()->setText("changed");
    dialog.Number("ImageAlpha")->setText("101");
    dialog.OnOK();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, "Please enter an integer between 0 and 100.");
    EXPECT_EQ(settings.text, "My Video");
    EXPECT_TRUE(IniStore::Instance().Entries().empty());
    dialog.Number("ImageAlpha")->setText("100");
    dialog.Number("FontSize")->setText("0");
    dialog.OnOK();
    EXPECT_EQ(boxes_.Calls().back().text, "Please enter an integer between 1 and 1000.");
    dialog.Number("FontSize")->setText("1000");
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.text, "changed");
}

TEST_F(OverlaySettingsTest, BrowseKeepsTheLastFrameOfAMultiFrameTiffAsABmpCopy) {
    // Two frames: red, then blue with one white pixel at column 1 of the second row from the
    // bottom.
    const fs::path tiff = dir_ / "frames.tif";
    const std::string make = "convert -size 8x6 xc:red \\( -size 8x6 xc:blue -fill white -draw 'point 1,4' \\) '" +
                             tiff.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    OverlaySettings settings;
    OverlaySettingsDialog dialog(settings, IniStore::Instance(), program_.string());
    dialog.OverlayImage()->click();
    files_.Answer(tiff.string());
    dialog.Browse()->click();
    ASSERT_EQ(files_.Requests().size(), 1u);
    EXPECT_EQ(files_.Requests()[0].title, "Please select an overlay image:");
    EXPECT_EQ(files_.Requests()[0].initialFolder, (program_ / "logo").string());
    EXPECT_NE(files_.Requests()[0].filter.find("*.tif;*.TIF"), std::string::npos);
    const fs::path copy = program_ / "pictmp" / "frames.bmp";
    EXPECT_EQ(dialog.ImagePath()->text().toStdString(), copy.string());
    QImage bmp(QString::fromStdString(copy.string()), "BMP");
    ASSERT_FALSE(bmp.isNull());
    EXPECT_EQ(bmp.pixelColor(4, 1), QColor(Qt::blue));
    EXPECT_EQ(dialog.TransparentColour()->GetColour(), RGB(255, 255, 255));
}

TEST_F(OverlaySettingsTest, AlphaIsFlattenedOntoWhiteAndUnreadableChoicesEmptyThePath) {
    QImage clear(4, 4, QImage::Format_ARGB32);
    clear.fill(QColor(0, 0, 0, 0));
    clear.setPixelColor(1, 2, QColor(0, 255, 0, 255));
    const fs::path png = dir_ / "logo.PNG";
    ASSERT_TRUE(clear.save(QString::fromStdString(png.string()), "PNG"));
    std::optional<OverlayImageCopy> copy = MakeOverlayImageCopy(png.string(), program_.string());
    ASSERT_TRUE(copy);
    QImage bmp(QString::fromStdString(copy->bmpPath), "BMP");
    EXPECT_EQ(bmp.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(bmp.pixelColor(1, 2), QColor(0, 255, 0));
    EXPECT_EQ(copy->transparent, RGB(0, 255, 0));

    OverlaySettings settings;
    OverlaySettingsDialog dialog(settings, IniStore::Instance(), program_.string());
    dialog.OverlayImage()->click();
    const fs::path broken = dir_ / "broken.jpg";
    std::ofstream(broken) << "nothing";
    for (const std::string& file : {broken.string(), (dir_ / "noextension").string(), (dir_ / "x.doc").string()}) {
        dialog.ImagePath()->setText("before");
        files_.Answer(file);
        dialog.Browse()->click();
        EXPECT_TRUE(dialog.ImagePath()->text().isEmpty()) << file;
    }
}

}  // namespace
