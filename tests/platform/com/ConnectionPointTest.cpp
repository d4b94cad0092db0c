#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/ConnectionPointList.h"
#include "platform/com/DispatchMap.h"
#include "platform/com/DispatchObject.h"
#include "platform/com/EventSink.h"
#include "tests/platform/com/AutomationTestObjects.h"

using automation_test::RefCount;

namespace {

constexpr IID DIID__DSourceEvents = MakeGuid("{C3E5A7B9-1D2F-4A6C-8E0B-2D4F6A8C0E13}");
constexpr DISPID kCapturing = 1;
constexpr DISPID kClientConnected = 2;

struct _DSource : IDispatch {
    static constexpr IID iid = MakeGuid("{D4F6B8C0-2E3A-4B7D-9F1C-3E5A7B9D1F24}");
    using Base = IDispatch;

protected:
    ~_DSource() = default;
};

// An event source as a control is one: a dispatch interface, an event interface and property
// change notifications.
class Source final : public DispatchObject<Source, _DSource, IConnectionPointContainer> {
public:
    Source() {
        points_.Add(DIID__DSourceEvents);
        points_.Add(IPropertyNotifySink::iid);
    }
    static const DispatchTable& GetDispatchTable() {
        static const DispatchTable table = [] {
            DispatchMap<Source> map(_DSource::iid, "_DSource");
            map.Property(
                1, "Device", [](Source& s) { return s.device; },
                [](Source& s, int16_t value) {
                    if (!s.Points().Find(IPropertyNotifySink::iid)->FireOnRequestEdit(1)) {
                        throw DispatchError(CTL_E_SETNOTSUPPORTED);
                    }
                    s.device = value;
                    s.Points().Find(IPropertyNotifySink::iid)->FireOnChanged(1);
                });
            return map.Build();
        }();
        return table;
    }

    HRESULT EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return points_.EnumConnectionPoints(e);
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** p) override {
        return points_.FindConnectionPoint(iid, p);
    }

    size_t FireCapturing(int32_t frame, int32_t dropped) {
        return points_.FireEvent(DIID__DSourceEvents, kCapturing,
                                 {Variant(frame), Variant(dropped)});
    }
    ConnectionPointList& Points() { return points_; }

    int16_t device = 0;

private:
    ConnectionPointList points_{this};
};

// What one sink received.
struct Received {
    std::vector<std::string> events;
};

ComPtr<EventSink> RecordingSink(Received& received, std::string name) {
    return MakeCom<EventSink>(DIID__DSourceEvents,
                              [&received, name](DISPID id, std::vector<Variant>& args) {
                                  std::string line = name + " " + std::to_string(id);
                                  for (const Variant& a : args) line += " " + a.Describe();
                                  received.events.push_back(line);
                                  return S_OK;
                              });
}

}  // namespace

