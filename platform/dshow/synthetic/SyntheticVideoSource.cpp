#include "platform/dshow/synthetic/SyntheticVideoSource.h"

#include <algorithm>
#include <cstring>

#include "platform/dshow/Uuids.h"

SyntheticVideoPin::SyntheticVideoPin(SyntheticVideoSource* source, const char* name, const Guid& category)
    : SourcePin(source, name, category), source_(source) {}

HRESULT SyntheticVideoPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    return *type == source_->MediaType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SyntheticVideoPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = source_->MediaType();
    return S_OK;
}

HRESULT SyntheticVideoPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    // A capture device's ring of buffers.
    request->cBuffers = std::max<LONG>(request->cBuffers, 4);
    return SourcePin::DecideBufferSize(allocator, request);
}

HRESULT SyntheticVideoPin::Active() {
    frame_ = 0;
    return SourcePin::Active();
}

HRESULT SyntheticVideoPin::FillBuffer(IMediaSample* sample) {
    const SyntheticVideoFormat& format = source_->Format();
    uint64_t n = frame_;
    if (format.frameLimit && n >= format.frameLimit) return S_FALSE;
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(n) * format.frameInterval;
    HRESULT hr = WaitForStreamTime(start);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const std::vector<BYTE>& picture = source_->Picture();
    if (static_cast<LONG>(picture.size()) > sample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    std::memcpy(data, picture.data(), picture.size());
    uint32_t number = static_cast<uint32_t>(n);
    uint32_t check = ~number;
    std::memcpy(data, &number, 4);
    std::memcpy(data + 4, &check, 4);
    REFERENCE_TIME stop = start + format.frameInterval;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetActualDataLength(static_cast<LONG>(picture.size()));
    frame_ = n + 1;
    return S_OK;
}

SyntheticVideoSource::SyntheticVideoSource(const SyntheticVideoFormat& format)
    : SourceFilter(CLSID_OrvantaSyntheticVideo), format_(format) {
    AM_MEDIA_TYPE type = MediaType();
    picture_.resize(type.lSampleSize);
    // Diagonal colour ramps: cheap to make, and any scaling or row-order mistake shows.
    for (size_t i = 0; i < picture_.size(); ++i) picture_[i] = static_cast<BYTE>((i * 7 + i / 1024) & 0xFF);
    capture_ = AddPin(std::make_unique<SyntheticVideoPin>(this, "Capture", PIN_CATEGORY_CAPTURE));
    if (format_.previewPin) preview_ = AddPin(std::make_unique<SyntheticVideoPin>(this, "Preview", PIN_CATEGORY_PREVIEW));
}

AM_MEDIA_TYPE SyntheticVideoSource::MediaType() const {
    return MakeVideoType(format_.subtype, format_.width, format_.height, format_.frameInterval);
}

int64_t SyntheticVideoSource::FrameNumberOf(const BYTE* data, size_t size) {
    if (!data || size < 8) return -1;
    uint32_t number, check;
    std::memcpy(&number, data, 4);
    std::memcpy(&check, data + 4, 4);
    return check == ~number ? static_cast<int64_t>(number) : -1;
}
