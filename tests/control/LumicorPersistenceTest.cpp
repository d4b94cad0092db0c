// What a new control holds, what it stores and in which order, and what a stored one restores.
#include "control/LumicorIds.h"
#include "tests/control/LumicorTestSupport.h"

using namespace lumicor_test;

namespace {

// The persisted keys in the order containers store them.
const std::vector<std::string> kKeyOrder = {
    "Device", "AudioInputPin", "AudioDevice", "VideoFormat", "VideoInput", "WMVProfile", "FrameRate",
    "VideoCompressor", "Filename", "CaptureMode", "CaptureAudio", "AudioCompressor", "UseAudioCompressor",
    "UseVideoCompressor", "AspectRatio", "CountryCode", "Channel", "TVMute", "OutputWMV", "VideoStandard",
    "TextFontName", "TextFontBold", "TextFontItalic", "TextFontUnderline", "TextColor", "TextBgColor",
    "TextBgTransparent", "WMVCustomFileName", "TunerMode", "TunerInput", "TextFontSize", "BroadCast",
    "BroadCastPortNo", "MaxClients", "PublishingURL", "OutputType", "UseUserDefineVideoFormat",
    "MPEGAudioSampleRate", "MPEGAudioChannels", "MPEGVideoBitrate", "MPEGAudioBitrate", "MPEGWidth",
    "MPEGHeight", "MPEGFrameRate"};

using Persistence = HostedControl;

int64_t BagInt(const PropertyBag& bag, const char* key) {
    const Variant* v = bag.Read(key);
    EXPECT_TRUE(v) << key;
    if (!v) return 0;
    if (v->Type() == VT_BOOL) return v->Bool() ? 1 : 0;
    int64_t n = 0;
    EXPECT_TRUE(v->GetInteger(&n)) << key;
    return n;
}

}  // namespace

TEST_F(Persistence, ANewControlHasThePersistedDefaultsAndTheConstructorsInitialValues) {
    ASSERT_EQ(site->InitNew(), S_OK);
    const std::pair<DISPID, int64_t> expected[] = {
        {1, 0},         {2, 0},       {26, 0},      {28, 0},      {29, 0},       {42, 0},        {54, 0},
        {46, 15},       {69, 0},      {6, 0},       {27, 1},      {30, 0},       {31, 0},        {35, 1},
        {70, 0},        {44, 0},      {71, 224000}, {72, 4600000}, {73, 2},      {74, 44100},    {75, 320},
        {76, 240},      {77, 25},     {38, 1},      {39, 0},      {40, 0},       {45, 0},        {51, 0},
        {52, 0},        {47, 255},    {49, 8},      {68, 0},      {66, 8080},    {67, 3},
        // not persisted
        {33, 1},        {34, 1},      {57, 1},      {56, 1},      {62, 1},       {60, 12},       {63, 0},
        {64, 0},        {61, 0},      {36, 0}};
    for (auto [id, value] : expected) EXPECT_EQ(GetInt(id), value) << "DISPID " << id;
    EXPECT_EQ(GetText(7), "");
    EXPECT_EQ(GetText(48), "Arial");
    EXPECT_EQ(GetText(59), "Arial");
    EXPECT_EQ(GetText(50), "");
    EXPECT_EQ(GetText(65), "");
    // Types as containers read them.
    EXPECT_EQ(Get(1).Type(), VT_I2);
    EXPECT_EQ(Get(6).Type(), VT_BOOL);
    EXPECT_EQ(Get(71).Type(), VT_I4);
    EXPECT_FALSE(site->IsDirty());
}

TEST_F(Persistence, SaveWritesTheVersionThenEveryKeyInItsOrderThenTheFrameworksState) {
    ASSERT_EQ(site->InitNew(), S_OK);
    PropertyBag bag;
    ASSERT_EQ(site->Save(&bag), S_OK);
    const auto& entries = bag.Entries();
    ASSERT_EQ(entries.size(), kKeyOrder.size() + 3);
    EXPECT_EQ(entries[0].first, PropExchange::kVersionKey);
    EXPECT_EQ(BagInt(bag, PropExchange::kVersionKey), 0x10000);  // 1.0
    for (size_t i = 0; i < kKeyOrder.size(); ++i) EXPECT_EQ(entries[i + 1].first, kKeyOrder[i]) << i;
    EXPECT_EQ(entries[kKeyOrder.size() + 1].first, "_ExtentX");
    EXPECT_EQ(entries[kKeyOrder.size() + 2].first, "_ExtentY");
    // Value types: short, BOOL, long, colour, text.
    EXPECT_EQ(bag.Read("Device")->Type(), VT_I2);
    EXPECT_EQ(bag.Read("CaptureMode")->Type(), VT_BOOL);
    EXPECT_EQ(bag.Read("MPEGVideoBitrate")->Type(), VT_I4);
    EXPECT_EQ(bag.Read("TextColor")->Type(), VT_UI4);
    EXPECT_EQ(bag.Read("Filename")->Type(), VT_BSTR);
}

