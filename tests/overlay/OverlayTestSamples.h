#pragma once
// Stand-ins around the filter: an upstream output pin to connect its input to, samples with
// buffers the test owns (and answers it can spoil), and an allocator that grants less than asked.
#include <optional>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/SampleInterfaces.h"

namespace overlay_test {

class UpstreamPin final : public ComObject<IPin> {
public:
    HRESULT Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT Disconnect() override { return S_OK; }
    HRESULT ConnectedTo(IPin**) override { return VFW_E_NOT_CONNECTED; }
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    HRESULT QueryPinInfo(PIN_INFO* info) override {
        info->dir = PINDIR_OUTPUT;
        return S_OK;
    }
    HRESULT QueryDirection(PIN_DIRECTION* direction) override {
        *direction = PINDIR_OUTPUT;
        return S_OK;
    }
    HRESULT QueryId(char*, ULONG) override { return E_NOTIMPL; }
    HRESULT QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    HRESULT QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT EndOfStream() override { return S_OK; }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }
    HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
};

class TestSample final : public ComObject<IMediaSample> {
public:
    explicit TestSample(size_t size) : buffer(size) {}

    HRESULT GetPointer(BYTE** out) override {
        if (pointerResult != S_OK) return pointerResult;
        *out = buffer.data();
        return S_OK;
    }
    LONG GetSize() override { return static_cast<LONG>(buffer.size()); }
    HRESULT GetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override {
        if (!start) return VFW_E_SAMPLE_TIME_NOT_SET;
        *s = *start;
        *e = stop ? *stop : *start + 1;
        return stop ? S_OK : VFW_S_NO_STOP_TIME;
    }
    HRESULT SetTime(const REFERENCE_TIME* s, const REFERENCE_TIME* e) override {
        start = s ? std::optional(*s) : std::nullopt;
        stop = s && e ? std::optional(*e) : std::nullopt;
        return S_OK;
    }
    HRESULT IsSyncPoint() override { return syncAnswer ? *syncAnswer : (sync ? S_OK : S_FALSE); }
    HRESULT SetSyncPoint(BOOL v) override {
        sync = v;
        return S_OK;
    }
    HRESULT IsPreroll() override { return preroll ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL v) override {
        preroll = v;
        return S_OK;
    }
    LONG GetActualDataLength() override { return actual; }
    HRESULT SetActualDataLength(LONG length) override {
        if (length > GetSize()) return VFW_E_BUFFER_OVERFLOW;
        actual = length;
        return S_OK;
    }
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override {
        if (!mediaType) return S_FALSE;
        *type = *mediaType;
        return S_OK;
    }
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override {
        mediaType = type ? std::optional(*type) : std::nullopt;
        return S_OK;
    }
    HRESULT IsDiscontinuity() override { return discontinuity ? S_OK : S_FALSE; }
    HRESULT SetDiscontinuity(BOOL v) override {
        discontinuity = v;
        return S_OK;
    }
    HRESULT GetMediaTime(LONGLONG* s, LONGLONG* e) override {
        if (!mediaStart) return VFW_E_MEDIA_TIME_NOT_SET;
        *s = *mediaStart;
        *e = *mediaStop;
        return S_OK;
    }
    HRESULT SetMediaTime(const LONGLONG* s, const LONGLONG* e) override {
        mediaStart = s ? std::optional(*s) : std::nullopt;
        mediaStop = s && e ? std::optional(*e) : std::nullopt;
        return S_OK;
    }

    std::vector<BYTE> buffer;
    LONG actual = 0;
    std::optional<REFERENCE_TIME> start, stop;
    std::optional<LONGLONG> mediaStart, mediaStop;
    bool sync = false, preroll = false, discontinuity = false;
    std::optional<HRESULT> syncAnswer;
    HRESULT pointerResult = S_OK;
    std::optional<AM_MEDIA_TYPE> mediaType;
};

// Records the request and grants `granted` (or refuses with `refusal`).
class StingyAllocator final : public ComObject<IMemAllocator> {
public:
    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        requested = *request;
        if (FAILED(refusal)) return refusal;
        *actual = granted ? *granted : *request;
        return S_OK;
    }
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override {
        *props = current;
        return S_OK;
    }
    HRESULT Commit() override { return S_OK; }
    HRESULT Decommit() override { return S_OK; }
    HRESULT GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override { return E_NOTIMPL; }
    HRESULT ReleaseBuffer(IMediaSample*) override { return S_OK; }

    ALLOCATOR_PROPERTIES current;
    ALLOCATOR_PROPERTIES requested;
    std::optional<ALLOCATOR_PROPERTIES> granted;
    HRESULT refusal = S_OK;
};

}  // namespace overlay_test
