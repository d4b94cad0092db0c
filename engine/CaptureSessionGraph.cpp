// Graph building: the two shapes (a scalable device behind "Smart Tee 2", a fixed-caps device
// with its own capture and preview pins), the file branches and the MPEG encoder set-up.
#include <cstdio>

#include "engine/CaptureSession.h"
#include "engine/HelperBlocks.h"
#include "platform/contracts/MpegEncoderInterfaces.h"
#include "platform/contracts/OverlayConfig.h"
#include "platform/com/ClassRegistry.h"
#include "platform/dshow/Uuids.h"
#include "platform/os/Folders.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Win32Error.h"

namespace {
// A broadcast whose file path or publishing address does not fit the helper's start block.
constexpr HRESULT kHelperFieldTooLong = HResultFromWin32(206);  // ERROR_FILENAME_EXCED_RANGE
}  // namespace

ComPtr<IBaseFilter> CCaptureSession::AddStockFilter(const CLSID& clsid, const char* name) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, &filter)) || !filter) return nullptr;
    if (FAILED(graph_->AddFilter(filter.Get(), name))) return nullptr;
    return filter;
}

// Overlay filters come only from their module, by class identifier.
ComPtr<IBaseFilter> CCaptureSession::AddOverlayFilter(const char* name) {
    return AddStockFilter(CLSID_OverlayTransformFilter, name);
}

// RenderStream, except that a missing source or sink is never handed to the builder: a null sink
// would render into a default renderer the shape never asked for. A missing optional sink (the
// outside MPEG encoder) leaves its branch out quietly; a missing file sink gives its own error.
HRESULT CCaptureSession::Render(ICaptureGraphBuilder2* builder, const Guid* category, const Guid* type,
                                IBaseFilter* source, IBaseFilter* intermediate, IBaseFilter* sink,
                                bool sinkOptional) {
    if (!source) return E_POINTER;
    if (!sink) return sinkOptional ? S_OK : (FAILED(sinkError_) ? sinkError_ : E_POINTER);
    return builder->RenderStream(category, type, source, intermediate, sink);
}

