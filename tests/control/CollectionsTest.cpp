// The nine collections as the session fills them and a container reads them: find by name and by
// index with each collection's answer for a miss, Item by name and by 1-based number, Sync after
// the session refills its lists, the audio lines' mix levels, and every member bound by name.
#include <gtest/gtest.h>

#include <set>

#include "control/Collections.h"
#include "platform/com/DispatchDriver.h"

namespace {

template <class C>
ComPtr<C> Filled(const typename C::EntryList& entries) {
    ComPtr<C> collection = MakeCom<C>();
    collection->Entries() = entries;
    collection->Sync();
    return collection;
}

VideoFormatEntry Format(std::string name, int32_t width, int32_t height) {
    return {std::move(name), height, width, 24, Guid::FromFourCC(Guid::FourCC('R', 'G', 'B', ' '))};
}

std::string NameOf(IDispatch* item, const char* member = "Name") {
    Variant v;
    EXPECT_EQ(DispatchDriver(ComPtr<IDispatch>(item)).GetProperty(member, &v), S_OK);
    return v.Bstr();
}

Variant CallByName(IDispatch* object, const char* name, std::vector<Variant> args = {}) {
    Variant result;
    EXPECT_EQ(DispatchDriver(ComPtr<IDispatch>(object)).Call(name, std::move(args), &result), S_OK)
        << name;
    return result;
}

Variant GetByName(IDispatch* object, const char* name) {
    Variant result;
    EXPECT_EQ(DispatchDriver(ComPtr<IDispatch>(object)).GetProperty(name, &result), S_OK) << name;
    return result;
}

const NameList kThree = {"Cam A", "Cam B", "Cam B"};

}  // namespace

TEST(Collections, FindByNameIsExactAndEachCollectionHasItsOwnAnswerForAMiss) {
    auto devices = Filled<CDevices>(kThree);
    EXPECT_EQ(devices->FindDevice("Cam A"), 0);
    EXPECT_EQ(devices->FindDevice("Cam B"), 1);  // the first of two equal names
    // A miss looks like the first position; no case folding, trimming or prefix match.
    EXPECT_EQ(devices->FindDevice("Nobody"), 0);
    EXPECT_EQ(devices->FindDevice("cam b"), 0);
    EXPECT_EQ(devices->FindDevice("Cam B "), 0);
    EXPECT_EQ(devices->FindDevice("Cam"), 0);
    EXPECT_EQ(MakeCom<CDevices>()->FindDevice("Cam A"), 0);

    auto audio = Filled<CAudioDevices>({"Mic", "Line"});
    EXPECT_EQ(audio->FindDevice("Line"), 1);
    EXPECT_EQ(audio->FindDevice("line"), 0);

    auto formats = Filled<CVideoFormats>(
        {Format("RGB24 640x480", 640, 480), Format("YUY2 720x576", 720, 576)});
    EXPECT_EQ(formats->FindVideoFormat("YUY2 720x576"), 1);
    EXPECT_EQ(formats->FindVideoFormat("yuy2 720x576"), -1);
    EXPECT_EQ(MakeCom<CVideoFormats>()->FindVideoFormat(""), -1);

    auto videoCompressors = Filled<CVideoCompressors>({"Motion JPEG", "FFV1"});
    EXPECT_EQ(videoCompressors->FindVideoCompressor("FFV1"), 1);
    EXPECT_EQ(videoCompressors->FindVideoCompressor("ffv1"), 0);
    auto audioCompressors = Filled<CAudioCompressors>({"PCM", "Microsoft ADPCM"});
    EXPECT_EQ(audioCompressors->FindAudioCompressor("Microsoft ADPCM"), 1);
    EXPECT_EQ(audioCompressors->FindAudioCompressor("GSM"), 0);
    auto pins = Filled<CAudioInputPins>({"Microphone", "Line In"});
    EXPECT_EQ(pins->FindInputPin("Line In"), 1);
    EXPECT_EQ(pins->FindInputPin("CD Audio"), 0);
    auto inputs = Filled<CVideoInputs>({"Video Tuner", "Video Composite"});
    EXPECT_EQ(inputs->FindVideoInput("Video Composite"), 1);
    EXPECT_EQ(inputs->FindVideoInput("S-Video"), -1);
    auto channels = Filled<CTVChannels>({{"4", 1}, {"12", 0}});
    EXPECT_EQ(channels->FindChannel("12"), 1);  // by channel number
    EXPECT_EQ(channels->FindChannel("1"), 0);
    auto profiles = Filled<CWMVProfiles>({{"Low", "for modems", Guid{}}, {"High", "LAN", Guid{}}});
    EXPECT_EQ(profiles->FindWMVProfile("High"), 1);
    EXPECT_EQ(profiles->FindWMVProfile("LAN"), -1);  // descriptions are not names
}

