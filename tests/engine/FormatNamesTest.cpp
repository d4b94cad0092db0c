// The names of subtypes, FourCCs, fixed sizes and connectors.
#include "engine/FormatNames.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/dshow/Uuids.h"

namespace {

TEST(FormatNames, ScalableListNamesFollowTheirTable) {
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_YUY2), "YUY2");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_RGB24), "RGB24");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_ARGB32), "ARGB32");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_IF09), "IF09");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_CPLA), "CPLA");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_Overlay), "Overlay");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_QTRpza), "QTRpza");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_QTSmc), "QTSmc");  // "smc " with its blank
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_QTRle), "QTRle");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_MPEG1Payload), "MPEG1Payload");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_VPVBI), "VPVBI");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_I420), "I420");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_YV12), "YV12");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_Plum), "Plum");  // case kept
    // Not in the table: the NV12 FourCC, a GUID of another family, GUID_NULL.
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_NV12), "Unknown");
    EXPECT_STREQ(ScalableSubtypeName(MEDIASUBTYPE_Avi), "Unknown");
    EXPECT_STREQ(ScalableSubtypeName(GUID_NULL), "Unknown");
    // A FourCC subtype matches only with the standard tail.
    Guid oddTail = MEDIASUBTYPE_YUY2;
    oddTail.data4[7] ^= 1;
    EXPECT_STREQ(ScalableSubtypeName(oddTail), "Unknown");
}

TEST(FormatNames, FixedCapsNamesShareNamesWhereTheTableDoes) {
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_RGB555), "RGB555");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_Overlay), "HARDWARE OVERLAY");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_QTMovie), "QUICKTIME COMPRESSION");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_Y411), "YUV 411");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_Y211), "YUV 211");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_VPVBI), "VBI");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_CLJR), "Cirrus Logic YUV 411");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_IF09), "YVU9");
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_CPLA), "UYVY");
    for (const Guid& mjpeg : {MEDIASUBTYPE_MJPG, MEDIASUBTYPE_TVMJ, MEDIASUBTYPE_WAKE, MEDIASUBTYPE_CFCC,
                              MEDIASUBTYPE_IJPG, MEDIASUBTYPE_Plum})
        EXPECT_STREQ(FixedSubtypeName(mjpeg), "MJPG") << mjpeg.ToString();
    EXPECT_STREQ(FixedSubtypeName(MEDIASUBTYPE_I420), "UNKNOWN");  // only the scalable table has it
    EXPECT_STREQ(FixedSubtypeName(GUID_NULL), "UNKNOWN");

    // The format dialog names only the RGB part.
    EXPECT_EQ(RgbSubtypeName(MEDIASUBTYPE_RGB1), "RGB1");
    EXPECT_EQ(RgbSubtypeName(MEDIASUBTYPE_RGB32), "RGB32");
    EXPECT_EQ(RgbSubtypeName(MEDIASUBTYPE_ARGB32), "ARGB32");
    EXPECT_EQ(RgbSubtypeName(MEDIASUBTYPE_Overlay), "");
    EXPECT_EQ(RgbSubtypeName(MEDIASUBTYPE_YUY2), "");
}

TEST(FormatNames, FourCCReadsInMemoryOrder) {
    EXPECT_EQ(FourCCName(0x32595559), "YUY2");  // bytes 59 55 59 32
    EXPECT_EQ(FourCCName(Guid::FourCC('M', 'J', 'P', 'G')), "MJPG");
    EXPECT_EQ(FourCCName(Guid::FourCC('d', 'v', 's', 'd')), "dvsd");
    EXPECT_EQ(FourCCName(Guid::FourCC('s', 'm', 'c', ' ')), "smc ");
    // A zero byte ends the name as it would end a C string.
    EXPECT_EQ(FourCCName(0x00003234), "42");
    EXPECT_EQ(FourCCName(0x41004142), "BA");
    EXPECT_EQ(FourCCName(0), "");
}

TEST(FormatNames, FixedSizesAndTheirSuffixes) {
    ASSERT_EQ(kFixedFormatSizes.size(), 15u);
    EXPECT_EQ(kFixedFormatSizes.front().width, 160);
    EXPECT_EQ(kFixedFormatSizes.front().height, 120);
    EXPECT_EQ(kFixedFormatSizes[3].width, 240);
    EXPECT_EQ(kFixedFormatSizes[3].height, 180);
    EXPECT_EQ(kFixedFormatSizes[10].width, 704);
    EXPECT_EQ(kFixedFormatSizes.back().width, 720);
    EXPECT_EQ(kFixedFormatSizes.back().height, 576);
    std::set<std::pair<int, int>> distinct;
    for (const auto& s : kFixedFormatSizes) distinct.insert({s.width, s.height});
    EXPECT_EQ(distinct.size(), 15u);

    EXPECT_EQ(FixedSizeSuffix(kFixedFormatSizes[0]), " (160x120)");
    EXPECT_EQ(FixedSizeSuffix(kFixedFormatSizes[14]), " (720x576)");
    EXPECT_EQ(SizeText(1920, 1080), "(1920x1080)");
    EXPECT_EQ(SizeText(-1, 0), "(-1x0)");
}

TEST(FormatNames, ConnectorNames) {
    EXPECT_STREQ(CrossbarConnectorName(1), "Video Tuner");
    EXPECT_STREQ(CrossbarConnectorName(3), "S-Video");
    EXPECT_STREQ(CrossbarConnectorName(5), "Video YRYBY");
    EXPECT_STREQ(CrossbarConnectorName(13), "Video Encoder");
    EXPECT_STREQ(CrossbarConnectorName(4096), "Audio Tuner");
    EXPECT_STREQ(CrossbarConnectorName(4099), "Audio AES/EBU Digital");
    EXPECT_STREQ(CrossbarConnectorName(4100), "Audio S/PDIF");
    EXPECT_STREQ(CrossbarConnectorName(4105), "Audio Decoder");
    EXPECT_STREQ(CrossbarConnectorName(0), "Unknown Type");
    EXPECT_STREQ(CrossbarConnectorName(14), "Unknown Type");
    EXPECT_STREQ(CrossbarConnectorName(4106), "Unknown Type");
}

}  // namespace