HRESULT CCaptureSession::CreateFileSink(ICaptureGraphBuilder2* builder) {
    sinkError_ = S_OK;
    if (outputType > 1) {
        ConfigureMpegEncoder(captureFileName);
        return S_OK;
    }
    const Guid& type = outputType == 0 ? MEDIASUBTYPE_Avi : MEDIASUBTYPE_Asf;
    ComPtr<IFileSinkFilter> sink;
    sinkError_ = builder->SetOutputFileName(&type, captureFileName.c_str(), mux_.ReleaseAndGetAddressOf(),
                                            sink.ReleaseAndGetAddressOf());
    muxWriter_ = QueryAs<IBaseFilter>(sink.Get());
    if (outputType == 1) {
        wmvFileName = captureFileName;
        if (mux_) {
            HRESULT hr = ConfigureAsfWriter(mux_.Get());
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

// The MPEG encoder serves both shapes (the scalable branch takes the one already made), so only
// the multiplexer and its writer go.
void CCaptureSession::RemoveFileSink() {
    if (mux_) graph_->RemoveFilter(mux_.Get());
    if (muxWriter_ && muxWriter_.Get() != mux_.Get()) graph_->RemoveFilter(muxWriter_.Get());
    mux_.Reset();
    muxWriter_.Reset();
}

HRESULT CCaptureSession::RouteInputs(ICaptureGraphBuilder2* builder, IBaseFilter* device, NameList* videoInputs,
                                     int videoInput, bool tunerFirst, bool* stop) {
    *stop = false;
    if (videoInput == -1) ListCrossbarInputs(builder, device, videoInputs);
    else RouteVideoInput(builder, device, videoInput);
    if (!tunerFirst) RouteTvAudio(builder, device, !tvMute);
    // A country code the tuner refuses ends the build here, successfully.
    if (IsTunerInput(builder, device, videoInput) && !SetupTuner(builder, device)) {
        *stop = true;
        return S_OK;
    }
    if (tunerFirst) RouteTvAudio(builder, device, !tvMute);
    return S_OK;
}

HRESULT CCaptureSession::BuildGraph(VideoFormatList& videoFormats, ICaptureGraphBuilder2* builder,
                                    IBaseFilter* videoDevice, IBaseFilter* audioDevice,
                                    IBaseFilter* videoCompressorFilter, IBaseFilter* audioCompressorFilter,
                                    NameList* videoInputs, int videoInput, int videoFormat) {
    if (!graph_ || !builder) return E_POINTER;
    HRESULT hr = builder->SetFiltergraph(graph_.Get());
    if (FAILED(hr)) return hr;
    mux_.Reset();
    muxWriter_.Reset();
    sinkError_ = S_OK;
    videoCompressorAdded_ = audioCompressorAdded_ = audioAdded_ = false;

    if (!videoDeviceName.empty() && videoDevice) graph_->AddFilter(videoDevice, videoDeviceName.c_str());
    if (outputType == 1) captureVideo = captureAudio = true;
    if (!audioDeviceName.empty() && audioDevice)
        audioAdded_ = SUCCEEDED(graph_->AddFilter(audioDevice, audioDeviceName.c_str()));

    if (captureVideo && captureMode && useVideoCompressor && !broadcast && !videoCompressorName.empty()) {
        hr = videoCompressorFilter ? graph_->AddFilter(videoCompressorFilter, videoCompressorName.c_str()) : E_POINTER;
        if (FAILED(hr)) return hr;
        videoCompressorAdded_ = true;
    }
    if (captureAudio && useAudioCompressor && !broadcast && !audioCompressorName.empty()) {
        hr = audioCompressorFilter ? graph_->AddFilter(audioCompressorFilter, audioCompressorName.c_str()) : E_POINTER;
        if (FAILED(hr)) return hr;
        audioCompressorAdded_ = true;
    }

    if (broadcast) {
        if (!captureMode) {
            std::string temp = GetTempFolder();
            if (temp.empty()) return E_FAIL;
            captureFileName = temp + "tmp.wmv";
        }
        // The file recorded is the file served.
        wmvFileName = captureFileName;
        // The start block has room for neither a longer path nor a longer address: refuse the
        // start rather than have the helper serve a cut-off path.
        if (!HelperStartFieldsFit(wmvFileName, publishingUrl)) return kHelperFieldTooLong;
        captureMode = captureVideo = captureAudio = true;
        outputType = 1;
    }

    // The sink follows the shape the previous format enumeration found.
    bool sinkForFixedShape = captureMode && !scalableSource;
    if (sinkForFixedShape) {
        hr = CreateFileSink(builder);
        if (FAILED(hr)) return hr;
    }

    if (videoDevice) {
        scalableSource = EnumerateVideoFormats(videoFormats, builder, videoDevice, videoFormat);
        if (audioDevice) SelectAudioInputPin(audioDevice, audioInputPin);
    }
    // When the device's shape differs from the previous one, the sink made above is wrong: a
    // scalable device writes through its own "AVI Mux 2", and a fixed-caps device needs one.
    if (captureMode && sinkForFixedShape && scalableSource) {
        RemoveFileSink();
    } else if (captureMode && !sinkForFixedShape && !scalableSource) {
        hr = CreateFileSink(builder);
        if (FAILED(hr)) return hr;
    }

    if (!videoDeviceName.empty()) {
        if (scalableSource) {
            if (useUserFormat) {
                SelectUserFormat(builder, videoDevice, userWidth, userHeight);
            } else if (videoFormat >= 0 && videoFormat < static_cast<int>(videoFormats.size())) {
                const VideoFormatEntry& entry = videoFormats[static_cast<size_t>(videoFormat)];
                ApplyFormatSize(videoDevice, entry.width, entry.height);
            }
            ComPtr<IBaseFilter> nullRenderer = AddStockFilter(CLSID_NullRenderer, "NullRenderer");
            ComPtr<IBaseFilter> tee = AddStockFilter(CLSID_SmartTee, "Smart Tee 2");
            Render(builder, nullptr, nullptr, videoDevice, nullptr, tee.Get(), false);
            if (captureMode) {
                // A custom profile that cannot be loaded ends the build here as in the other shape;
                // else Start would report a recording that never writes a byte.
                hr = BuildScalableFileBranch(builder, tee.Get(), audioDevice, videoCompressorFilter,
                                             audioCompressorFilter);
                if (FAILED(hr)) return hr;
            } else {
                Render(builder, nullptr, nullptr, tee.Get(), nullptr, nullRenderer.Get(), false);
            }
            // The preview is always there in this shape, whatever showPreview says.
            ComPtr<IBaseFilter> grabber;
            graph_->FindFilterByName("Grabber", grabber.ReleaseAndGetAddressOf());
            ComPtr<IBaseFilter> previewText = AddOverlayFilter("Preview Text Filter");
            if (previewText) {
                Render(builder, nullptr, nullptr, tee.Get(), nullptr, previewText.Get(), false);
                Render(builder, nullptr, nullptr, previewText.Get(), nullptr, grabber.Get(), false);
            } else {
                Render(builder, nullptr, nullptr, tee.Get(), nullptr, grabber.Get(), false);
            }
            if (grabber) builder->RenderStream(nullptr, nullptr, grabber.Get(), nullptr, nullptr);
        } else if (videoDevice) {
            ComPtr<IAMStreamConfig> config;
            builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, videoDevice, IAMStreamConfig::iid,
                                   config.ReleaseAndGetVoidAddress());
            if (config) {
                if (useUserFormat) SelectUserFormat(builder, videoDevice, userWidth, userHeight);
                else ApplyCapability(config.Get(), videoFormat, frameRate);
            }
        }
    }

    if (scalableSource) {
        bool stop = false;
        RouteInputs(builder, videoDevice, videoInputs, videoInput, true, &stop);
        return S_OK;
    }

    // Fixed-caps device: the preview pin.
    if (showPreview && captureVideo) {
        ComPtr<IBaseFilter> grabber;
        graph_->FindFilterByName("Grabber", grabber.ReleaseAndGetAddressOf());
        if (videoDevice && grabber) {
            ComPtr<IBaseFilter> previewText = AddOverlayFilter("Preview Text Filter");
            IBaseFilter* previewEnd = previewText ? previewText.Get() : grabber.Get();
            hr = Render(builder, &PIN_CATEGORY_PREVIEW, &MEDIATYPE_Interleaved, videoDevice, nullptr, previewEnd, false);
            if (FAILED(hr)) Render(builder, &PIN_CATEGORY_PREVIEW, nullptr, videoDevice, nullptr, previewEnd, false);
            if (previewText) Render(builder, nullptr, nullptr, previewText.Get(), nullptr, grabber.Get(), false);
            builder->RenderStream(nullptr, nullptr, grabber.Get(), nullptr, nullptr);
        }
    }

    if (captureMode) {
        if (captureVideo) {
            ComPtr<IBaseFilter> writeText;
            CoCreateInstance(CLSID_OverlayTransformFilter, nullptr, CLSCTX_INPROC_SERVER, &writeText);
            ComPtr<IBaseFilter> tee = AddStockFilter(CLSID_SmartTee, "Smart Tee");
            Render(builder, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, videoDevice, nullptr, tee.Get(), false);
            if (writeText && FAILED(graph_->AddFilter(writeText.Get(), "Write Text Filter"))) writeText.Reset();
            // Without the overlay module the file branch starts at the tee.
            HRESULT r = writeText ? Render(builder, nullptr, nullptr, tee.Get(), nullptr, writeText.Get(), false) : S_OK;
            IBaseFilter* textOut = writeText ? writeText.Get() : tee.Get();
            if (outputType > 1) {
                Render(builder, nullptr, nullptr, textOut, nullptr, mpegEncoder_.Get(), true);
            } else if (videoCompressorAdded_) {
                if (r != 0) return r;
                hr = Render(builder, nullptr, nullptr, textOut, nullptr, videoCompressorFilter, false);
                if (hr != 0) return hr;
                hr = Render(builder, nullptr, nullptr, videoCompressorFilter, nullptr, mux_.Get(), false);
                if (hr != 0) return hr;
            } else {
                Render(builder, nullptr, nullptr, textOut, nullptr, mux_.Get(), false);
            }
        }
        if (captureAudio) {
            bool stop = false;
            RouteInputs(builder, videoDevice, videoInputs, videoInput, false, &stop);
            if (stop) return S_OK;
            hr = S_OK;
            if (outputType > 1) {
                if (audioAdded_)
                    hr = Render(builder, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, audioDevice, nullptr,
                                mpegEncoder_.Get(), true);
            } else if (audioAdded_) {
                hr = Render(builder, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, audioDevice,
                            audioCompressorAdded_ ? audioCompressorFilter : nullptr, mux_.Get(), false);
            }
            if (hr != 0) return hr;
        }
    } else {
        ComPtr<IBaseFilter> nullRenderer = AddStockFilter(CLSID_NullRenderer, "NullRenderer");
        if (nullRenderer && videoDevice) {
            hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, videoDevice, nullptr,
                                       nullRenderer.Get());
            if (FAILED(hr))
                builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, videoDevice, nullptr, nullRenderer.Get());
        }
        bool stop = false;
        RouteInputs(builder, videoDevice, videoInputs, videoInput, false, &stop);
    }
    return S_OK;
}

