// A container that knows the control only by its registration: it links the platform and Qt and
// nothing of the control or the engine. It registers Grabwell.so the way start-up does, creates
// the control by CLSID through the class registry, binds every member the registered type
// library names through the control's own GetIDsOfNames, and keeps and restores the control's
// persisted state.
#include <gtest/gtest.h>

#include <QWidget>
#include <cctype>

#include "platform/com/ClassRegistry.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/TypeLibRegistration.h"
#include "tests/control/LumicorExpectedMembers.h"
#include "tests/control/TypeLibReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

// The identifiers as a container copies them from the documentation: no control header here.
constexpr Guid kLibId = MakeGuid("{E4ECA5DC-3DE4-42EE-83B0-D14239388C68}");
constexpr CLSID kClsidLumicor = MakeGuid("{E01CA1FE-309C-498D-B3B4-B16E0AB964DD}");

class ControlContainer : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::path module = testing_support::DistDir() / "Grabwell.so";
        ASSERT_EQ(LoadModule(module, module_), S_OK) << LastModuleError();
        auto registerServer = GetProcAddressAs<DllRegisterServerFn>(module_, "DllRegisterServer");
        ASSERT_TRUE(registerServer);
        ASSERT_EQ(registerServer(), S_OK);
        ASSERT_EQ(LoadRegTypeLib(kLibId, 1, 0, 1033, lib_.ReleaseAndGetAddressOf()), S_OK);
        library_ = typelib_reader::Read(lib_.Get());
        ASSERT_TRUE(library_.Has("_DLumicor"));
    }
    void TearDown() override {
        for (ComPtr<ControlSite>& site : sites_) site->Destroy();
        sites_.clear();
        lib_.Reset();
        library_ = {};
        FreeLibrary(module_);
    }

    // A control made by CLSID, in a new site, initialised as new.
    ComPtr<ControlSite> NewControl() {
        ComPtr<ControlSite> site = ControlSite::Create(&window_);
        EXPECT_EQ(site->CreateControl(kClsidLumicor), S_OK);
        EXPECT_TRUE(site->Control());
        sites_.push_back(site);
        return site;
    }

    QWidget window_;
    HMODULE module_ = nullptr;
    ComPtr<ITypeLib> lib_;
    typelib_reader::Library library_;
    std::vector<ComPtr<ControlSite>> sites_;
};

Variant NonDefault(const lumicor_expected::PersistedKey& key, int step) {
    switch (key.vt) {
        case VT_I2: return Variant(static_cast<int16_t>(key.number + 7 + step));
        case VT_I4: return Variant(static_cast<int32_t>(key.number + 1000 + step));
        case VT_UI4: return Variant(static_cast<uint32_t>(0x00336699 + step));
        case VT_BOOL: return Variant(key.number == 0);
        default: return Variant(std::string(key.key) + " value " + std::to_string(step));
    }
}

}  // namespace

TEST_F(ControlContainer, BindsEveryMemberOfTheRegisteredLibraryByNameOnTheLiveControl) {
    ComPtr<ControlSite> site = NewControl();
    ASSERT_EQ(site->InitNew(), S_OK);
    IDispatch* control = site->Control().Get();
    ASSERT_TRUE(control);

    const typelib_reader::Type& dispatch = library_.types.at("_DLumicor");
    ASSERT_EQ(dispatch.members.size(), lumicor_expected::ControlMembers().size());
    for (const auto& [name, member] : dispatch.members) {
        SCOPED_TRACE(name);
        // The member's name and its parameters' names, in one call, as late binding does it.
        std::vector<const char*> names;
        for (const std::string& n : member.names) names.push_back(n.c_str());
        std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
        ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                         1033, ids.data()),
                  S_OK);
        EXPECT_EQ(ids[0], member.get.memid);
        for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], static_cast<DISPID>(i - 1));
        // Names bind case-insensitively.
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const char* lowered[] = {lower.c_str()};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(control->GetIDsOfNames(IID_NULL, lowered, 1, 1033, &id), S_OK);
        EXPECT_EQ(id, member.get.memid);
    }
    const char* unknown[] = {"NoSuchMember"};
    DISPID id = 0;
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, unknown, 1, 1033, &id), DISP_E_UNKNOWNNAME);

    // Every readable property answers a get with its declared type.
    DispatchDriver driver(site->Control());
    for (const lumicor_expected::Member& e : lumicor_expected::ControlMembers()) {
        if (e.method) continue;
        Variant value;
        ASSERT_EQ(driver.GetProperty(e.name, &value), S_OK) << e.name;
        EXPECT_EQ(value.Type(), e.vt) << e.name;
    }
}

