// A small control on the control framework, hosted by ControlSite: creation by CLSID, activation
// into the container's widget, persistence, notifications, events, resize requests, timers, the
// Properties verb and property browsing defaults.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/DispatchMap.h"
#include "platform/com/OleControl.h"
#include "platform/com/PropertyBag.h"
#include "platform/os/EventWait.h"
#include "platform/os/WindowMessages.h"

namespace {

constexpr CLSID CLSID_Gauge = MakeGuid("{6F1D2C3B-4A5E-4D6F-8A7B-9C0D1E2F3A4B}");
constexpr IID DIID_Gauge = MakeGuid("{6F1D2C3B-4A5E-4D6F-8A7B-9C0D1E2F3A4C}");
constexpr IID DIID_GaugeEvents = MakeGuid("{6F1D2C3B-4A5E-4D6F-8A7B-9C0D1E2F3A4D}");
constexpr CLSID CLSID_GaugePage = MakeGuid("{6F1D2C3B-4A5E-4D6F-8A7B-9C0D1E2F3A4E}");

struct Calls {
    int created = 0, destroyed = 0, pages = 0;
    std::vector<std::pair<int, int>> sizes;
};
Calls calls;

class Gauge final : public OleControl {
public:
    ~Gauge() override { DestroyControlWindow(); }

    static const DispatchTable& Table() {
        static const DispatchTable table = [] {
            DispatchMap<Gauge> map(DIID_Gauge, "_DGauge");
            map.Property(
                1, "Level", [](Gauge& g) { return g.level; },
                [](Gauge& g, int16_t v) {
                    g.level = v;
                    g.SetModifiedFlag();
                    if (!g.AmbientUserMode()) g.BoundPropertyChanged(1);
                });
            map.Property(2, "Label", [](Gauge& g) { return g.label; });
            map.Method(3, "Grow", [](Gauge& g, int16_t w, int16_t h) { return g.RequestResize(w, h); });
            map.Method(4, "Tick", [](Gauge& g, int32_t ms) { return g.SetControlTimer(7, ms); });
            return map.Build();
        }();
        return table;
    }