TEST(Collections, FindByIndexIsZeroBasedAndOutsideTheListGivesTheFixedValues) {
    auto devices = Filled<CDevices>(kThree);
    EXPECT_EQ(devices->FindDeviceName(0), "Cam A");
    EXPECT_EQ(devices->FindDeviceName(2), "Cam B");
    EXPECT_EQ(devices->FindDeviceName(3), "");
    EXPECT_EQ(devices->FindDeviceName(-1), "");

    auto formats = Filled<CVideoFormats>(
        {Format("RGB24 640x480", 640, 480), Format("YUY2 720x576", 720, 576)});
    EXPECT_EQ(formats->FindVideoFormatName(1), "YUY2 720x576");
    EXPECT_EQ(formats->FindVideoFormatWidth(1), 720);
    EXPECT_EQ(formats->FindVideoFormatHeight(0), 480);
    EXPECT_EQ(formats->FindVideoFormatWidth(formats->Count()), -1);
    EXPECT_EQ(formats->FindVideoFormatHeight(-1), -1);
    EXPECT_EQ(formats->FindVideoFormatName(2), "");

    auto channels = Filled<CTVChannels>({{"4", 1}, {"12", 0}});
    EXPECT_EQ(channels->FindChannelNo(1), "12");
    EXPECT_EQ(channels->FindChannelSignal(0), 1);
    EXPECT_EQ(channels->FindChannelSignal(-1), 0);
    EXPECT_EQ(channels->FindChannelSignal(2), 0);
    EXPECT_EQ(channels->FindChannelNo(2), "");

    auto profiles = Filled<CWMVProfiles>({{"Low", "for modems", Guid{}}});
    EXPECT_EQ(profiles->FindWMVProfileName(0), "Low");
    EXPECT_EQ(profiles->FindWMVProfileDesc(0), "for modems");
    EXPECT_EQ(profiles->FindWMVProfileName(-1), "");
    EXPECT_EQ(profiles->FindWMVProfileDesc(1), "");

    EXPECT_EQ(Filled<CVideoCompressors>({"FFV1"})->FindVideoCompressorName(1), "");
    EXPECT_EQ(Filled<CAudioCompressors>({"PCM"})->FindAudioCompressorName(0), "PCM");
    EXPECT_EQ(Filled<CAudioInputPins>({"Microphone"})->FindInputPinName(-1), "");
    EXPECT_EQ(Filled<CVideoInputs>({"S-Video"})->FindVideoInputName(0), "S-Video");
    EXPECT_EQ(Filled<CAudioDevices>({"Mic"})->FindDeviceName(1), "");
}

