#pragma once
// The common part of every pin: connection negotiation, media type, identity and state hooks.
// A pin belongs to its filter and shares the filter's reference count: a reference to a pin keeps
// the filter alive, and the filter destroys its pins with itself.
//
// Negotiation (Connect on an output pin): with a complete media type only that type is tried;
// otherwise the receiving pin's preferred types, then this pin's own (GetMediaType), each matched
// against a partial type when one was given. For each candidate: CheckConnect, CheckMediaType,
// then the peer's ReceiveConnection, then CompleteConnect; a failure undoes the attempt.
//
// Threads: connection calls come from the graph's thread with the filter stopped; they hold the
// filter lock. State hooks (Active, Inactive, Run, Paused) are called by the filter with its lock.
#include <string>

#include "platform/com/ComPtr.h"
#include "platform/dshow/FilterInterfaces.h"

class BaseFilter;

class BasePin : public IPin {
public:
    BasePin(BaseFilter* filter, const char* name, PIN_DIRECTION direction);
    BasePin(const BasePin&) = delete;
    BasePin& operator=(const BasePin&) = delete;
    virtual ~BasePin();

    // IUnknown: the pin answers IPin (and its extra interfaces); counting goes to the filter.
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IPin
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(char* id, ULONG size) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // For the filter and derived pins.
    BaseFilter* Filter() const { return filter_; }
    const std::string& Name() const { return name_; }
    PIN_DIRECTION Direction() const { return direction_; }
    bool IsConnected() const { return connected_ != nullptr; }
    // The peer pin (no reference), or null.
    IPin* ConnectedPin() const { return connected_.Get(); }
    // The connection's media type; meaningful while connected.
    const AM_MEDIA_TYPE& CurrentMediaType() const { return type_; }

    // S_OK when this pin accepts the type, else an error or S_FALSE.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
    // The pin's preferred types in order: S_OK with the type, VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type);
    // The agreed type (after CheckMediaType accepted it).
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
    // Checks the peer before anything else (the base: opposite direction).
    virtual HRESULT CheckConnect(IPin* pin);
    // Undoes what CheckConnect / CompleteConnect set up.
    virtual HRESULT BreakConnect();
    // The connection is agreed on both sides; an output pin decides its allocator here.
    virtual HRESULT CompleteConnect(IPin* receivePin);

    // Stopped -> paused.
    virtual HRESULT Active();
    // Paused or running -> stopped.
    virtual HRESULT Inactive();
    // Paused -> running; `start` is the reference time of stream time 0.
    virtual HRESULT Run(REFERENCE_TIME start);
    // Running -> paused.
    virtual void Paused();

protected:
    // Interfaces beyond IPin (no reference added), or null; see WithInterfaces.
    virtual void* QueryExtraInterface(REFIID riid);

    REFERENCE_TIME segmentStart_ = 0;
    REFERENCE_TIME segmentStop_ = MAXLONGLONG;
    double segmentRate_ = 1.0;

private:
    HRESULT AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* type);
    HRESULT TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* pattern, IEnumMediaTypes* types);
    HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);
    bool FilterStopped() const;

    BaseFilter* filter_;
    std::string name_;
    PIN_DIRECTION direction_;
    ComPtr<IPin> connected_;
    AM_MEDIA_TYPE type_;
};