TEST_F(Persistence, SaveAndLoadRestoreEveryKeyIncludingTheOnesNoPropertyShows) {
    ASSERT_EQ(site->InitNew(), S_OK);
    const std::pair<DISPID, int32_t> shorts[] = {{1, 3},  {54, 2},  {26, 4},  {2, 5},   {42, 6},  {44, 7},
                                                 {46, 30}, {28, 8},  {29, 9},  {38, 44}, {39, 12}, {45, 2},
                                                 {51, 1},  {52, 1},  {49, 20}, {66, 9090}, {67, 9}, {70, 3},
                                                 {73, 1},  {75, 640}, {76, 480}, {77, 30}};
    for (auto [id, value] : shorts) Put(id, Variant(static_cast<int16_t>(value)));
    for (DISPID id : {6, 30, 31, 40, 68, 69}) Put(id, Variant(true));
    for (DISPID id : {27, 35}) Put(id, Variant(false));
    Put(71, Variant(int32_t{128000}));
    Put(72, Variant(int32_t{2000000}));
    Put(74, Variant(int32_t{22050}));
    Put(47, Variant(int32_t{0x00FF00}));
    Put(7, Variant("/tmp/out file.avi"));
    Put(48, Variant("DejaVu Sans"));
    Put(50, Variant("/tmp/custom.prx"));
    Put(65, Variant("http://127.0.0.1:8080/"));
    EXPECT_TRUE(site->IsDirty());

    PropertyBag bag;
    ASSERT_EQ(site->Save(&bag), S_OK);
    EXPECT_FALSE(site->IsDirty());
    EXPECT_EQ(bag.Read("Filename")->Bstr(), "/tmp/out file.avi");
    EXPECT_EQ(bag.Read("CaptureFileName"), nullptr);
    // The keys no property exposes travel through the bag unchanged.
    bag.Write("OutputWMV", Variant(true));
    bag.Write("TextFontBold", Variant(true));
    bag.Write("TextFontItalic", Variant(true));
    bag.Write("TextFontUnderline", Variant(true));
    bag.Write("TextBgColor", Variant(uint32_t{0x123456}));
    bag.Write("TextBgTransparent", Variant(true));

    site->Destroy();
    events.clear();
    site = ControlSite::Create(&container);
    ComPtr<IUnknown> object;
    ASSERT_EQ(CreateLumicorCtrl(IID_IUnknown, object.ReleaseAndGetVoidAddress()), S_OK);
    ASSERT_EQ(site->AttachControl(object.Get()), S_OK);
    control.Attach(site->Control());
    ASSERT_EQ(site->Load(bag), S_OK);

    for (auto [id, value] : shorts) EXPECT_EQ(GetInt(id), value) << "DISPID " << id;
    for (DISPID id : {6, 30, 31, 40, 68, 69}) EXPECT_EQ(GetInt(id), 1) << id;
    for (DISPID id : {27, 35}) EXPECT_EQ(GetInt(id), 0) << id;
    EXPECT_EQ(GetInt(71), 128000);
    EXPECT_EQ(GetInt(72), 2000000);
    EXPECT_EQ(GetInt(74), 22050);
    EXPECT_EQ(GetInt(47), 0x00FF00);
    EXPECT_EQ(GetText(7), "/tmp/out file.avi");
    EXPECT_EQ(GetText(48), "DejaVu Sans");
    EXPECT_EQ(GetText(50), "/tmp/custom.prx");
    EXPECT_EQ(GetText(65), "http://127.0.0.1:8080/");

    PropertyBag again;
    ASSERT_EQ(site->Save(&again), S_OK);
    for (const char* key : {"OutputWMV", "TextFontBold", "TextFontItalic", "TextFontUnderline", "TextBgTransparent"})
        EXPECT_EQ(BagInt(again, key), 1) << key;
    EXPECT_EQ(BagInt(again, "TextBgColor"), 0x123456);
    // Everything else is what was loaded.
    for (const auto& [key, value] : bag.Entries()) {
        const Variant* saved = again.Read(key);
        ASSERT_TRUE(saved) << key;
        EXPECT_EQ(*saved, value) << key;
    }
}

TEST_F(Persistence, ALoadedStoreLackingKeysGivesTheirDefaults) {
    PropertyBag bag;
    bag.Write("FrameRate", Variant(int16_t{5}));
    ASSERT_EQ(site->Load(bag), S_OK);
    EXPECT_EQ(GetInt(46), 5);
    EXPECT_EQ(GetInt(38), 1);
    EXPECT_EQ(GetInt(66), 8080);
    EXPECT_EQ(GetInt(27), 1);
    EXPECT_EQ(GetText(48), "Arial");
}
