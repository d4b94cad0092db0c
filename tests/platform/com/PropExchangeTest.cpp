#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/com/PropExchange.h"

namespace {

// The persisted state of a control, one member of every exchanged type.
struct Settings {
    int16_t device = 0;
    int16_t frameRate = 15;
    int32_t bitrate = 4600000;
    BOOL captureAudio = TRUE;
    BOOL tvMute = FALSE;
    std::string fileName;
    std::string fontName = "Arial";
    OLE_COLOR textColor = 255;
    float zoom = 1.0f;
    double level = 0.5;
    DWORD loadedVersion = 0;

    void Exchange(PropExchange& px) {
        px.ExchangeVersion(PropExchange::MakeVersion(1, 0));
        loadedVersion = px.GetVersion();
        px.Short("Device", device, 0);
        px.Short("FrameRate", frameRate, 15);
        px.Long("MPEGVideoBitrate", bitrate, 4600000);
        px.Bool("CaptureAudio", captureAudio, TRUE);
        px.Bool("TVMute", tvMute, FALSE);
        px.String("Filename", fileName, "");
        px.String("TextFontName", fontName, "Arial");
        px.Color("TextColor", textColor, 255);
        px.Float("Zoom", zoom, 1.0f);
        px.Double("Level", level, 0.5);
    }
    bool operator==(const Settings&) const = default;
};

Settings Changed() {
    Settings s;
    s.device = -3;
    s.frameRate = 30;
    s.bitrate = -2000000000;
    s.captureAudio = FALSE;
    s.tvMute = TRUE;
    s.fileName = "/home/u/capture \xC3\xA9t\xC3\xA9.avi";
    s.fontName = "";
    s.textColor = 0x80000005;
    s.zoom = 2.75f;
    s.level = -1e-300;
    return s;
}

std::vector<uint8_t> SaveOf(Settings s) {
    return PropExchange::Save([&](PropExchange& px) { s.Exchange(px); });
}

HRESULT LoadInto(Settings& s, const std::vector<uint8_t>& bytes) {
    return PropExchange::Load(bytes.data(), bytes.size(),
                              [&](PropExchange& px) { s.Exchange(px); });
}

// The bag's checksum, so that tests can damage the inside of a bag and still get past it.
uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

void Reseal(std::vector<uint8_t>& bytes) {
    uint32_t crc = Crc32(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
}

}  // namespace

TEST(PropExchange, EveryValueTypeSurvivesARoundTrip) {
    Settings saved = Changed();
    std::vector<uint8_t> bytes = SaveOf(saved);
    Settings loaded;
    loaded.device = 99;
    ASSERT_EQ(LoadInto(loaded, bytes), S_OK);
    EXPECT_EQ(loaded.device, saved.device);
    EXPECT_EQ(loaded.bitrate, saved.bitrate);
    EXPECT_EQ(loaded.tvMute, TRUE);
    EXPECT_EQ(loaded.fileName, saved.fileName);
    EXPECT_EQ(loaded.fontName, "");  // an empty string is a value, not a missing key
    EXPECT_EQ(loaded.textColor, 0x80000005u);
    EXPECT_EQ(loaded.zoom, 2.75f);
    EXPECT_EQ(loaded.level, -1e-300);
    saved.loadedVersion = PropExchange::MakeVersion(1, 0);
    EXPECT_EQ(loaded, saved);

    // A BOOL is stored as a boolean: any non-zero value comes back TRUE.
    Settings odd;
    odd.captureAudio = 5;
    Settings back;
    ASSERT_EQ(LoadInto(back, SaveOf(odd)), S_OK);
    EXPECT_EQ(back.captureAudio, TRUE);
}

TEST(PropExchange, TheVersionComesFirstAndIsRead) {
    PropExchange saving;
    Settings().Exchange(saving);
    ASSERT_FALSE(saving.IsLoading());
    const auto& entries = saving.Bag().Entries();
    ASSERT_EQ(entries.size(), 11u);
    EXPECT_EQ(entries[0].first, "_Version");
    EXPECT_EQ(entries[0].second, Variant(uint32_t{0x00010000}));
    // Keys in the order the exchange names them.
    EXPECT_EQ(entries[1].first, "Device");
    EXPECT_EQ(entries[6].first, "Filename");
    EXPECT_EQ(entries[10].first, "Level");
    EXPECT_EQ(PropExchange::MajorOf(0x00020003), 2);
    EXPECT_EQ(PropExchange::MinorOf(0x00020003), 3);

    // A store made by a later version tells the loader so.
    PropertyBag bag;
    ASSERT_EQ(bag.Write("_Version", Variant(PropExchange::MakeVersion(2, 3))), S_OK);
    PropExchange loading(bag);
    ASSERT_TRUE(loading.IsLoading());
    Settings s;
    s.Exchange(loading);
    EXPECT_EQ(s.loadedVersion, PropExchange::MakeVersion(2, 3));
}

TEST(PropExchange, MissingKeysLoadTheirDefaults) {
    Settings s = Changed();
    PropExchange::InitNew([&](PropExchange& px) { s.Exchange(px); });
    Settings defaults;
    defaults.loadedVersion = PropExchange::MakeVersion(1, 0);
    EXPECT_EQ(s, defaults);

    PropertyBag partial;
    partial.Write("device", Variant(int16_t{7}));  // keys compare without regard to case
    partial.Write("TextFontName", Variant("Courier"));
    partial.Write("Unknown", Variant(1));  // a key no one asks for is ignored
    Settings loaded = Changed();
    std::vector<uint8_t> bytes = partial.Serialize();
    ASSERT_EQ(LoadInto(loaded, bytes), S_OK);
    Settings expected;
    expected.device = 7;
    expected.fontName = "Courier";
    expected.loadedVersion = PropExchange::MakeVersion(1, 0);
    EXPECT_EQ(loaded, expected);
}

TEST(PropExchange, StoredValuesConvertToTheAskedType) {
    PropertyBag bag;
    bag.Write("Device", Variant(300));               // a long where a short is asked
    bag.Write("FrameRate", Variant(70000));          // too big for a short: the default
    bag.Write("MPEGVideoBitrate", Variant(" 12 "));  // text that reads as a number
    bag.Write("CaptureAudio", Variant(int16_t{0}));
    bag.Write("TextColor", Variant(static_cast<int32_t>(0x80000012u)));
    bag.Write("Zoom", Variant("wide"));  // does not read as a number: the default
    Settings s = Changed();
    PropExchange px(bag);
    s.Exchange(px);
    EXPECT_EQ(s.device, 300);
    EXPECT_EQ(s.frameRate, 15);
    EXPECT_EQ(s.bitrate, 12);
    EXPECT_EQ(s.captureAudio, FALSE);
    EXPECT_EQ(s.textColor, 0x80000012u);
    EXPECT_EQ(s.zoom, 1.0f);

    int16_t value = 5;
    EXPECT_TRUE(px.Short("Device", value, 0));
    EXPECT_FALSE(px.Short("FrameRate", value, 4));
    EXPECT_EQ(value, 4);
}

TEST(PropExchange, BytesAreDeterministicAndParseBack) {
    EXPECT_EQ(SaveOf(Changed()), SaveOf(Changed()));
    EXPECT_NE(SaveOf(Changed()), SaveOf(Settings()));
    const std::vector<uint8_t> bytes = SaveOf(Changed());
    PropertyBag bag;
    ASSERT_EQ(PropertyBag::Parse(bytes.data(), bytes.size(), &bag), S_OK);
    EXPECT_EQ(bag.Serialize(), bytes);
    EXPECT_EQ(*bag.Read("TVMUTE"), Variant(true));

    // Writing a key again replaces its value where it stands.
    PropertyBag order;
    order.Write("A", Variant(1));
    order.Write("B", Variant(2));
    order.Write("a", Variant(3));
    ASSERT_EQ(order.Size(), 2u);
    EXPECT_EQ(order.Entries()[0].first, "A");
    EXPECT_EQ(order.Entries()[0].second, Variant(3));

    EXPECT_EQ(order.Write("", Variant(1)), E_INVALIDARG);
    EXPECT_EQ(order.Write(std::string(70000, 'k'), Variant(1)), E_INVALIDARG);
    EXPECT_EQ(order.Write("Obj", Variant::MakeDispatch(nullptr)), E_INVALIDARG);
    EXPECT_EQ(order.Write("Big", Variant(int64_t{1})), E_INVALIDARG);
    EXPECT_EQ(order.Size(), 2u);
}

TEST(PropExchange, DamagedBytesFailAndLeaveTheControlAlone) {
    const std::vector<uint8_t> good = SaveOf(Changed());
    const Settings before;
    auto expectRefused = [&](const std::vector<uint8_t>& bytes, const char* what) {
        Settings s = before;
        HRESULT hr = LoadInto(s, bytes);
        EXPECT_TRUE(hr == STG_E_INVALIDHEADER || hr == STG_E_DOCFILECORRUPT)
            << what << " 0x" << std::hex << hr;
        EXPECT_EQ(s, before) << what;
    };

    expectRefused({}, "empty");
    for (size_t length = 0; length < good.size(); ++length) {
        expectRefused(
            std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(length)),
            "cut short");
    }
    for (size_t i = 0; i < good.size(); ++i) {
        std::vector<uint8_t> flipped = good;
        flipped[i] ^= 0x10;
        expectRefused(flipped, "one byte changed");
    }
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    expectRefused(longer, "a byte appended");

    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[0] = 'X';
    Settings s;
    EXPECT_EQ(LoadInto(s, wrongMagic), STG_E_INVALIDHEADER);
    std::vector<uint8_t> laterFormat = good;
    laterFormat[4] = 2;
    Reseal(laterFormat);
    EXPECT_EQ(LoadInto(s, laterFormat), STG_E_INVALIDHEADER);

