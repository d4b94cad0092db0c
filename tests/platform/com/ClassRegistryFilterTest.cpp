#include <gtest/gtest.h>

#include "platform/com/FilterRegistration.h"
#include "platform/os/RegistryStore.h"

namespace {

constexpr Guid kVideo = MakeGuid("{73646976-0000-0010-8000-00AA00389B71}");
constexpr Guid kCaptureCategory = MakeGuid("{FB6C4281-0353-11D1-905F-0000C0CC16BA}");
constexpr CLSID kCustomCategory = MakeGuid("{4C1E0B6A-0000-4000-8000-0000000000CA}");

FilterRegistration Filter(uint32_t id, const char* name, DWORD merit) {
    FilterRegistration filter;
    filter.clsid = Guid{0x4C1E0B6A, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(id)}};
    filter.friendlyName = name;
    filter.merit = merit;
    filter.pins = {
        {"In", 0, "Out", GUID_NULL, {{kVideo, GUID_NULL}, {GUID_NULL, GUID_NULL}}},
        {"Out",
         REG_PINFLAG_B_OUTPUT | REG_PINFLAG_B_MANY,
         "In",
         kCaptureCategory,
         {{kVideo, Guid::FromFourCC(1)}}},
        {"Render\xC3\xA9", REG_PINFLAG_B_RENDERER | REG_PINFLAG_B_ZERO, "", GUID_NULL, {}},
    };
    return filter;
}

}  // namespace

TEST(ClassRegistryFilter, FilterDataRoundTripsAndRefusesEveryDamagedForm) {
    FilterRegistration filter = Filter(1, "Sample", MERIT_NORMAL);
    std::vector<uint8_t> data = EncodeFilterData(filter.merit, filter.pins);
    // The documented layout: version, merit, pin count, then the first pin's flags.
    ASSERT_GE(data.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 16),
              (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0x60, 0, 3, 0, 0, 0, 0, 0, 0, 0}));

    DWORD merit = 0;
    std::vector<FilterPinRegistration> pins;
    ASSERT_TRUE(DecodeFilterData(data, merit, pins));
    EXPECT_EQ(merit, MERIT_NORMAL);
    EXPECT_EQ(pins, filter.pins);

    // Every truncation, a byte too many, another version and counts the bytes cannot hold.
    for (size_t length = 0; length < data.size(); ++length) {
        EXPECT_FALSE(DecodeFilterData(std::span(data.data(), length), merit, pins)) << length;
    }
    std::vector<uint8_t> longer = data;
    longer.push_back(0);
    EXPECT_FALSE(DecodeFilterData(longer, merit, pins));
    std::vector<uint8_t> version = data;
    version[0] = 2;
    EXPECT_FALSE(DecodeFilterData(version, merit, pins));
    std::vector<uint8_t> manyPins = data;
    manyPins[8] = manyPins[9] = manyPins[10] = manyPins[11] = 0xFF;
    EXPECT_FALSE(DecodeFilterData(manyPins, merit, pins));
    std::vector<uint8_t> longName = data;
    longName[16] = longName[17] = longName[18] = longName[19] = 0xFF;  // first pin's name length
    EXPECT_FALSE(DecodeFilterData(longName, merit, pins));
    // A failed decode leaves the caller's pins as they were.
    EXPECT_EQ(pins, filter.pins);
}

TEST(ClassRegistryFilter, RegisteredFiltersAreListedByMerit) {
    ASSERT_EQ(RegisterFilter(Filter(1, "Unlikely", MERIT_UNLIKELY)), S_OK);
    ASSERT_EQ(RegisterFilter(Filter(2, "Preferred", MERIT_PREFERRED)), S_OK);
    ASSERT_EQ(RegisterFilter(Filter(3, "Never", MERIT_DO_NOT_USE)), S_OK);
    ASSERT_EQ(RegisterFilter(Filter(4, "Also Preferred", MERIT_PREFERRED)), S_OK);
    ASSERT_EQ(RegisterFilter(Filter(5, "Elsewhere", MERIT_PREFERRED), kCustomCategory), S_OK);

    RegistryStore store = RegistryStore::Default();
    const std::string key = "CLSID\\" + CLSID_LegacyAmFilterCategory.ToString() + "\\Instance\\" +
                            Filter(2, "", 0).clsid.ToString();
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, key, "FriendlyName"), "Preferred");
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, key, "CLSID"), Filter(2, "", 0).clsid.ToString());
    EXPECT_TRUE(store.GetBinary(HKEY_CLASSES_ROOT, key, "FilterData"));

    std::vector<std::string> names;
    for (const FilterRegistration& filter : EnumRegisteredFilters())
        names.push_back(filter.friendlyName);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Also Preferred", "Preferred", "Unlikely", "Never"}));
    std::vector<FilterRegistration> usable =
        EnumRegisteredFilters(CLSID_LegacyAmFilterCategory, MERIT_UNLIKELY);
    ASSERT_EQ(usable.size(), 3u);
    EXPECT_EQ(usable[2], Filter(1, "Unlikely", MERIT_UNLIKELY));
    ASSERT_EQ(EnumRegisteredFilters(kCustomCategory).size(), 1u);

    // Entries that cannot be read are left out rather than guessed at.
    ASSERT_EQ(store.SetBinary(HKEY_CLASSES_ROOT, key, "FilterData", {1, 2, 3}), S_OK);
    EXPECT_EQ(EnumRegisteredFilters().size(), 3u);

    ASSERT_EQ(UnregisterFilter(Filter(1, "", 0).clsid), S_OK);
    ASSERT_EQ(UnregisterFilter(Filter(1, "", 0).clsid), S_OK);
    EXPECT_EQ(EnumRegisteredFilters().size(), 2u);
    EXPECT_EQ(RegisterFilter(FilterRegistration{}), E_INVALIDARG);
}
