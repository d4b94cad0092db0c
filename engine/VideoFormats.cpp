#include "engine/VideoFormats.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/FormatNames.h"
#include "engine/VideoFormatPages.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"

namespace {

// More scalable sizes than this make the device count as scalable.
constexpr int kScalableSizeThreshold = 8;
constexpr int kMaxCapsBlock = 64 * 1024;

// A capability block read into a buffer of the size the pin reports, never smaller than the
// structure we read from it (a pin reporting a short block leaves the rest zero).
class CapsBuffer {
public:
    explicit CapsBuffer(int reportedSize)
        : bytes_(std::max<size_t>(sizeof(VIDEO_STREAM_CONFIG_CAPS),
                                  reportedSize > 0 ? static_cast<size_t>(reportedSize) : 0)) {}
    BYTE* Data() { return bytes_.data(); }
    VIDEO_STREAM_CONFIG_CAPS Caps() const {
        VIDEO_STREAM_CONFIG_CAPS caps;
        std::memcpy(&caps, bytes_.data(), sizeof caps);
        return caps;
    }
    void Clear() { std::fill(bytes_.begin(), bytes_.end(), BYTE{0}); }

private:
    std::vector<BYTE> bytes_;
};

// Reads capability `index`; false when the pin refuses it (S_FALSE past the end counts as a
// refusal too).
bool ReadCapability(IAMStreamConfig* config, int index, AM_MEDIA_TYPE& type, CapsBuffer& caps) {
    caps.Clear();
    type = AM_MEDIA_TYPE();
    return config->GetStreamCaps(index, &type, caps.Data()) == S_OK;
}

bool CapabilityCount(IAMStreamConfig* config, int& count, int& size) {
    count = 0;
    size = 0;
    if (!config || FAILED(config->GetNumberOfCapabilities(&count, &size))) return false;
    // A block size no capability structure comes near is a broken answer, not a buffer to make.
    if (size > kMaxCapsBlock) return false;
    if (count < 0) count = 0;
    return true;
}

// The sizes of one preview capability that count towards scalability. A minimum width of 0 gives
// no ratio and a granularity of 0 means the pin does not step in that direction: such a
// dimension is taken at its minimum only, so the count stays finite and divides by nothing.
int CountScalableSizes(const VIDEO_STREAM_CONFIG_CAPS& caps) {
    const int64_t minX = caps.MinOutputSize.cx, minY = caps.MinOutputSize.cy;
    const int64_t maxX = caps.MaxOutputSize.cx, maxY = caps.MaxOutputSize.cy;
    const int64_t stepX = caps.OutputGranularityX, stepY = caps.OutputGranularityY;
    if (minX <= 0) return 0;
    const double ratio = static_cast<double>(minY) / static_cast<double>(minX);
    int count = 0;
    for (int64_t m = minX; m < maxX; m += stepX) {
        const int64_t w = m + minX;
        const auto h = static_cast<int64_t>(static_cast<double>(w) * ratio);
        const bool wFits = stepX <= 0 || w % stepX == 0;
        const bool hFits = stepY <= 0 || h % stepY == 0;
        if (w <= maxX && h <= maxY && wFits && hFits) ++count;
        if (stepX <= 0) break;
    }
    return count;
}

// The name a fixed-caps capability or a current format goes by: the FourCC of a compressed
// format, else the name of its subtype.
bool IsUncompressed(const BITMAPINFOHEADER& header) {
    // BI_BITFIELDS is RGB with colour masks (RGB565, ...): no FourCC to print.
    return header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS;
}

std::string FixedTypeName(const BITMAPINFOHEADER& header, const Guid& subtype) {
    return IsUncompressed(header) ? FixedSubtypeName(subtype) : FourCCName(header.biCompression);
}

ComPtr<ICaptureGraphBuilder2> BuilderFor(IGraphBuilder* graph) {
    ComPtr<ICaptureGraphBuilder2> builder;
    if (FAILED(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder)) || !builder) return nullptr;
    if (FAILED(builder->SetFiltergraph(graph))) return nullptr;
    return builder;
}

// Finds `riid` on the capture pin: through the builder when there is one, else on the pin found
// by walking the device's pins.
HRESULT FindOnCapturePin(ICaptureGraphBuilder2* builder, IBaseFilter* device, const Guid* type,
                         REFIID riid, void** object) {
    if (builder) return builder->FindInterface(&PIN_CATEGORY_CAPTURE, type, device, riid, object);
    StreamConfigs configs = FindStreamConfigs(device);
    if (!configs.capture) return E_NOINTERFACE;
    return configs.capture->QueryInterface(riid, object);
}

