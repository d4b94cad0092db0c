#include "platform/dshow/base/MediaSample.h"

#include <cstring>

#include "platform/dshow/base/MemAllocator.h"

MediaSample::MediaSample(MemAllocator* allocator, BYTE* buffer, LONG size)
    : pool_(allocator), buffer_(buffer), size_(size) {}

MediaSample::~MediaSample() = default;

HRESULT MediaSample::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMediaSample || riid == IID_IMediaSample2) {
        *object = static_cast<IMediaSample2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG MediaSample::AddRef() { return ++refs_; }

ULONG MediaSample::Release() {
    ULONG left = --refs_;
    if (left == 0) {
        // Back to the pool. The allocator may go with the last sample, and this sample with it:
        // nothing of this object is touched after ReturnSample.
        ComPtr<MemAllocator> owner = std::move(outFrom_);
        if (owner) owner->ReturnSample(this);
    }
    return left;
}

void MediaSample::HandOut(ComPtr<MemAllocator> allocator) {
    outFrom_ = std::move(allocator);
    refs_ = 1;
    actual_ = 0;
    flags_ = 0;
    mediaTimeValid_ = false;
    start_ = stop_ = 0;
    mediaStart_ = mediaStop_ = 0;
    streamId_ = 0;
    type_.reset();
}

HRESULT MediaSample::ShareBuffer(IMediaSample* source) {
    if (!source) return E_POINTER;
    BYTE* data = nullptr;
    HRESULT hr = source->GetPointer(&data);
    if (FAILED(hr)) return hr;
    shared_ = source;
    buffer_ = data;
    size_ = source->GetSize();
    actual_ = source->GetActualDataLength();
    return S_OK;
}

HRESULT MediaSample::GetPointer(BYTE** buffer) {
    if (!buffer) return E_POINTER;
    *buffer = buffer_;
    return buffer_ ? S_OK : VFW_E_BUFFER_NOTSET;
}

LONG MediaSample::GetSize() { return size_; }

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    if (!start || !stop) return E_POINTER;
    if (!(flags_ & AM_SAMPLE_TIMEVALID)) return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = start_;
    if (!(flags_ & AM_SAMPLE_STOPVALID)) {
        *stop = start_ + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *stop = stop_;
    return S_OK;
}

HRESULT MediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
    if (!start) {
        flags_ &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
        return S_OK;
    }
    start_ = *start;
    flags_ |= AM_SAMPLE_TIMEVALID;
    if (stop) {
        stop_ = *stop;
        flags_ |= AM_SAMPLE_STOPVALID;
    } else {
        flags_ &= ~AM_SAMPLE_STOPVALID;
    }
    return S_OK;
}

HRESULT MediaSample::IsSyncPoint() { return (flags_ & AM_SAMPLE_SPLICEPOINT) ? S_OK : S_FALSE; }

HRESULT MediaSample::SetSyncPoint(BOOL syncPoint) {
    flags_ = syncPoint ? (flags_ | AM_SAMPLE_SPLICEPOINT) : (flags_ & ~AM_SAMPLE_SPLICEPOINT);
    return S_OK;
}

HRESULT MediaSample::IsPreroll() { return (flags_ & AM_SAMPLE_PREROLL) ? S_OK : S_FALSE; }

HRESULT MediaSample::SetPreroll(BOOL preroll) {
    flags_ = preroll ? (flags_ | AM_SAMPLE_PREROLL) : (flags_ & ~AM_SAMPLE_PREROLL);
    return S_OK;
}

LONG MediaSample::GetActualDataLength() { return actual_; }

HRESULT MediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
    actual_ = length;
    return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (!type_) return S_FALSE;
    *type = *type_;
    return S_OK;
}

HRESULT MediaSample::SetMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) {
        type_.reset();
        flags_ &= ~AM_SAMPLE_TYPECHANGED;
        return S_OK;
    }
    type_ = std::make_unique<AM_MEDIA_TYPE>(*type);
    flags_ |= AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

HRESULT MediaSample::IsDiscontinuity() { return (flags_ & AM_SAMPLE_DATADISCONTINUITY) ? S_OK : S_FALSE; }

HRESULT MediaSample::SetDiscontinuity(BOOL discontinuity) {
    flags_ = discontinuity ? (flags_ | AM_SAMPLE_DATADISCONTINUITY) : (flags_ & ~AM_SAMPLE_DATADISCONTINUITY);
    return S_OK;
}

HRESULT MediaSample::GetMediaTime(LONGLONG* start, LONGLONG* stop) {
    if (!start || !stop) return E_POINTER;
    if (!mediaTimeValid_) return VFW_E_MEDIA_TIME_NOT_SET;
    *start = mediaStart_;
    *stop = mediaStop_;
    return S_OK;
}

HRESULT MediaSample::SetMediaTime(const LONGLONG* start, const LONGLONG* stop) {
    if (!start) {
        mediaTimeValid_ = false;
        return S_OK;
    }
    if (!stop) return E_POINTER;
    mediaStart_ = *start;
    mediaStop_ = *stop;
    mediaTimeValid_ = true;
    return S_OK;
}

HRESULT MediaSample::GetProperties(DWORD size, BYTE* properties) {
    if (!properties) return E_POINTER;
    AM_SAMPLE2_PROPERTIES props;
    props.dwSampleFlags = flags_;
    props.lActual = actual_;
    props.tStart = start_;
    props.tStop = stop_;
    props.dwStreamId = streamId_;
    props.pMediaType = type_.get();
    props.pbBuffer = buffer_;
    props.cbBuffer = size_;
    std::memcpy(properties, &props, size < sizeof props ? size : sizeof props);
    return S_OK;
}

HRESULT MediaSample::SetProperties(DWORD size, const BYTE* properties) {
    if (!properties) return E_POINTER;
    AM_SAMPLE2_PROPERTIES props;
    if (size > sizeof props) size = sizeof props;
    std::memcpy(&props, properties, size);
    if (props.lActual < 0 || props.lActual > size_) return VFW_E_BUFFER_OVERFLOW;
    flags_ = props.dwSampleFlags & ~AM_SAMPLE_TYPECHANGED;
    if (props.pMediaType && (props.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) SetMediaType(props.pMediaType);
    actual_ = props.lActual;
    start_ = props.tStart;
    stop_ = props.tStop;
    streamId_ = props.dwStreamId;
    return S_OK;
}