    // Damage inside a bag whose checksum still matches.
    std::vector<uint8_t> moreEntries = good;
    moreEntries[6] = static_cast<uint8_t>(moreEntries[6] + 1);
    Reseal(moreEntries);
    EXPECT_EQ(LoadInto(s, moreEntries), STG_E_DOCFILECORRUPT);
    std::vector<uint8_t> hugeCount = good;
    hugeCount[9] = 0x7F;
    Reseal(hugeCount);
    EXPECT_EQ(LoadInto(s, hugeCount), STG_E_DOCFILECORRUPT);

    PropertyBag oneBool;
    oneBool.Write("B", Variant(true));
    std::vector<uint8_t> badBool = oneBool.Serialize();
    badBool[badBool.size() - 5] = 2;  // a boolean is 0 or 1
    Reseal(badBool);
    EXPECT_EQ(LoadInto(s, badBool), STG_E_DOCFILECORRUPT);

    PropertyBag pair;
    pair.Write("K", Variant(1));
    pair.Write("L", Variant(2));
    std::vector<uint8_t> twice = pair.Serialize();
    auto second = std::find(twice.begin() + 20, twice.end(), 'L');
    ASSERT_NE(second, twice.end());
    *second = 'k';  // the same key twice
    Reseal(twice);
    EXPECT_EQ(LoadInto(s, twice), STG_E_DOCFILECORRUPT);