HRESULT CCaptureSession::BuildScalableFileBranch(ICaptureGraphBuilder2* builder, IBaseFilter* tee,
                                                 IBaseFilter* audioDevice, IBaseFilter* videoCompressorFilter,
                                                 IBaseFilter* audioCompressorFilter) {
    IBaseFilter* audio = audioAdded_ ? audioDevice : nullptr;
    if (outputType == 0) {
        ComPtr<IBaseFilter> mux, writer;
        CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, &mux);
        CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, &writer);
        if (ComPtr<IFileSinkFilter> sink = QueryAs<IFileSinkFilter>(writer.Get()))
            sink->SetFileName(captureFileName.c_str(), nullptr);
        if (mux) graph_->AddFilter(mux.Get(), "AVI Mux 2");
        if (writer) graph_->AddFilter(writer.Get(), "File Writer 2");
        if (ComPtr<IConfigAviMux> config = QueryAs<IConfigAviMux>(mux.Get())) {
            config->SetOutputCompatibilityIndex(TRUE);
            config->SetMasterStream(captureAudio ? 1 : 0);
        }
        ComPtr<IBaseFilter> writeText = AddOverlayFilter("Write Text Filter");
        IBaseFilter* textOut = writeText ? writeText.Get() : tee;
        if (writeText) Render(builder, nullptr, nullptr, tee, nullptr, writeText.Get(), false);
        if (useVideoCompressor && videoCompressorAdded_) {
            Render(builder, nullptr, nullptr, textOut, nullptr, videoCompressorFilter, false);
            Render(builder, nullptr, nullptr, videoCompressorFilter, nullptr, mux.Get(), false);
        } else {
            Render(builder, nullptr, nullptr, textOut, nullptr, mux.Get(), false);
        }
        Render(builder, nullptr, nullptr, mux.Get(), nullptr, writer.Get(), false);
        if (captureAudio && audio) {
            if (useAudioCompressor && audioCompressorAdded_) {
                Render(builder, nullptr, nullptr, audio, nullptr, audioCompressorFilter, false);
                Render(builder, nullptr, nullptr, audioCompressorFilter, nullptr, mux.Get(), false);
            } else {
                Render(builder, nullptr, nullptr, audio, nullptr, mux.Get(), false);
            }
        }
        return S_OK;
    }
    if (outputType == 1) {
        ComPtr<IBaseFilter> writer;
        sinkError_ = CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_ALL, &writer);
        wmvFileName = captureFileName;
        if (writer) {
            graph_->AddFilter(writer.Get(), "ASF Writer");
            if (ComPtr<IFileSinkFilter2> sink = QueryAs<IFileSinkFilter2>(writer.Get()))
                sink->SetFileName(captureFileName.c_str(), nullptr);
            HRESULT hr = ConfigureAsfWriter(writer.Get());
            if (FAILED(hr)) return hr;
        }
        ComPtr<IBaseFilter> writeText = AddOverlayFilter("Write Text Filter");
        IBaseFilter* textOut = writeText ? writeText.Get() : tee;
        if (writeText) Render(builder, nullptr, nullptr, tee, nullptr, writeText.Get(), false);
        Render(builder, nullptr, nullptr, textOut, nullptr, writer.Get(), false);
        if (captureAudio && audio) Render(builder, nullptr, nullptr, audio, nullptr, writer.Get(), false);
        return S_OK;
    }
    if (!mpegEncoder_) ConfigureMpegEncoder(captureFileName);
    ComPtr<IBaseFilter> writeText = AddOverlayFilter("Write Text Filter");
    IBaseFilter* textOut = writeText ? writeText.Get() : tee;
    if (writeText) Render(builder, nullptr, nullptr, tee, nullptr, writeText.Get(), false);
    Render(builder, nullptr, nullptr, textOut, nullptr, mpegEncoder_.Get(), true);
    if (captureAudio && audio) Render(builder, nullptr, nullptr, audio, nullptr, mpegEncoder_.Get(), true);
    return S_OK;
}