TEST_F(ControlContainer, ANewControlHasThePersistedDefaultsAndSavesThemInExchangeOrder) {
    ComPtr<ControlSite> site = NewControl();
    ASSERT_EQ(site->InitNew(), S_OK);
    PropertyBag bag;
    ASSERT_EQ(site->Save(&bag), S_OK);

    std::vector<std::string> order;
    for (const auto& [key, value] : bag.Entries()) order.push_back(key);
    ASSERT_GE(order.size(), 1 + lumicor_expected::PersistedKeys().size());
    EXPECT_EQ(order[0], "_Version");
    EXPECT_EQ(bag.Read("_Version")->UI4(), 0x00010000u);
    const auto& keys = lumicor_expected::PersistedKeys();
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(keys[i].key);
        EXPECT_EQ(order[1 + i], keys[i].key);
        const Variant* v = bag.Read(keys[i].key);
        ASSERT_TRUE(v);
        ASSERT_EQ(v->Type(), keys[i].vt);
        switch (keys[i].vt) {
            case VT_BSTR: EXPECT_EQ(v->Bstr(), keys[i].text); break;
            case VT_BOOL: EXPECT_EQ(v->Bool() != 0, keys[i].number != 0); break;
            case VT_UI4: EXPECT_EQ(v->UI4(), static_cast<uint32_t>(keys[i].number)); break;
            default: {
                int64_t n = 0;
                ASSERT_TRUE(v->GetInteger(&n));
                EXPECT_EQ(n, keys[i].number);
            }
        }
    }

    // The same defaults through the dispatch interface, and the ones nothing persists.
    DispatchDriver driver(site->Control());
    auto number = [&](const char* name) {
        Variant v;
        EXPECT_EQ(driver.GetProperty(name, &v), S_OK) << name;
        int64_t n = -12345;
        EXPECT_TRUE(v.GetInteger(&n)) << name;
        return n;
    };
    EXPECT_EQ(number("FrameRate"), 15);
    EXPECT_EQ(number("BroadCastPortNo"), 8080);
    EXPECT_EQ(number("MPEGVideoBitrate"), 4600000);
    EXPECT_EQ(number("TextColor"), 255);
    for (const char* flag : {"ShowPreview", "CaptureVideo", "ShowText", "ShowImage", "ShowDateTime",
                             "CaptureAudio", "AspectRatio"}) {
        EXPECT_NE(number(flag), 0) << flag;
    }
    EXPECT_EQ(number("DateFontSize"), 12);
    Variant font;
    ASSERT_EQ(driver.GetProperty("DateFontName", &font), S_OK);
    EXPECT_EQ(font.Bstr(), "Arial");
    Variant file;
    ASSERT_EQ(driver.GetProperty("CaptureFileName", &file), S_OK);
    EXPECT_EQ(file.Bstr(), "");
}