// Disconnects and removes every filter downstream of `filter`, the farthest first.
void RemoveDownstream(IGraphBuilder* graph, IBaseFilter* filter, int depth = 0) {
    if (depth > 64) return;  // a graph is never this deep; a cycle must not recurse for ever
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) return;
    std::vector<ComPtr<IPin>> outputs;
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
        ComPtr<IPin> held;
        held.Attach(pin);
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (SUCCEEDED(held->QueryDirection(&direction)) && direction == PINDIR_OUTPUT) outputs.push_back(held);
    }
    for (const ComPtr<IPin>& output : outputs) {
        ComPtr<IPin> peer;
        if (FAILED(output->ConnectedTo(peer.ReleaseAndGetAddressOf())) || !peer) continue;
        PIN_INFO info;
        if (FAILED(peer->QueryPinInfo(&info)) || !info.pFilter) continue;
        RemoveDownstream(graph, info.pFilter.Get(), depth + 1);
        output->Disconnect();
        peer->Disconnect();
        graph->RemoveFilter(info.pFilter.Get());
    }
}

void StopGraph(IGraphBuilder* graph) {
    if (ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph)) control->Stop();
}

}  // namespace

StreamConfigs FindStreamConfigs(IBaseFilter* device) {
    StreamConfigs configs;
    if (!device) return configs;
    ComPtr<IEnumPins> pins;
    if (FAILED(device->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) return configs;
    ComPtr<IPin> capturePin, previewPin;
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (!(capturePin && previewPin && configs.analogInput) && pins->Next(1, &pin, &fetched) == S_OK &&
           fetched == 1) {
        ComPtr<IPin> held;
        held.Attach(pin);
        ComPtr<IKsPropertySet> properties = QueryAs<IKsPropertySet>(held.Get());
        if (!properties) continue;
        Guid category;
        DWORD returned = 0;
        if (FAILED(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                                   sizeof category, &returned)))
            continue;
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (FAILED(held->QueryDirection(&direction))) continue;
        if (direction == PINDIR_INPUT) {
            if (category == PIN_CATEGORY_ANALOGVIDEOIN && !configs.analogInput) configs.analogInput = held;
        } else if (category == PIN_CATEGORY_CAPTURE) {
            if (!capturePin) capturePin = held;
        } else if (category == PIN_CATEGORY_PREVIEW || category == PIN_CATEGORY_VIDEOPORT) {
            if (!previewPin) previewPin = held;
        }
    }
    if (capturePin) configs.capture = QueryAs<IAMStreamConfig>(capturePin.Get());
    if (previewPin) configs.preview = QueryAs<IAMStreamConfig>(previewPin.Get());
    return configs;
}

bool EnumerateVideoFormats(VideoFormatList& formats, ICaptureGraphBuilder2* builder, IBaseFilter* device,
                           int chosenIndex) {
    StreamConfigs configs = FindStreamConfigs(device);

    int count = 0, size = 0;
    if (configs.preview && CapabilityCount(configs.preview.Get(), count, size)) {
        // The list always describes this device alone: a rebuild at the next start must not pile
        // a second copy of the fixed sizes onto the first.
        formats.clear();
        int scalableSizes = 0;
        CapsBuffer buffer(size);
        for (int i = 0; i < count; ++i) {
            AM_MEDIA_TYPE type;
            if (!ReadCapability(configs.preview.Get(), i, type, buffer)) continue;
            if (type.majortype != MEDIATYPE_Video) continue;
            const VIDEO_STREAM_CONFIG_CAPS caps = buffer.Caps();
            const std::string name = ScalableSubtypeName(type.subtype);
            for (const FixedFormatSize& fixed : kFixedFormatSizes)
                formats.push_back({name + FixedSizeSuffix(fixed), fixed.height, fixed.width, 24, type.subtype});
            scalableSizes += CountScalableSizes(caps);
        }
        if (scalableSizes > kScalableSizeThreshold) return true;
    }

    formats.clear();
    ComPtr<IAMStreamConfig> config;
    if (FAILED(FindOnCapturePin(builder, device, nullptr, IID_IAMStreamConfig, config.ReleaseAndGetVoidAddress())) ||
        !config)
        return false;
    if (!CapabilityCount(config.Get(), count, size)) return false;
    CapsBuffer buffer(size);
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE type;
        if (!ReadCapability(config.Get(), i, type, buffer)) continue;
        const VIDEOINFOHEADER* vih = type.VideoInfo();
        if (!vih) continue;  // no bitmap header to name or size it by
        const VIDEO_STREAM_CONFIG_CAPS caps = buffer.Caps();
        const BITMAPINFOHEADER& header = vih->bmiHeader;
        VideoFormatEntry entry;
        entry.name = FixedTypeName(header, type.subtype) + " " +
                     SizeText(caps.MaxOutputSize.cx, caps.MaxOutputSize.cy);
        entry.height = header.biHeight;
        entry.width = header.biWidth;
        entry.bitCount = header.biBitCount;
        entry.subtype = type.subtype;
        formats.push_back(std::move(entry));
        if (i == chosenIndex) config->SetFormat(&type);
    }
    return false;
}