TEST(Collections, ItemTakesANameOrAOneBasedNumber) {
    auto devices = Filled<CDevices>(kThree);
    ComPtr<IDispatch> byNumber = devices->Item(Variant(int32_t{1}));
    ComPtr<IDispatch> byName = devices->Item(Variant("Cam A"));
    ASSERT_TRUE(byNumber);
    EXPECT_EQ(byNumber.Get(), byName.Get());
    EXPECT_EQ(NameOf(byNumber.Get()), "Cam A");
    // The first of two equal names; numbers reach the second.
    EXPECT_EQ(devices->Item(Variant("Cam B")).Get(), devices->Item(Variant(int16_t{2})).Get());
    EXPECT_NE(devices->Item(Variant(int16_t{2})).Get(), devices->Item(Variant(3.0)).Get());

    EXPECT_FALSE(devices->Item(Variant(int32_t{0})));
    EXPECT_FALSE(devices->Item(Variant(int32_t{4})));
    EXPECT_FALSE(devices->Item(Variant(int32_t{-1})));
    EXPECT_FALSE(devices->Item(Variant("nobody")));
    EXPECT_FALSE(devices->Item(Variant("cam a")));
    EXPECT_FALSE(devices->Item(Variant()));  // empty converts to 0
    EXPECT_FALSE(devices->Item(Variant::MakeNull()));

    // A string by reference is no name: it converts to a number like any other value.
    std::string two = "2";
    EXPECT_EQ(devices->Item(Variant::MakeByRef(VT_BSTR, &two)).Get(),
              devices->Item(Variant(int32_t{2})).Get());
    std::string camA = "Cam A";
    EXPECT_FALSE(devices->Item(Variant::MakeByRef(VT_BSTR, &camA)));

    // The item answers its own interface and comes with a reference of its own.
    void* device = nullptr;
    ASSERT_EQ(byName->QueryInterface(IDevice::iid, &device), S_OK);
    static_cast<IUnknown*>(device)->Release();
    EXPECT_EQ(byName->QueryInterface(IDevices::iid, &device), E_NOINTERFACE);
    devices->Empty();
    EXPECT_EQ(NameOf(byName.Get()), "Cam A");  // still valid after the collection let it go
    EXPECT_FALSE(devices->Item(Variant(int32_t{1})));

    // Item through Invoke, by a channel's number.
    auto channels = Filled<CTVChannels>({{"4", 1}, {"12", 0}});
    Variant found = CallByName(channels.Get(), "Item", {Variant("12")});
    ASSERT_EQ(found.Type(), VT_DISPATCH);
    EXPECT_EQ(NameOf(found.Dispatch(), "ChannelNo"), "12");
    Variant none = CallByName(channels.Get(), "Item", {Variant("nothing")});
    EXPECT_EQ(none.Type(), VT_DISPATCH);
    EXPECT_EQ(none.Dispatch(), nullptr);
}

TEST(Collections, SyncFollowsTheEntriesAndKeepsItemsWhoseEntryDidNotChange) {
    ComPtr<CDevices> devices = MakeCom<CDevices>();
    EXPECT_EQ(devices->Count(), 0);
    devices->Entries() = {"A", "B", "C"};
    EXPECT_EQ(devices->Count(), 0);  // items come with Sync
    devices->Sync();
    EXPECT_EQ(devices->Count(), 3);
    ComPtr<IDispatch> a = devices->Item(Variant(int32_t{1}));
    ComPtr<IDispatch> c = devices->Item(Variant(int32_t{3}));

    // Appending keeps the earlier items.
    devices->Entries().push_back("D");
    devices->Sync();
    EXPECT_EQ(devices->Count(), 4);
    EXPECT_EQ(devices->Item(Variant(int32_t{1})).Get(), a.Get());

    // Emptied and refilled by the session: changed positions get new items, shorter lists lose
    // the rest.
    devices->Entries().clear();
    devices->Entries() = {"A", "X"};
    devices->Sync();
    EXPECT_EQ(devices->Count(), 2);
    EXPECT_EQ(devices->Item(Variant(int32_t{1})).Get(), a.Get());
    EXPECT_EQ(devices->FindDeviceName(1), "X");
    EXPECT_EQ(devices->FindDevice("C"), 0);
    EXPECT_FALSE(devices->Item(Variant("C")));
    EXPECT_EQ(NameOf(c.Get()), "C");  // the dropped item is still the container's

    // A name the container wrote is the item's own; Sync does not take it for a changed entry.
    ASSERT_EQ(DispatchDriver(a).PutProperty("Name", Variant("Renamed")), S_OK);
    devices->Sync();
    EXPECT_EQ(devices->Item(Variant(int32_t{1})).Get(), a.Get());
    EXPECT_EQ(devices->FindDeviceName(0), "Renamed");
    EXPECT_EQ(devices->FindDevice("Renamed"), 0);
    EXPECT_EQ(devices->Entries()[0], "A");  // the session's list is untouched

    // A format whose size changed under the same name is a new item.
    auto formats = Filled<CVideoFormats>({Format("RGB24", 640, 480)});
    ComPtr<IDispatch> before = formats->Item(Variant(int32_t{1}));
    formats->Entries()[0].width = 320;
    formats->Sync();
    EXPECT_NE(formats->Item(Variant(int32_t{1})).Get(), before.Get());
    EXPECT_EQ(formats->FindVideoFormatWidth(0), 320);

    devices->Empty();
    EXPECT_EQ(devices->Count(), 0);
    EXPECT_TRUE(devices->Entries().empty());
}