TEST_F(ControlContainer, SavingAndLoadingRestoresEveryPersistedKey) {
    // Every key changed away from its default, the ones no property shows included.
    PropertyBag changed;
    ASSERT_EQ(changed.Write("_Version", Variant(uint32_t{0x00010000})), S_OK);
    int step = 0;
    for (const lumicor_expected::PersistedKey& key : lumicor_expected::PersistedKeys()) {
        ASSERT_EQ(changed.Write(key.key, NonDefault(key, step++)), S_OK) << key.key;
    }

    ComPtr<ControlSite> first = NewControl();
    ASSERT_EQ(first->Load(changed), S_OK);
    DispatchDriver driver(first->Control());
    Variant file;
    ASSERT_EQ(driver.GetProperty("CaptureFileName", &file), S_OK);
    EXPECT_EQ(file.Bstr(), "Filename value 8");  // the property persisted under "Filename"
    Variant port;
    ASSERT_EQ(driver.GetProperty("BroadCastPortNo", &port), S_OK);
    EXPECT_EQ(port, *changed.Read("BroadCastPortNo"));

    PropertyBag saved;
    ASSERT_EQ(first->Save(&saved), S_OK);
    for (const lumicor_expected::PersistedKey& key : lumicor_expected::PersistedKeys()) {
        const Variant* v = saved.Read(key.key);
        ASSERT_TRUE(v) << key.key;
        EXPECT_EQ(*v, *changed.Read(key.key)) << key.key;
    }

    // A second control loaded from the saved state saves the same bytes again.
    ComPtr<ControlSite> second = NewControl();
    ASSERT_EQ(second->Load(saved), S_OK);
    PropertyBag again;
    ASSERT_EQ(second->Save(&again), S_OK);
    EXPECT_EQ(again.Serialize(), saved.Serialize());

    // Values set through the interface are what the next load brings back.
    DispatchDriver secondDriver(second->Control());
    ASSERT_EQ(secondDriver.PutProperty("CaptureFileName", Variant("/tmp/out.avi")), S_OK);
    ASSERT_EQ(secondDriver.PutProperty("MPEGWidth", Variant(int16_t{640})), S_OK);
    EXPECT_TRUE(second->IsDirty());
    PropertyBag edited;
    ASSERT_EQ(second->Save(&edited), S_OK);
    EXPECT_FALSE(second->IsDirty());
    EXPECT_EQ(edited.Read("Filename")->Bstr(), "/tmp/out.avi");
    EXPECT_EQ(edited.Read("MPEGWidth")->I2(), 640);

    // A store without some keys: those take their defaults.
    PropertyBag partial;
    ASSERT_EQ(partial.Write("FrameRate", Variant(int16_t{30})), S_OK);
    ComPtr<ControlSite> third = NewControl();
    ASSERT_EQ(third->Load(partial), S_OK);
    PropertyBag thirdSaved;
    ASSERT_EQ(third->Save(&thirdSaved), S_OK);
    EXPECT_EQ(thirdSaved.Read("FrameRate")->I2(), 30);
    EXPECT_EQ(thirdSaved.Read("MaxClients")->I2(), 3);
    EXPECT_EQ(thirdSaved.Read("MPEGAudioSampleRate")->I4(), 44100);
}

TEST_F(ControlContainer, AnActivatedControlFillsItsCollectionsAndTheContainerReadsThemByName) {
    ComPtr<ControlSite> site = NewControl();
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(site->Activate(), S_OK);
    DispatchDriver control(site->Control());
    Variant devices;
    ASSERT_EQ(control.GetProperty("Devices", &devices), S_OK);
    ASSERT_EQ(devices.Type(), VT_DISPATCH);
    ASSERT_TRUE(devices.Dispatch());
    DispatchDriver collection(ComPtr<IDispatch>(devices.Dispatch()));
    Variant count;
    ASSERT_EQ(collection.GetProperty("Count", &count), S_OK);
    EXPECT_GE(count.I2(), 1);  // the virtual camera at least
    Variant name;
    ASSERT_EQ(collection.Call("FindDeviceName", {Variant(int16_t{0})}, &name), S_OK);
    EXPECT_FALSE(name.Bstr().empty());
    Variant index;
    ASSERT_EQ(collection.Call("FindDevice", {Variant(name.Bstr())}, &index), S_OK);
    EXPECT_EQ(index.I2(), 0);
}