namespace {

// Sets the size on one configuration's current format; false when it has no video format.
bool SetSize(IAMStreamConfig* config, int32_t width, int32_t height, HRESULT& result) {
    AM_MEDIA_TYPE type;
    if (FAILED(config->GetFormat(&type)) || type.formattype != FORMAT_VideoInfo) return false;
    VIDEOINFOHEADER* vih = type.VideoInfo();
    if (!vih) return false;
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    // The image size follows the new size, so buffers are allocated for the frames that come.
    if (DWORD image = DibImageSize(vih->bmiHeader)) {
        vih->bmiHeader.biSizeImage = image;
        type.lSampleSize = image;
    }
    result = config->SetFormat(&type);
    return true;
}

int SubtypeRank(const Guid& subtype) {
    static const Guid kRanked[] = {MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB565,
                                   MEDIASUBTYPE_RGB555, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY};
    for (int i = 0; i < static_cast<int>(std::size(kRanked)); ++i)
        if (kRanked[i] == subtype) return i;
    return static_cast<int>(std::size(kRanked));
}

enum class AnalogClass { Ntsc, Pal, Secam, Other };

AnalogClass ClassifyStandard(IBaseFilter* device) {
    ComPtr<IAMAnalogVideoDecoder> decoder = QueryAs<IAMAnalogVideoDecoder>(device);
    LONG standard = 0;
    if (!decoder || FAILED(decoder->get_TVFormat(&standard))) return AnalogClass::Other;
    if (standard & 0x0000000F) return AnalogClass::Ntsc;
    if (standard & 0x00100FF0) return AnalogClass::Pal;
    if (standard & 0x000FF000) return AnalogClass::Secam;
    return AnalogClass::Other;
}

}  // namespace

HRESULT ApplyFormatSize(IBaseFilter* device, int32_t width, int32_t height) {
    StreamConfigs configs = FindStreamConfigs(device);
    if (!configs.capture) return E_POINTER;
    HRESULT result = E_FAIL;  // nothing was set: no video format to size
    SetSize(configs.capture.Get(), width, height, result);
    if (configs.preview) SetSize(configs.preview.Get(), width, height, result);
    return result;
}

void SelectUserFormat(ICaptureGraphBuilder2* builder, IBaseFilter* device, int32_t width, int32_t height) {
    ComPtr<IAMStreamConfig> config;
    if (FAILED(FindOnCapturePin(builder, device, nullptr, IID_IAMStreamConfig, config.ReleaseAndGetVoidAddress())) ||
        !config)
        return;

    AM_MEDIA_TYPE chosen;
    int bestRank = SubtypeRank(GUID_NULL);
    int count = 0, size = 0;
    if (CapabilityCount(config.Get(), count, size)) {
        CapsBuffer buffer(size);
        for (int i = 0; i < count; ++i) {
            AM_MEDIA_TYPE type;
            if (!ReadCapability(config.Get(), i, type, buffer)) continue;
            int rank = SubtypeRank(type.subtype);
            if (rank < bestRank) {
                bestRank = rank;
                chosen = std::move(type);
            }
        }
    }
    if (bestRank == SubtypeRank(GUID_NULL) && FAILED(config->GetFormat(&chosen))) return;

    const AnalogClass standard = ClassifyStandard(device);
    if (chosen.formattype != FORMAT_VideoInfo) return;
    VIDEOINFOHEADER* vih = chosen.VideoInfo();
    if (!vih) return;
    vih->AvgTimePerFrame = standard == AnalogClass::Ntsc ? 333667 : 400000;
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    const int64_t packed = static_cast<int64_t>(width) * vih->bmiHeader.biBitCount * height / 8;
    // RGB rows are padded to four bytes: a packed size would be short of the frame whenever the
    // row is not a multiple of four bytes.
    const int64_t padded = vih->bmiHeader.biCompression == BI_RGB ? DibImageSize(vih->bmiHeader) : 0;
    const int64_t image = std::max(packed, padded);
    vih->bmiHeader.biSizeImage = image > 0 && image <= 0x7FFFFFFF ? static_cast<DWORD>(image) : 0;
    chosen.lSampleSize = vih->bmiHeader.biSizeImage;
    config->SetFormat(&chosen);
}