TEST(Collections, MixLevelsAreStoredInTheItemAndInLevels) {
    ComPtr<CAudioInputPins> pins = Filled<CAudioInputPins>({"Microphone", "Line In", "CD Audio"});
    const CCaptureSession::AudioInputPinList& levels = pins->Levels();
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[1].name, "Line In");
    EXPECT_EQ(levels[1].mixLevel, 1.0);

    EXPECT_EQ(pins->SetMixLevel(1, 0.25), TRUE);
    EXPECT_EQ(pins->SetMixLevel(3, 0.5), FALSE);  // past Count
    EXPECT_EQ(pins->SetMixLevel(-1, 0.5), FALSE);
    EXPECT_EQ(levels[1].mixLevel, 0.25);
    EXPECT_EQ(levels[0].mixLevel, 1.0);
    EXPECT_EQ(levels[2].mixLevel, 1.0);
    ComPtr<IDispatch> line = pins->Item(Variant("Line In"));
    EXPECT_EQ(GetByName(line.Get(), "MixLevel"), Variant(0.25));

    // Through Invoke: BOOL answers are 1 and 0.
    EXPECT_EQ(CallByName(pins.Get(), "SetMixLevel", {Variant(int16_t{2}), Variant(0.75)}),
              Variant(int32_t{1}));
    EXPECT_EQ(CallByName(pins.Get(), "SetMixLevel", {Variant(int16_t{9}), Variant(0.75)}),
              Variant(int32_t{0}));
    EXPECT_EQ(levels[2].mixLevel, 0.75);

    // The item's members are read-only for a container.
    DispatchDriver item(line);
    EXPECT_EQ(item.PutProperty("MixLevel", Variant(0.5)), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(item.PutProperty("Name", Variant("x")), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(levels[1].mixLevel, 0.25);

    // A refill keeps the lines that stayed (and their levels); new lines start at 1.0.
    pins->Entries() = {"Microphone", "Line In", "Stereo Mix"};
    pins->Sync();
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[1].mixLevel, 0.25);
    EXPECT_EQ(levels[2].name, "Stereo Mix");
    EXPECT_EQ(levels[2].mixLevel, 1.0);
    pins->Entries().pop_back();
    pins->Sync();
    EXPECT_EQ(levels.size(), 2u);

    pins->Empty();
    EXPECT_TRUE(levels.empty());
    EXPECT_EQ(pins->SetMixLevel(0, 0.5), FALSE);
    EXPECT_EQ(GetByName(line.Get(), "MixLevel"), Variant(0.25));
}