TEST(ConnectionPoint, EventsReachEveryAdvisedSink) {
    ComPtr<Source> source = MakeCom<Source>();
    // No sink: firing does nothing.
    EXPECT_EQ(source->FireCapturing(1, 0), 0u);

    Received received;
    ComPtr<EventSink> first = RecordingSink(received, "first");
    DWORD firstCookie = 0;
    ASSERT_EQ(
        AdviseSink(source->GetUnknown(), DIID__DSourceEvents, first->GetUnknown(), &firstCookie),
        S_OK);
    EXPECT_NE(firstCookie, 0u);
    EXPECT_EQ(source->FireCapturing(12, 3), 1u);
    ASSERT_EQ(received.events.size(), 1u);
    // Arguments arrive in declaration order.
    EXPECT_EQ(received.events[0], "first 1 VT_I4 12 VT_I4 3");

    ComPtr<EventSink> second = RecordingSink(received, "second");
    DWORD secondCookie = 0;
    ASSERT_EQ(
        AdviseSink(source->GetUnknown(), DIID__DSourceEvents, second->GetUnknown(), &secondCookie),
        S_OK);
    EXPECT_NE(secondCookie, firstCookie);
    received.events.clear();
    EXPECT_EQ(source->Points().FireEvent(DIID__DSourceEvents, kClientConnected,
                                         {Variant(int16_t{2}), Variant("a;b")}),
              2u);
    EXPECT_EQ(received.events, (std::vector<std::string>{"first 2 VT_I2 2 VT_BSTR \"a;b\"",
                                                         "second 2 VT_I2 2 VT_BSTR \"a;b\""}));

    ASSERT_EQ(UnadviseSink(source->GetUnknown(), DIID__DSourceEvents, firstCookie), S_OK);
    EXPECT_EQ(UnadviseSink(source->GetUnknown(), DIID__DSourceEvents, firstCookie),
              CONNECT_E_NOCONNECTION);
    received.events.clear();
    EXPECT_EQ(source->FireCapturing(5, 0), 1u);
    EXPECT_EQ(received.events, (std::vector<std::string>{"second 1 VT_I4 5 VT_I4 0"}));
    // The point held the sink: unadvising gave the reference back.
    EXPECT_EQ(RefCount(first->GetUnknown()), 1u);
    EXPECT_EQ(RefCount(second->GetUnknown()), 2u);
}

TEST(ConnectionPoint, ASinkMayUnadviseWhileAnEventRuns) {
    ComPtr<Source> source = MakeCom<Source>();
    Received received;
    DWORD cookies[3] = {};
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(source->FindConnectionPoint(DIID__DSourceEvents, point.ReleaseAndGetAddressOf()),
              S_OK);

    // The first sink drops itself and the third one, and is the only reference to itself.
    ComPtr<EventSink> dropper =
        MakeCom<EventSink>(DIID__DSourceEvents, [&](DISPID, std::vector<Variant>&) {
            received.events.push_back("dropper");
            EXPECT_EQ(point->Unadvise(cookies[0]), S_OK);
            EXPECT_EQ(point->Unadvise(cookies[2]), S_OK);
            return S_OK;
        });
    ComPtr<EventSink> middle = RecordingSink(received, "middle");
    ComPtr<EventSink> last = RecordingSink(received, "last");
    ASSERT_EQ(point->Advise(dropper->GetUnknown(), &cookies[0]), S_OK);
    ASSERT_EQ(point->Advise(middle->GetUnknown(), &cookies[1]), S_OK);
    ASSERT_EQ(point->Advise(last->GetUnknown(), &cookies[2]), S_OK);
    dropper.Reset();

    EXPECT_EQ(source->FireCapturing(1, 0), 2u);
    EXPECT_EQ(received.events, (std::vector<std::string>{"dropper", "middle 1 VT_I4 1 VT_I4 0"}));
    received.events.clear();
    EXPECT_EQ(source->FireCapturing(2, 0), 1u);
    EXPECT_EQ(received.events, (std::vector<std::string>{"middle 1 VT_I4 2 VT_I4 0"}));
}

