#include "app/outside/CLumicor.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <algorithm>

#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

namespace {

// The real capture control from the program folder, registered in this test's registry and
// hosted as the program hosts it.
class CLumicorTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "Grabwell.so"), "");
        container_.resize(320, 240);
        ASSERT_EQ(control_.Create(&container_), S_OK);
    }

    QWidget container_;
    CLumicor control_;
};

TEST_F(CLumicorTest, ReadsCollectionsAndFindsNamesExactly) {
    LumicorCollection devices = control_.Devices();
    const std::vector<std::string> names = devices.Names();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(devices.Count(), static_cast<int>(names.size()));
    auto card = std::find(names.begin(), names.end(), "Orvanta Virtual Capture Card");
    ASSERT_NE(card, names.end());
    EXPECT_EQ(devices.Find(*card), card - names.begin());
    EXPECT_EQ(devices.Find("Orvanta Virtual"), -1);
    EXPECT_EQ(devices.Find("orvanta virtual capture card"), -1);
    EXPECT_EQ(devices.Name(-1), "");
    EXPECT_EQ(devices.Name(devices.Count()), "");
    // The control's own look-up answers 0 for a name it does not hold.
    Variant found;
    ASSERT_EQ(devices.Driver().Call(2, {Variant("no such device")}, &found), S_OK);
    EXPECT_EQ(found.Deref().I2(), 0);

    EXPECT_GT(control_.AudioDevices().Count(), 0);
    EXPECT_GT(control_.VideoCompressors().Count(), 0);
    LumicorCollection formats = control_.VideoFormats();
    ASSERT_GT(formats.Count(), 0);
    EXPECT_GT(control_.VideoFormatWidth(0), 0);
    EXPECT_GT(control_.VideoFormatHeight(0), 0);
    EXPECT_EQ(control_.VideoFormatWidth(formats.Count()), -1);
    EXPECT_EQ(control_.WMVProfiles().Find("no such profile"), -1);
}

TEST_F(CLumicorTest, PropertiesRoundTripThroughTheirDispids) {
    EXPECT_EQ(control_.GetFrameRate(), 15);
    control_.SetFrameRate(25);
    EXPECT_EQ(control_.GetFrameRate(), 25);
    control_.SetDevice(1);
    EXPECT_EQ(control_.GetDevice(), 1);
    control_.SetCaptureFileName("/tmp/x.avi");
    EXPECT_EQ(control_.GetCaptureFileName(), "/tmp/x.avi");
    control_.SetCaptureMode(TRUE);
    EXPECT_TRUE(control_.GetCaptureMode());
    control_.SetCaptureFileName("");
    EXPECT_EQ(control_.Start(), -2);  // recording without a file name
    EXPECT_EQ(control_.GetVideoCompressorName(-1), "");
    EXPECT_EQ(control_.GetConnectedIP(0), "");
}

TEST(CLumicorWithoutControlTest, CallsGiveNeutralValues) {
    CLumicor none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Devices().Count(), 0);
    EXPECT_EQ(none.Devices().Find("x"), -1);
    EXPECT_EQ(none.Start(), -1);
    EXPECT_EQ(none.GetCaptureFileName(), "");
    QWidget container;
    // Not registered in this test's registry.
    EXPECT_TRUE(FAILED(none.Create(&container)));
    EXPECT_FALSE(none);
}

}  // namespace