    PropertyBag text;
    text.Write("S", Variant("abc"));
    std::vector<uint8_t> badLength = text.Serialize();
    badLength[10 + 2 + 2 + 1 + 3] = 0xFF;  // the string's length claims more than is there
    Reseal(badLength);
    EXPECT_EQ(LoadInto(s, badLength), STG_E_DOCFILECORRUPT);
}

TEST(PropExchange, RandomBytesNeverLoad) {
    std::mt19937 random(20240607);
    const std::vector<uint8_t> good = SaveOf(Changed());
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes;
        if (round % 2 == 0) {
            bytes.resize(random() % 200);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
            if (bytes.size() >= 4 && round % 4 == 0) std::copy_n("OPRB", 4, bytes.begin());
        } else {
            // Damage inside a well-formed bag, resealed so that parsing goes deep.
            bytes = good;
            for (int k = 0; k < 3; ++k)
                bytes[10 + random() % (bytes.size() - 14)] = static_cast<uint8_t>(random());
            Reseal(bytes);
        }
        PropertyBag bag;
        HRESULT hr = PropertyBag::Parse(bytes.data(), bytes.size(), &bag);
        // Resealed damage may still be a valid bag; then it must give back exactly these bytes.
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(bag.Serialize(), bytes);
        } else {
            EXPECT_TRUE(bag.IsEmpty());
        }
    }
}