HRESULT ApplyCapability(IAMStreamConfig* config, int index, int32_t frameRate) {
    if (!config) return E_POINTER;
    int count = 0, size = 0;
    if (!CapabilityCount(config, count, size)) return E_FAIL;
    if (count == 0) return S_FALSE;  // nothing to apply
    const bool chosen = index != -1;
    if (!chosen) index = count - 1;
    if (index < 0 || index >= count) return E_INVALIDARG;
    CapsBuffer buffer(size);
    AM_MEDIA_TYPE type;
    if (!ReadCapability(config, index, type, buffer)) return E_FAIL;
    // A rate of 0 or below has no interval: the capability keeps its own.
    if (chosen && frameRate > 0) {
        if (VIDEOINFOHEADER* vih = type.VideoInfo()) vih->AvgTimePerFrame = 10000000 / frameRate;
    }
    return config->SetFormat(&type);
}

std::string ShowVideoFormatPage(IGraphBuilder* graph, const std::string& videoDeviceName) {
    if (!graph) return {};
    ComPtr<IBaseFilter> device;
    if (FAILED(graph->FindFilterByName(videoDeviceName.c_str(), device.ReleaseAndGetAddressOf())) || !device)
        return {};
    ComPtr<ICaptureGraphBuilder2> builder = BuilderFor(graph);

    // The driver's dialogs belong to the capture pin's filter: asked there when no pin answers.
    ComPtr<IAMVfwCaptureDialogs> dialogs;
    FindOnCapturePin(builder.Get(), device.Get(), &MEDIATYPE_Video, IAMVfwCaptureDialogs::iid,
                     dialogs.ReleaseAndGetVoidAddress());
    if (!dialogs) dialogs = QueryAs<IAMVfwCaptureDialogs>(device.Get());
    if (dialogs && dialogs->HasDialog(VfwCaptureDialog_Format) == S_OK) {
        StopGraph(graph);
        RemoveDownstream(graph, device.Get());
        dialogs->ShowDialog(VfwCaptureDialog_Format, 0);
        return {};
    }

    ComPtr<IAMStreamConfig> config;
    FindOnCapturePin(builder.Get(), device.Get(), &MEDIATYPE_Video, IID_IAMStreamConfig,
                     config.ReleaseAndGetVoidAddress());
    if (!config) return {};
    StopGraph(graph);
    RemoveDownstream(graph, device.Get());

    // The pages the configuration names; without any, the platform's own format page.
    CAUUID pages;
    if (ComPtr<ISpecifyPropertyPages> specify = QueryAs<ISpecifyPropertyPages>(config.Get()))
        specify->GetPages(&pages);
    Guid formatPage = CLSID_OrvantaStreamFormatPage;
    CAUUID shown = pages.count ? pages : CAUUID{1, &formatPage};
    ShowPropertyFrame(0, "", config.Get(), shown);
    std::free(pages.elements);

    AM_MEDIA_TYPE type;
    if (FAILED(config->GetFormat(&type))) return {};
    config->SetFormat(&type);
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    if (!vih) return {};
    const BITMAPINFOHEADER& header = vih->bmiHeader;
    std::string name = IsUncompressed(header) ? RgbSubtypeName(type.subtype) : FourCCName(header.biCompression);
    return name + " " + SizeText(header.biWidth, header.biHeight);
}

int ShowCaptureDevicePage(IGraphBuilder* graph, const std::string& videoDeviceName) {
    if (!graph) return 0;
    ComPtr<IBaseFilter> device;
    if (FAILED(graph->FindFilterByName(videoDeviceName.c_str(), device.ReleaseAndGetAddressOf())) || !device)
        return 0;
    if (ComPtr<ISpecifyPropertyPages> specify = QueryAs<ISpecifyPropertyPages>(device.Get())) {
        CAUUID pages;
        if (SUCCEEDED(specify->GetPages(&pages))) {
            FILTER_INFO info;
            device->QueryFilterInfo(&info);
            ShowPropertyFrame(0, info.achName, device.Get(), pages);
        }
        std::free(pages.elements);
    }
    return 1;
}