TEST(Collections, ContainersBindEveryMemberByName) {
    auto formats = Filled<CVideoFormats>({Format("RGB24 640x480", 640, 480)});
    IDispatch* f = formats.Get();
    EXPECT_EQ(GetByName(f, "Count"), Variant(int16_t{1}));
    EXPECT_EQ(CallByName(f, "FindVideoFormat", {Variant("RGB24 640x480")}), Variant(int16_t{0}));
    EXPECT_EQ(CallByName(f, "FindVideoFormat", {Variant("none")}), Variant(int16_t{-1}));
    EXPECT_EQ(CallByName(f, "FindVideoFormatHeight", {Variant(int16_t{0})}), Variant(int32_t{480}));
    EXPECT_EQ(CallByName(f, "FindVideoFormatWidth", {Variant(int32_t{1})}), Variant(int32_t{-1}));
    EXPECT_EQ(CallByName(f, "FindVideoFormatName", {Variant(int16_t{0})}),
              Variant("RGB24 640x480"));
    Variant format = CallByName(f, "Item", {Variant(int32_t{1})});
    ASSERT_TRUE(format.Dispatch());
    DispatchDriver item(ComPtr<IDispatch>(format.Dispatch()));
    EXPECT_EQ(item.PutProperty("Width", Variant(int32_t{800})), S_OK);
    EXPECT_EQ(GetByName(format.Dispatch(), "Width"), Variant(int32_t{800}));
    EXPECT_EQ(GetByName(format.Dispatch(), "Height"), Variant(int32_t{480}));
    EXPECT_EQ(formats->FindVideoFormatWidth(0), 800);  // the collection reads its items
    EXPECT_EQ(formats->Entries()[0].width, 640);       // the session's entry is untouched
    Variant enumerator = GetByName(f, "_NewEnum");
    EXPECT_EQ(enumerator.Type(), VT_UNKNOWN);
    EXPECT_TRUE(QueryAs<IEnumVARIANT>(enumerator.Unknown()));

    struct Expected {
        IDispatch* object;
        std::vector<std::pair<const char*, DISPID>> members;
    };
    auto devices = Filled<CDevices>({"Cam"});
    auto audioDevices = Filled<CAudioDevices>({"Mic"});
    auto videoCompressors = Filled<CVideoCompressors>({"FFV1"});
    auto audioCompressors = Filled<CAudioCompressors>({"PCM"});
    auto pins = Filled<CAudioInputPins>({"Line In"});
    auto inputs = Filled<CVideoInputs>({"S-Video"});
    auto channels = Filled<CTVChannels>({{"7", 1}});
    auto profiles = Filled<CWMVProfiles>({{"Low", "for modems", Guid{}}});
    const std::vector<Expected> all = {
        {devices.Get(), {{"FindDevice", 2}, {"FindDeviceName", 3}, {"Item", 4}}},
        {audioDevices.Get(), {{"FindDevice", 2}, {"FindDeviceName", 3}, {"Item", 4}}},
        {formats.Get(),
         {{"FindVideoFormat", 2},
          {"FindVideoFormatHeight", 3},
          {"FindVideoFormatWidth", 4},
          {"FindVideoFormatName", 5},
          {"Item", 6}}},
        {videoCompressors.Get(),
         {{"FindVideoCompressor", 2},
          {"FindVideoCompressorName", 3},
          {"ShowPropertyPage", 4},
          {"Item", 5}}},
        {audioCompressors.Get(),
         {{"FindAudioCompressor", 2}, {"FindAudioCompressorName", 3}, {"Item", 4}}},
        {pins.Get(),
         {{"FindInputPin", 2}, {"FindInputPinName", 3}, {"SetMixLevel", 4}, {"Item", 5}}},
        {inputs.Get(), {{"FindVideoInput", 2}, {"FindVideoInputName", 3}, {"Item", 4}}},
        {channels.Get(),
         {{"FindChannel", 2}, {"FindChannelNo", 3}, {"FindChannelSignal", 4}, {"Item", 5}}},
        {profiles.Get(),
         {{"FindWMVProfile", 2},
          {"FindWMVProfileDesc", 3},
          {"FindWMVProfileName", 4},
          {"Item", 5}}},
    };
    for (const Expected& e : all) {
        DispatchDriver d{ComPtr<IDispatch>(e.object)};
        std::vector<std::pair<const char*, DISPID>> members = e.members;
        members.push_back({"Count", 1});
        members.push_back({"_NewEnum", DISPID_NEWENUM});
        for (auto [name, dispid] : members) {
            DISPID id = 0;
            EXPECT_EQ(d.GetIdOfName(name, &id), S_OK) << name;
            EXPECT_EQ(id, dispid) << name;
            // Nothing in a collection can be set.
            EXPECT_EQ(d.PutProperty(dispid, Variant(int16_t{1})), CTL_E_SETNOTSUPPORTED) << name;
        }
        EXPECT_EQ(GetByName(e.object, "Count"), Variant(int16_t{1}));
        Variant first = CallByName(e.object, "Item", {Variant(int16_t{1})});
        EXPECT_TRUE(first.Dispatch());
    }
    EXPECT_EQ(CallByName(devices.Get(), "FindDeviceName", {Variant(int16_t{0})}), Variant("Cam"));
    EXPECT_EQ(CallByName(audioDevices.Get(), "FindDevice", {Variant("x")}), Variant(int16_t{0}));
    EXPECT_EQ(CallByName(channels.Get(), "FindChannelSignal", {Variant(int16_t{-1})}),
              Variant(int32_t{0}));
    EXPECT_EQ(CallByName(profiles.Get(), "FindWMVProfileName", {Variant(int16_t{-1})}),
              Variant(""));
    EXPECT_EQ(CallByName(profiles.Get(), "FindWMVProfileDesc", {Variant(int16_t{0})}),
              Variant("for modems"));
    EXPECT_EQ(CallByName(inputs.Get(), "FindVideoInput", {Variant("x")}), Variant(int16_t{-1}));

    // A put on Count tells why in EXCEPINFO too.
    EXCEPINFO info;
    DispatchDriver d{ComPtr<IDispatch>(devices.Get())};
    DISPID named = DISPID_PROPERTYPUT;
    Variant value(int16_t{5});
    DISPPARAMS params{&value, &named, 1, 1};
    EXPECT_EQ(
        devices->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &info, nullptr),
        CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(info.scode, CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(
        devices->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &info, nullptr),
        CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(info.scode, CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(devices->Count(), 1);
}

TEST(Collections, ItemMembersBoundByName) {
    auto channels = Filled<CTVChannels>({{"7", 1}});
    ComPtr<IDispatch> channel = channels->Item(Variant(int32_t{1}));
    DispatchDriver c(channel);
    EXPECT_EQ(GetByName(channel.Get(), "SignalStatus"), Variant(int32_t{1}));
    EXPECT_EQ(c.PutProperty("SignalStatus", Variant(int32_t{0})), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(c.PutProperty("ChannelNo", Variant("9")), S_OK);
    EXPECT_EQ(GetByName(channel.Get(), "ChannelNo"), Variant("9"));
    EXPECT_EQ(channels->FindChannel("9"), 0);
    EXPECT_EQ(channels->Entries()[0].channel, "7");

    auto profiles = Filled<CWMVProfiles>({{"Low", "for modems", Guid{}}});
    ComPtr<IDispatch> profile = profiles->Item(Variant("Low"));
    EXPECT_EQ(GetByName(profile.Get(), "Description"), Variant("for modems"));
    EXPECT_EQ(DispatchDriver(profile).PutProperty("Description", Variant("mine")), S_OK);
    EXPECT_EQ(profiles->FindWMVProfileDesc(0), "mine");
    EXPECT_EQ(profiles->Entries()[0].description, "for modems");
    EXPECT_EQ(DispatchDriver(profile).PutProperty("Name", Variant("Lower")), S_OK);
    EXPECT_EQ(profiles->FindWMVProfile("Lower"), 0);

    auto compressors = Filled<CVideoCompressors>({"FFV1"});
    ComPtr<IDispatch> compressor = compressors->Item(Variant(int32_t{1}));
    EXPECT_EQ(CallByName(compressor.Get(), "ShowPropertyPage"), Variant(int32_t{1}));
    EXPECT_EQ(NameOf(compressor.Get()), "FFV1");

    for (ComPtr<IDispatch> named : {Filled<CDevices>({"a"})->Item(Variant(int32_t{1})),
                                    Filled<CAudioDevices>({"a"})->Item(Variant(int32_t{1})),
                                    Filled<CAudioCompressors>({"a"})->Item(Variant(int32_t{1})),
                                    Filled<CVideoInputs>({"a"})->Item(Variant(int32_t{1}))}) {
        ASSERT_TRUE(named);
        DISPID id = 0;
        EXPECT_EQ(DispatchDriver(named).GetIdOfName("name", &id), S_OK);
        EXPECT_EQ(id, 1);
        EXPECT_EQ(DispatchDriver(named).PutProperty("Name", Variant("b")), S_OK);
        EXPECT_EQ(NameOf(named.Get()), "b");
    }
}

TEST(Collections, TypeDescriptionsForTheTypeLibrary) {
    std::vector<InterfaceDesc> interfaces = CollectionInterfaceDescriptions();
    std::vector<CoclassDesc> coclasses = CollectionCoclassDescriptions();
    ASSERT_EQ(interfaces.size(), 27u);
    ASSERT_EQ(coclasses.size(), 27u);
    std::set<Guid> ids;
    for (const InterfaceDesc& i : interfaces) {
        EXPECT_TRUE(ids.insert(i.iid).second) << i.name;
        EXPECT_EQ(i.kind, TKIND_DISPATCH);
    }
    for (const CoclassDesc& c : coclasses) {
        EXPECT_TRUE(ids.insert(c.clsid).second) << c.name;
        EXPECT_EQ(c.typeFlags & TYPEFLAG_FCANCREATE, 0) << c.name;
        ASSERT_EQ(c.interfaces.size(), 1u);
        EXPECT_EQ(c.interfaces[0].flags, IMPLTYPEFLAG_FDEFAULT);
    }

    auto find = [&](const std::string& name) -> const InterfaceDesc* {
        for (const InterfaceDesc& i : interfaces)
            if (i.name == name) return &i;
        return nullptr;
    };
    const InterfaceDesc* devices = find("IDevices");
    ASSERT_TRUE(devices);
    EXPECT_EQ(devices->iid, IDevices::iid);
    bool newEnumSeen = false;
    for (const FuncDesc& f : devices->funcs) {
        if (f.memid == DISPID_NEWENUM) {
            newEnumSeen = true;
            EXPECT_EQ(f.name, "_NewEnum");
            EXPECT_NE(f.flags & FUNCFLAG_FRESTRICTED, 0);
            EXPECT_EQ(f.result.vt, VT_UNKNOWN);
        } else {
            EXPECT_EQ(f.flags & FUNCFLAG_FRESTRICTED, 0) << f.name;
        }
        // Read-only throughout: no put of any member.
        EXPECT_EQ(f.invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF), 0) << f.name;
        if (f.name == "Item") {
            ASSERT_EQ(f.params.size(), 1u);
            EXPECT_EQ(f.params[0].name, "Key");
            EXPECT_EQ(f.params[0].type.vt, VT_VARIANT);
            EXPECT_EQ(f.result.vt, VT_DISPATCH);
        }
        if (f.name == "Count") {
            EXPECT_EQ(f.result.vt, VT_I2);
        }
    }
    EXPECT_TRUE(newEnumSeen);

    // The compressors publish what they answer: Item at 5 and _NewEnum.
    const InterfaceDesc* compressors = find("IVideoCompressors");
    ASSERT_TRUE(compressors);
    std::set<std::pair<std::string, MEMBERID>> members;
    for (const FuncDesc& f : compressors->funcs) members.insert({f.name, f.memid});
    EXPECT_EQ(members, (std::set<std::pair<std::string, MEMBERID>>{{"Count", 1},
                                                                   {"FindVideoCompressor", 2},
                                                                   {"FindVideoCompressorName", 3},
                                                                   {"ShowPropertyPage", 4},
                                                                   {"Item", 5},
                                                                   {"_NewEnum", DISPID_NEWENUM}}));
    for (const FuncDesc& f : compressors->funcs) {
        if (f.name == "ShowPropertyPage") {
            EXPECT_EQ(f.result.Spelling(), "BOOL");
        }
    }

    const InterfaceDesc* pin = find("IAudioInputPin");
    ASSERT_TRUE(pin);
    EXPECT_EQ(pin->funcs.size(), 2u);  // two gets, no puts
    const InterfaceDesc* format = find("IVideoFormat");
    ASSERT_TRUE(format);
    EXPECT_EQ(format->funcs.size(), 6u);  // three read/write properties

    const InterfaceDesc* enumDevices = find("IEnumDevices");
    ASSERT_TRUE(enumDevices);
    EXPECT_TRUE(enumDevices->funcs.empty());
    EXPECT_EQ(enumDevices->iid, MakeGuid("{67C95752-0B29-448B-9F99-5DD468615D7C}"));
    bool enumCoclass = false;
    for (const CoclassDesc& c : coclasses) {
        if (c.name == "EnumWMVProfiles") {
            enumCoclass = true;
            EXPECT_EQ(c.clsid, MakeGuid("{4B513CFA-AAEF-469C-97A5-3C0F9B53100B}"));
            EXPECT_EQ(c.interfaces[0].iid, MakeGuid("{4540AB55-1050-4DEE-8462-8FA0EEC7ECF7}"));
        }
        if (c.name == "TVChannel") {
            EXPECT_EQ(c.interfaces[0].iid, ITVChannel::iid);
        }
    }
    EXPECT_TRUE(enumCoclass);
}
