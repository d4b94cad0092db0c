#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/com/Guid.h"

TEST(Guid, ParsesAndPrintsBothForms) {
    constexpr Guid lamina = MakeGuid("{2A249D65-5AE0-402F-A973-32C5BE45C87C}");
    EXPECT_EQ(lamina.data1, 0x2A249D65u);
    EXPECT_EQ(lamina.data2, 0x5AE0);
    EXPECT_EQ(lamina.data3, 0x402F);
    EXPECT_EQ(lamina.data4[0], 0xA9);
    EXPECT_EQ(lamina.data4[7], 0x7C);
    EXPECT_EQ(lamina.ToString(), "{2A249D65-5AE0-402F-A973-32C5BE45C87C}");
    EXPECT_EQ(Guid::Parse("2a249d65-5ae0-402f-a973-32c5be45c87c"), lamina);
}

TEST(Guid, RejectsMalformedText) {
    for (const char* bad : {"", "{}", "{2A249D65-5AE0-402F-A973-32C5BE45C87}", "{2A249D65-5AE0-402F-A973-32C5BE45C87C",
                            "2A249D65-5AE0-402F-A97332C5BE45C87CX", "{2A249D65_5AE0-402F-A973-32C5BE45C87C}",
                            "{2A249D65-5AE0-402F-A973-32C5BE45C8ZC}"}) {
        EXPECT_FALSE(Guid::Parse(bad).has_value()) << bad;
    }
}

TEST(Guid, SubtypeFromFourCCMatchesTheStandardLayout) {
    // MEDIASUBTYPE_YUY2 is {32595559-0000-0010-8000-00AA00389B71}.
    Guid yuy2 = Guid::FromFourCC(Guid::FourCC('Y', 'U', 'Y', '2'));
    EXPECT_EQ(yuy2, MakeGuid("{32595559-0000-0010-8000-00AA00389B71}"));
}

TEST(Guid, HashAndOrderDistinguishEveryField) {
    std::unordered_set<Guid> set;
    Guid base = MakeGuid("{00000000-0000-0000-0000-000000000000}");
    set.insert(base);
    for (int i = 0; i < 8; ++i) {
        Guid g = base;
        g.data4[i] = 1;
        EXPECT_TRUE(set.insert(g).second);
        EXPECT_LT(base, g);
    }
    EXPECT_TRUE(base.IsNull());
}
