#include <gtest/gtest.h>

#include "platform/dshow/MediaType.h"

TEST(MediaType, CopiesOwnTheirFormatBlock) {
    AM_MEDIA_TYPE a = MakeVideoType(MEDIASUBTYPE_RGB24, 320, 240, UNITS / 25);
    AM_MEDIA_TYPE b = a;
    ASSERT_NE(a.pbFormat(), b.pbFormat());
    EXPECT_TRUE(a == b);
    b.VideoInfo()->bmiHeader.biWidth = 321;
    EXPECT_EQ(a.VideoInfo()->bmiHeader.biWidth, 320);
    EXPECT_FALSE(a == b);

    AM_MEDIA_TYPE moved = std::move(b);
    EXPECT_EQ(moved.VideoInfo()->bmiHeader.biWidth, 321);
    FreeMediaType(moved);
    EXPECT_EQ(moved.cbFormat(), 0u);
    EXPECT_EQ(moved.VideoInfo(), nullptr);
}

TEST(MediaType, FormatBlocksAreReadOnlyThroughTheirFormatType) {
    AM_MEDIA_TYPE audio = MakePcmAudioType(44100, 2, 16);
    EXPECT_EQ(audio.VideoInfo(), nullptr);
    ASSERT_NE(audio.WaveFormat(), nullptr);
    EXPECT_EQ(audio.WaveFormat()->nBlockAlign, 4);
    EXPECT_EQ(audio.WaveFormat()->nAvgBytesPerSec, 176400u);
    // A block too short for its format type is not handed out.
    AM_MEDIA_TYPE shortBlock = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
    shortBlock.SetFormat(nullptr, 40);
    EXPECT_EQ(shortBlock.VideoInfo(), nullptr);
}

TEST(MediaType, PatternsMatchOnTheirNonNullFields) {
    AM_MEDIA_TYPE rgb = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48);
    EXPECT_TRUE(MediaTypeMatches(rgb, AM_MEDIA_TYPE()));
    EXPECT_TRUE(MediaTypeMatches(rgb, MakePartialType(MEDIATYPE_Video)));
    EXPECT_TRUE(MediaTypeMatches(rgb, MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo)));
    EXPECT_FALSE(MediaTypeMatches(rgb, MakePartialType(MEDIATYPE_Audio)));
    EXPECT_FALSE(MediaTypeMatches(rgb, MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_YUY2)));
    // A pattern with a block must match the block too.
    EXPECT_TRUE(MediaTypeMatches(rgb, MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48)));
    EXPECT_FALSE(MediaTypeMatches(rgb, MakeVideoType(MEDIASUBTYPE_RGB24, 64, 50)));
    EXPECT_FALSE(IsFullySpecified(MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24)));
    EXPECT_TRUE(IsFullySpecified(rgb));
}

TEST(MediaType, ImageSizesFollowTheDibAndPlanarLayouts) {
    // RGB rows are padded to 4 bytes: 321 x 3 = 963 -> 964.
    AM_MEDIA_TYPE odd = MakeVideoType(MEDIASUBTYPE_RGB24, 321, 10);
    EXPECT_EQ(odd.VideoInfo()->bmiHeader.biSizeImage, 9640u);
    EXPECT_EQ(odd.lSampleSize, 9640u);
    EXPECT_EQ(MakeVideoType(MEDIASUBTYPE_RGB32, 640, 480).lSampleSize, 640u * 480 * 4);
    EXPECT_EQ(MakeVideoType(MEDIASUBTYPE_YUY2, 640, 480).lSampleSize, 640u * 480 * 2);
    // 4:2:0 with odd sizes rounds the chroma planes up.
    EXPECT_EQ(MakeVideoType(MEDIASUBTYPE_I420, 5, 3).lSampleSize, 15u + 2 * (3 * 2));
    AM_MEDIA_TYPE yuy2 = MakeVideoType(MEDIASUBTYPE_YUY2, 16, 16);
    EXPECT_EQ(yuy2.VideoInfo()->bmiHeader.biCompression, Guid::FourCC('Y', 'U', 'Y', '2'));
    EXPECT_EQ(yuy2.VideoInfo()->bmiHeader.biBitCount, 16);
    EXPECT_EQ(SubtypeOfBitmapHeader(yuy2.VideoInfo()->bmiHeader), MEDIASUBTYPE_YUY2);
    EXPECT_EQ(SubtypeOfBitmapHeader(odd.VideoInfo()->bmiHeader), MEDIASUBTYPE_RGB24);
}

TEST(MediaType, IdentifiersHaveTheirWindowsValues) {
    EXPECT_EQ(MEDIATYPE_Video.ToString(), "{73646976-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(MEDIASUBTYPE_YUY2.ToString(), "{32595559-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(MEDIASUBTYPE_MJPG.ToString(), "{47504A4D-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(MEDIASUBTYPE_QTSmc.ToString(), "{20636D73-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(MEDIASUBTYPE_PCM.ToString(), "{00000001-0000-0010-8000-00AA00389B71}");
}