    int16_t level = 0;
    std::string label = "gauge";
    int ticks = 0;

protected:
    const DispatchTable& ControlDispatchTable() const override { return Table(); }
    void* DispatchSelf() override { return this; }
    CLSID ControlClsid() const override { return CLSID_Gauge; }
    IID EventsIid() const override { return DIID_GaugeEvents; }
    DWORD MiscStatus() const override { return 0x20191; }
    std::vector<CLSID> PropertyPageClasses() const override { return {CLSID_GaugePage}; }
    void DoPropExchange(PropExchange& px) override {
        px.ExchangeVersion(PropExchange::MakeVersion(1, 0));
        px.Short("Level", level, 5);
        px.String("Label", label, "gauge");
    }
    void OnCreate() override { ++calls.created; }
    void OnSize(int w, int h) override { calls.sizes.emplace_back(w, h); }
    void OnDestroy() override { ++calls.destroyed; }
    void OnTimer(UINT_PTR id) override {
        if (++ticks == 2) KillControlTimer(id);
        FireEvent(1, static_cast<int32_t>(id), std::string("tick"));
    }
    HRESULT OnShowPropertyPages() override {
        ++calls.pages;
        return S_OK;
    }
};

void Pump(int ms) { RunEventsFor(ms); }

class OleControlHost : public ::testing::Test {
protected:
    void SetUp() override {
        calls = {};
        ASSERT_EQ(CoRegisterClassObject(CLSID_Gauge, MakeCom<ClassFactory<Gauge>>()->GetUnknown(),
                                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
        container.resize(400, 300);
        site = ControlSite::Create(&container, 77);
        ASSERT_EQ(site->CreateControl(CLSID_Gauge), S_OK);
        driver.Attach(site->Control());
    }
    void TearDown() override {
        site->Destroy();
        CoRevokeClassObject(cookie);
    }
    Gauge& Object() { return *static_cast<Gauge*>(site->Control().Get()); }
    int64_t Level() {
        Variant v;
        EXPECT_EQ(driver.GetProperty(1, &v), S_OK);
        return v.I2();
    }

    DWORD cookie = 0;
    QWidget container;
    ComPtr<ControlSite> site;
    DispatchDriver driver;
};

}  // namespace

TEST_F(OleControlHost, PersistenceGivesDefaultsSavesInOrderAndReloadsEitherForm) {
    ASSERT_EQ(site->InitNew(), S_OK);
    EXPECT_EQ(Level(), 5);
    EXPECT_FALSE(site->IsDirty());
    ASSERT_EQ(driver.PutProperty(1, Variant(int16_t{9})), S_OK);
    EXPECT_TRUE(site->IsDirty());

    PropertyBag bag;
    ASSERT_EQ(site->Save(&bag), S_OK);
    EXPECT_FALSE(site->IsDirty());
    std::vector<std::string> keys;
    for (const auto& entry : bag.Entries()) keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"_Version", "Level", "Label", "_ExtentX", "_ExtentY"}));

    ComPtr<IPersistBytes> bytes = QueryAs<IPersistBytes>(driver.Get());
    ASSERT_TRUE(bytes);
    std::vector<uint8_t> stored;
    ASSERT_EQ(bytes->Save(&stored, TRUE), S_OK);
    ASSERT_EQ(driver.PutProperty(1, Variant(int16_t{1})), S_OK);
    ASSERT_EQ(bytes->Load(stored.data(), stored.size()), S_OK);
    EXPECT_EQ(Level(), 9);
    EXPECT_EQ(bytes->IsDirty(), S_FALSE);
    // Damaged bytes change nothing.
    stored[stored.size() / 2] ^= 0x5A;
    ASSERT_EQ(driver.PutProperty(1, Variant(int16_t{3})), S_OK);
    EXPECT_TRUE(FAILED(bytes->Load(stored.data(), stored.size())));
    EXPECT_EQ(Level(), 3);
    ASSERT_EQ(site->Load(bag), S_OK);
    EXPECT_EQ(Level(), 9);
    CLSID clsid{};
    EXPECT_EQ(bytes->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Gauge);
}