TEST(ConnectionPoint, PointsAreFoundAndEnumerated) {
    ComPtr<Source> source = MakeCom<Source>();
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(source->FindConnectionPoint(_DSource::iid, point.ReleaseAndGetAddressOf()),
              CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(point);
    ASSERT_EQ(source->FindConnectionPoint(DIID__DSourceEvents, point.ReleaseAndGetAddressOf()),
              S_OK);
    IID iid;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID__DSourceEvents);
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(point->GetConnectionPointContainer(container.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(QueryAs<IUnknown>(container.Get()).Get(), source->GetUnknown());

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(source->EnumConnectionPoints(points.ReleaseAndGetAddressOf()), S_OK);
    IConnectionPoint* found[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    found[0]->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, DIID__DSourceEvents);
    found[1]->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, IPropertyNotifySink::iid);
    found[0]->Release();
    found[1]->Release();

    // A sink that does not answer the interface cannot connect.
    ComPtr<automation_test::PlainObject> plain = MakeCom<automation_test::PlainObject>();
    DWORD cookie = 5;
    EXPECT_EQ(point->Advise(plain->GetUnknown(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);

    // The connections, each with its cookie and a reference for the caller.
    Received received;
    ComPtr<EventSink> a = RecordingSink(received, "a");
    ComPtr<EventSink> b = RecordingSink(received, "b");
    DWORD cookieA = 0;
    DWORD cookieB = 0;
    point->Advise(a->GetUnknown(), &cookieA);
    point->Advise(b->GetUnknown(), &cookieB);
    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(connections.ReleaseAndGetAddressOf()), S_OK);
    CONNECTDATA data[2];
    ASSERT_EQ(connections->Next(2, data, &fetched), S_OK);
    EXPECT_EQ(data[0].dwCookie, cookieA);
    EXPECT_EQ(data[1].dwCookie, cookieB);
    // Ours, the point's, the enumerator's snapshot and the one handed out.
    EXPECT_EQ(RefCount(a->GetUnknown()), 4u);
    data[0].pUnk->Release();
    data[1].pUnk->Release();
    ComPtr<IEnumConnections> clone;
    ASSERT_EQ(connections->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(clone->Next(1, data, nullptr), S_FALSE);
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Skip(1), S_OK);
    ASSERT_EQ(clone->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].dwCookie, cookieB);
    data[0].pUnk->Release();
}

TEST(ConnectionPoint, PropertyChangesNotifyAndMayBeRefused) {
    ComPtr<Source> source = MakeCom<Source>();
    std::vector<DISPID> changed;
    bool allow = true;
    ComPtr<PropertyNotifySink> sink = MakeCom<PropertyNotifySink>(
        [&](DISPID id) { changed.push_back(id); }, [&](DISPID) { return allow; });
    DWORD cookie = 0;
    ASSERT_EQ(
        AdviseSink(source->GetUnknown(), IPropertyNotifySink::iid, sink->GetUnknown(), &cookie),
        S_OK);

    DISPID named = DISPID_PROPERTYPUT;
    Variant value(int16_t{4});
    DISPPARAMS params{&value, &named, 1, 1};
    IDispatch* d = static_cast<_DSource*>(source.Get());
    EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(source->device, 4);
    EXPECT_EQ(changed, std::vector<DISPID>{1});

    allow = false;
    value = Variant(int16_t{9});
    EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(source->device, 4);
    EXPECT_EQ(changed.size(), 1u);

    // Dispatch events never go to a property sink, nor property notifications to event sinks.
    EXPECT_EQ(source->Points().Find(IPropertyNotifySink::iid)->FireEvent(1, {}), 0u);
    Received received;
    ComPtr<EventSink> events = RecordingSink(received, "events");
    AdviseSink(source->GetUnknown(), DIID__DSourceEvents, events->GetUnknown(), &cookie);
    source->Points().Find(DIID__DSourceEvents)->FireOnChanged(1);
    EXPECT_TRUE(received.events.empty());
}

TEST(ConnectionPoint, APointOutlivingItsSourceIsHarmless) {
    Received received;
    ComPtr<EventSink> sink = RecordingSink(received, "sink");
    ComPtr<IConnectionPoint> point;
    {
        ComPtr<Source> source = MakeCom<Source>();
        ASSERT_EQ(source->FindConnectionPoint(DIID__DSourceEvents, point.ReleaseAndGetAddressOf()),
                  S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(sink->GetUnknown(), &cookie), S_OK);
        EXPECT_EQ(RefCount(sink->GetUnknown()), 2u);
    }
    // The source went: its sinks were let go and the point answers without it.
    EXPECT_EQ(RefCount(sink->GetUnknown()), 1u);
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(point->GetConnectionPointContainer(container.ReleaseAndGetAddressOf()), E_UNEXPECTED);
    EXPECT_FALSE(container);
}
