// The control's dispatch interface as containers see it: each id with its type, coercion of the
// values that arrive, and the lists (the compressor names equal the device capture control's).
#include <QWidget>

#include "platform/com/ControlSite.h"
#include "tests/components/scrivel/ScrivelTestSupport.h"

namespace scrivel_test {
namespace {

struct Member {
    DISPID id;
    VARTYPE type;
};

// Every property of the contract with the type it answers in.
constexpr Member kProperties[] = {
    {1, VT_I2},  {2, VT_DISPATCH}, {3, VT_BSTR},  {4, VT_BOOL}, {5, VT_BOOL}, {6, VT_I2},  {7, VT_BOOL},
    {8, VT_DISPATCH}, {9, VT_I2},  {10, VT_DISPATCH}, {11, VT_BSTR}, {12, VT_I2}, {13, VT_I2}, {15, VT_BOOL},
    {16, VT_I2}, {17, VT_DISPATCH}, {18, VT_I2}, {19, VT_I2}, {20, VT_DISPATCH}, {22, VT_I4}, {23, VT_I4},
    {24, VT_I4}, {25, VT_I2}, {26, VT_I2}, {27, VT_I4}, {28, VT_I4}, {29, VT_I4}, {30, VT_I4}, {31, VT_I4},
    {32, VT_I4}, {33, VT_I2}, {34, VT_I2}, {35, VT_R8}, {36, VT_I2}, {37, VT_I4},
};

class ScrivelInterface : public ::testing::Test {
protected:
    void SetUp() override { RegisterScreenModules(); }
};

TEST_F(ScrivelInterface, EveryPropertyAnswersWithItsTypeAndCoercesWhatArrives) {
    DispatchDriver d = CreateScrivel();
    for (const Member& m : kProperties) {
        Variant value;
        ASSERT_EQ(d.GetProperty(m.id, &value), S_OK) << "id " << m.id;
        EXPECT_EQ(value.Type(), m.type) << "id " << m.id;
    }
    // Containers pass what they have: texts and doubles become the declared types.
    ASSERT_EQ(d.PutProperty(16, Variant("25")), S_OK);
    ASSERT_EQ(d.PutProperty(28, Variant(2.0)), S_OK);
    ASSERT_EQ(d.PutProperty(35, Variant(int32_t{1})), S_OK);
    ASSERT_EQ(d.PutProperty(15, Variant(int32_t{0})), S_OK);
    Variant v;
    d.GetProperty(16, &v);
    EXPECT_EQ(v.Type(), VT_I2);
    EXPECT_EQ(v.I2(), 25);
    d.GetProperty(28, &v);
    EXPECT_EQ(v.I4(), 2);
    d.GetProperty(35, &v);
    EXPECT_EQ(v.R8(), 1.0);
    d.GetProperty(15, &v);
    EXPECT_EQ(v.Bool(), VARIANT_FALSE);
    EXPECT_NE(d.PutProperty(12, Variant("wide")), S_OK);
    // The volume stays within 0..1.
    ASSERT_EQ(d.PutProperty(35, Variant(3.5)), S_OK);
    d.GetProperty(35, &v);
    EXPECT_EQ(v.R8(), 1.0);
}

TEST_F(ScrivelInterface, MethodsAnswerAndTheListsFindNames) {
    DispatchDriver d = CreateScrivel();
    for (DISPID id : {41, 45, 46}) EXPECT_EQ(d.Call(id, {}, nullptr), S_OK) << "id " << id;
    EXPECT_EQ(d.Call(49, {Variant("1"), Variant(int16_t{2}), Variant(int32_t{30}), Variant(40.0)}, nullptr), S_OK);

    const std::vector<std::string> devices = ListNames(d, 20);
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices.back(), "Orvanta Virtual Microphone");
    Variant ok;
    ASSERT_EQ(d.Call(44, {Variant(static_cast<int16_t>(devices.size() - 1))}, &ok), S_OK);
    EXPECT_EQ(ok.Bool(), VARIANT_TRUE);
    const std::vector<std::string> pins = ListNames(d, 17);
    EXPECT_EQ(pins, (std::vector<std::string>{"Microphone", "Line In", "CD Audio", "Stereo Mix"}));
    ASSERT_EQ(d.Call(44, {Variant(int16_t{99})}, &ok), S_OK);
    EXPECT_EQ(ok.Bool(), VARIANT_FALSE);

    EXPECT_FALSE(ListNames(d, 10).empty());
    Variant list;
    ASSERT_EQ(d.GetProperty(8, &list), S_OK);
    DispatchDriver audio(ComPtr<IDispatch>(list.Dispatch()));
    Variant index;
    audio.Call(3, {Variant("MPEG Layer-3")}, &index);
    const std::vector<std::string> names = ListNames(d, 8);
    ASSERT_GE(index.I2(), 0);
    EXPECT_EQ(names[static_cast<size_t>(index.I2())], "MPEG Layer-3");
    audio.Call(3, {Variant("no such compressor")}, &index);
    EXPECT_EQ(index.I2(), -1);
    // No audio compressor has a dialog; a video entry past the end has none either.
    Variant shown;
    audio.Call(4, {Variant(index.I2())}, &shown);
    EXPECT_EQ(shown.Bool(), VARIANT_FALSE);
}

TEST_F(ScrivelInterface, CompressorListsEqualTheCaptureControls) {
    RegisterModule(testing_support::DistDir() / "Grabwell.so");
    QWidget container;
    ComPtr<ControlSite> site = ControlSite::Create(&container);
    ASSERT_EQ(site->CreateControl(MakeGuid("{E01CA1FE-309C-498D-B3B4-B16E0AB964DD}")), S_OK);
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(site->Activate(), S_OK);
    DispatchDriver grabwell(site->Control());
    auto grabwellNames = [&](const char* collection, const char* nameMethod) {
        std::vector<std::string> names;
        Variant object, count;
        grabwell.GetProperty(collection, &object);
        DispatchDriver items(ComPtr<IDispatch>(object.Dispatch()));
        items.GetProperty("Count", &count);
        int64_t n = 0;
        count.GetInteger(&n);
        for (int64_t i = 0; i < n; ++i) {
            Variant name;
            items.Call(nameMethod, {Variant(static_cast<int16_t>(i))}, &name);
            names.push_back(name.Bstr());
        }
        return names;
    };
    DispatchDriver d = CreateScrivel();
    const std::vector<std::string> video = grabwellNames("VideoCompressors", "FindVideoCompressorName");
    ASSERT_FALSE(video.empty());
    EXPECT_EQ(ListNames(d, 2), video);
    EXPECT_EQ(ListNames(d, 8), grabwellNames("AudioCompressors", "FindAudioCompressorName"));
    site->Destroy();
}

TEST_F(ScrivelInterface, WithoutAnXServerStartRefusesAndSaysWhy) {
    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    DispatchDriver d = CreateScrivel();
    int64_t width = -1;
    Call(d, 42).GetInteger(&width);
    EXPECT_EQ(width, 0);
    Put(d, 28, Variant(int32_t{3}));
    Put(d, 3, Variant((testing_support::TestEnvironment::Current().Dir() / "w.flv").string()));
    int64_t result = 0;
    Call(d, 40).GetInteger(&result);
    EXPECT_EQ(result, -1);
    EXPECT_NE(Text(d, 50).find("Wayland"), std::string::npos) << Text(d, 50);
    unsetenv("WAYLAND_DISPLAY");
}

}  // namespace
}  // namespace scrivel_test