TEST_F(OleControlHost, ReadOnlyPutFailsAndTheDispinterfaceIsTheControlsIDispatch) {
    EXPECT_EQ(driver.PutProperty(2, Variant("other")), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(Object().label, "gauge");
    ComPtr<IUnknown> asDisp;
    ASSERT_EQ(driver.Get()->QueryInterface(DIID_Gauge, asDisp.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(static_cast<void*>(asDisp.Get()), static_cast<void*>(driver.Get()));
    DWORD status = 0;
    EXPECT_EQ(site->Object()->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
}

TEST_F(OleControlHost, DesignModeNotificationsFollowTheAmbientUserMode) {
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(driver.PutProperty(1, Variant(int16_t{2})), S_OK);
    EXPECT_TRUE(site->Changes().empty());
    site->SetUserMode(false);
    ASSERT_EQ(driver.PutProperty(1, Variant(int16_t{4})), S_OK);
    EXPECT_EQ(site->Changes(), std::vector<DISPID>{1});
}

TEST_F(OleControlHost, ActivationMakesAChildWindowThatFollowsTheExtentAndCloseDestroysIt) {
    ASSERT_EQ(site->InitNew(), S_OK);
    EXPECT_EQ(calls.created, 0);
    ASSERT_EQ(site->Activate(), S_OK);
    EXPECT_EQ(calls.created, 1);
    EXPECT_TRUE(site->InPlaceActive());
    QWidget* widget = Object().ControlWidget();
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->parentWidget(), &container);
    EXPECT_NE(Object().MessageWindowHandle(), HWND_NONE);
    EXPECT_EQ(Object().ContainerWindow(), 77u);
    ASSERT_EQ(site->Resize(200, 100), S_OK);
    EXPECT_EQ(widget->size(), QSize(200, 100));
    ASSERT_FALSE(calls.sizes.empty());
    EXPECT_EQ(calls.sizes.back(), std::make_pair(200, 100));

    // A resize request the container grants, and one it refuses.
    Variant granted;
    ASSERT_EQ(driver.Call(3, {Variant(int16_t{120}), Variant(int16_t{90})}, &granted), S_OK);
    EXPECT_TRUE(granted.Bool());
    EXPECT_EQ(widget->size(), QSize(120, 90));
    site->SetGrantResize(false);
    ASSERT_EQ(driver.Call(3, {Variant(int16_t{50}), Variant(int16_t{50})}, &granted), S_OK);
    EXPECT_EQ(widget->size(), QSize(120, 90));
    ASSERT_EQ(site->ResizeRequests().size(), 2u);
    EXPECT_EQ(site->ResizeRequests()[1].width, 50);

    // The size persists as the framework's own state.
    PropertyBag bag;
    ASSERT_EQ(site->Save(&bag), S_OK);
    EXPECT_EQ(bag.Read("_ExtentX")->I4(), 120);

    const HWND window = Object().MessageWindowHandle();
    ASSERT_EQ(site->Object()->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(calls.destroyed, 1);
    EXPECT_FALSE(Object().ControlWidget());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(site->InPlaceActive());
    // Activated again, it gets a new window.
    ASSERT_EQ(site->Activate(), S_OK);
    EXPECT_EQ(calls.created, 2);
}

TEST_F(OleControlHost, TimerTicksReachTheAdvisedSinkAsEvents) {
    ASSERT_EQ(site->InitNew(), S_OK);
    std::vector<std::vector<Variant>> fired;
    ASSERT_EQ(site->AdviseEvents([&](DISPID id, std::vector<Variant>& args) {
        if (id == 1) fired.push_back(args);
        return S_OK;
    }),
              S_OK);
    Variant set;
    // No window yet: no timer.
    ASSERT_EQ(driver.Call(4, {Variant(int32_t{20})}, &set), S_OK);
    EXPECT_FALSE(set.Bool());
    ASSERT_EQ(site->Activate(), S_OK);
    ASSERT_EQ(driver.Call(4, {Variant(int32_t{20})}, &set), S_OK);
    EXPECT_TRUE(set.Bool());
    Pump(300);
    ASSERT_EQ(fired.size(), 2u);  // killed after the second tick
    EXPECT_EQ(fired[0][0].I4(), 7);
    EXPECT_EQ(fired[0][1].Bstr(), "tick");
}

TEST_F(OleControlHost, ThePropertiesVerbUsesTheSitesFrameElseTheControlsOwnPages) {
    EXPECT_EQ(site->ShowProperties(), S_OK);
    EXPECT_EQ(calls.pages, 1);
    IUnknown* shownFor = nullptr;
    site->SetPropertyFrame([&](IUnknown* control) {
        shownFor = control;
        return S_OK;
    });
    EXPECT_EQ(site->ShowProperties(), S_OK);
    EXPECT_EQ(calls.pages, 1);
    EXPECT_TRUE(shownFor);

    ComPtr<ISpecifyPropertyPages> pages = QueryAs<ISpecifyPropertyPages>(driver.Get());
    ASSERT_TRUE(pages);
    CAUUID list;
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.elements[0], CLSID_GaugePage);
    std::free(list.elements);

    // No browsing of its own: the browser's defaults.
    ComPtr<IPerPropertyBrowsing> browsing = QueryAs<IPerPropertyBrowsing>(driver.Get());
    ASSERT_TRUE(browsing);
    std::string text;
    EXPECT_EQ(browsing->GetDisplayString(1, &text), E_NOTIMPL);
    ComPtr<IProvideClassInfo2> info = QueryAs<IProvideClassInfo2>(driver.Get());
    Guid events{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_EQ(events, DIID_GaugeEvents);
}