void CCaptureSession::ConfigureMpegEncoder(const std::string& path) {
    ComPtr<IBaseFilter> encoder;
    if (FAILED(CoCreateInstance(CLSID_MpegEncoder, nullptr, CLSCTX_ALL, &encoder)) || !encoder) return;
    mpegEncoder_ = encoder;
    if (graph_) graph_->AddFilter(encoder.Get(), "vcd");

    ComPtr<IFileSinkFilter> sink = QueryAs<IFileSinkFilter>(encoder.Get());
    if (!sink) {
        MessageBox("Failed to set file name", {}, MB_OK);
        return;
    }
    sink->SetFileName(path.c_str(), nullptr);
    if (ComPtr<IMpegEncoderOutput> output = QueryAs<IMpegEncoderOutput>(encoder.Get()))
        output->SetOutputKind(outputType == 2 ? kMpegOutputMpeg1 : kMpegOutputMpeg2);
    if (ComPtr<IMpegEncoderSettings> settings = QueryAs<IMpegEncoderSettings>(encoder.Get())) {
        settings->SetPreset(0);
        settings->SetStreamType(outputType == 2 ? 1 : 2);
        settings->SetVideoSize(mpegWidth, mpegHeight);
        char rate[64];
        std::snprintf(rate, sizeof rate, "%f", static_cast<double>(mpegFrameRate));
        settings->SetFrameRate(rate);
        settings->SetVideoBitrate(mpegVideoBitrate);
        settings->SetMaxVideoBitrate(mpegVideoBitrate);
        settings->SetMinVideoBitrate(mpegVideoBitrate);
        settings->SetMaxDuration(3600000);
        settings->SetAudioChannels(mpegAudioChannels);
        settings->SetAudioBitrate(mpegAudioBitrate);
        settings->SetAudioSampleRate(mpegAudioSampleRate);
    }
}
