// Graph building: the two shapes (a scalable device behind "Smart Tee 2", a fixed-caps device
// with its own capture and preview pins), the file branches and the MPEG encoder set-up.
#include <cstdio>

#include "engine/CaptureSession.h"
#include "engine/HelperBlocks.h"
#include "platform/base/Log.h"
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

namespace {
std::string NameOf(IBaseFilter* filter) {
    if (!filter) return "(none)";
    FILTER_INFO info;
    if (FAILED(filter->QueryFilterInfo(&info))) return "(unnamed)";
    return info.achName;
}
}  // namespace

HRESULT CCaptureSession::Check(HRESULT hr, const std::string& step) {
    if (FAILED(hr)) {
        LogDebug("engine", "graph: " + step + " failed (" + HResultText(hr) + ")");
        if (lastFailure_.empty()) lastFailure_ = step + " failed (" + HResultText(hr) + ")";
    } else if (LogEnabled(LogLevel::Debug, "engine")) {
        LogDebug("engine", "graph: " + step + (hr == S_OK ? "" : " (" + HResultText(hr) + ")"));
    }
    return hr;
}

HRESULT CCaptureSession::AddStockFilter(const CLSID& clsid, const char* name, ComPtr<IBaseFilter>* filter) {
    filter->Reset();
    ComPtr<IBaseFilter> created;
    HRESULT hr = Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, &created), std::string("creating ") + name);
    if (FAILED(hr)) return hr;
    if (!created) return Check(E_POINTER, std::string("creating ") + name);
    hr = Check(graph_->AddFilter(created.Get(), name), std::string("adding ") + name);
    if (FAILED(hr)) return hr;
    *filter = created;
    return hr;
}

// Overlay filters come only from their module, by class identifier. Without the module the
// branch goes without its overlay (said in the log); a filter that cannot join the graph fails.
HRESULT CCaptureSession::AddOverlayFilter(const char* name, ComPtr<IBaseFilter>* filter) {
    filter->Reset();
    ComPtr<IBaseFilter> created;
    HRESULT hr = CoCreateInstance(CLSID_OverlayTransformFilter, nullptr, CLSCTX_INPROC_SERVER, &created);
    if (FAILED(hr) || !created) {
        LogWarning("engine", std::string("no overlay filter for \"") + name + "\" (" + HResultText(hr) +
                                 "): the branch goes without text, date and image");
        return S_FALSE;
    }
    hr = Check(graph_->AddFilter(created.Get(), name), std::string("adding ") + name);
    if (SUCCEEDED(hr)) *filter = created;
    return hr;
}

// RenderStream, except that a missing source or sink is never handed to the builder: a null sink
// would render into a default renderer the shape never asked for. A missing optional sink (the
// outside MPEG encoder) leaves its branch out quietly; a missing file sink gives its own error.
HRESULT CCaptureSession::Render(ICaptureGraphBuilder2* builder, const Guid* category, const Guid* type,
                                IBaseFilter* source, IBaseFilter* intermediate, IBaseFilter* sink,
                                bool sinkOptional) {
    const std::string step = "connecting " + NameOf(source) + (intermediate ? " -> " + NameOf(intermediate) : "") +
                             " -> " + NameOf(sink);
    if (!source) return Check(E_POINTER, step);
    if (!sink) return sinkOptional ? S_OK : Check(FAILED(sinkError_) ? sinkError_ : E_POINTER, step);
    return Check(builder->RenderStream(category, type, source, intermediate, sink), step);
}

HRESULT CCaptureSession::CreateFileSink(ICaptureGraphBuilder2* builder) {
    sinkError_ = S_OK;
    if (outputType > 1) return ConfigureMpegEncoder(captureFileName);
    const Guid& type = outputType == 0 ? MEDIASUBTYPE_Avi : MEDIASUBTYPE_Asf;
    ComPtr<IFileSinkFilter> sink;
    sinkError_ = Check(builder->SetOutputFileName(&type, captureFileName.c_str(), mux_.ReleaseAndGetAddressOf(),
                                                  sink.ReleaseAndGetAddressOf()),
                       "creating the file sink for " + captureFileName);
    if (FAILED(sinkError_)) return sinkError_;
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
    lastFailure_.clear();
    HRESULT hr = Check(builder->SetFiltergraph(graph_.Get()), "SetFiltergraph");
    if (FAILED(hr)) return hr;
    mux_.Reset();
    muxWriter_.Reset();
    sinkError_ = S_OK;
    videoCompressorAdded_ = audioCompressorAdded_ = audioAdded_ = false;

    if (!videoDeviceName.empty() && videoDevice) {
        hr = Check(graph_->AddFilter(videoDevice, videoDeviceName.c_str()), "adding \"" + videoDeviceName + "\"");
        if (FAILED(hr)) return hr;
    }
    if (outputType == 1) captureVideo = captureAudio = true;
    if (!audioDeviceName.empty() && audioDevice)
        audioAdded_ = SUCCEEDED(Check(graph_->AddFilter(audioDevice, audioDeviceName.c_str()),
                                      "adding \"" + audioDeviceName + "\""));

    if (captureVideo && captureMode && useVideoCompressor && !broadcast && !videoCompressorName.empty()) {
        hr = Check(videoCompressorFilter ? graph_->AddFilter(videoCompressorFilter, videoCompressorName.c_str()) : E_POINTER,
                   "adding \"" + videoCompressorName + "\"");
        if (FAILED(hr)) return hr;
        videoCompressorAdded_ = true;
    }
    if (captureAudio && useAudioCompressor && !broadcast && !audioCompressorName.empty()) {
        hr = Check(audioCompressorFilter ? graph_->AddFilter(audioCompressorFilter, audioCompressorName.c_str()) : E_POINTER,
                   "adding \"" + audioCompressorName + "\"");
        if (FAILED(hr)) return hr;
        audioCompressorAdded_ = true;
    }

    if (broadcast) {
        if (!captureMode) {
            std::string temp = GetTempFolder();
            if (temp.empty()) return Check(E_FAIL, "finding the temporary folder");
            captureFileName = temp + "tmp.wmv";
        }
        // The file recorded is the file served.
        wmvFileName = captureFileName;
        // The start block has room for neither a longer path nor a longer address: refuse the
        // start rather than have the helper serve a cut-off path.
        if (!HelperStartFieldsFit(wmvFileName, publishingUrl))
            return Check(kHelperFieldTooLong, "fitting the file name and address into the helper's start block");
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
            ComPtr<IBaseFilter> nullRenderer, tee;
            if (FAILED(hr = AddStockFilter(CLSID_NullRenderer, "NullRenderer", &nullRenderer))) return hr;
            if (FAILED(hr = AddStockFilter(CLSID_SmartTee, "Smart Tee 2", &tee))) return hr;
            if (FAILED(hr = Render(builder, nullptr, nullptr, videoDevice, nullptr, tee.Get(), false))) return hr;
            if (captureMode) {
                // A custom profile that cannot be loaded ends the build here as in the other shape;
                // else Start would report a recording that never writes a byte.
                hr = BuildScalableFileBranch(builder, tee.Get(), audioDevice, videoCompressorFilter,
                                             audioCompressorFilter);
                if (FAILED(hr)) return hr;
            } else {
                hr = Render(builder, nullptr, nullptr, tee.Get(), nullptr, nullRenderer.Get(), false);
                if (FAILED(hr)) return hr;
            }
            // The preview is always there in this shape, whatever showPreview says.
            ComPtr<IBaseFilter> grabber;
            graph_->FindFilterByName("Grabber", grabber.ReleaseAndGetAddressOf());
            ComPtr<IBaseFilter> previewText;
            if (FAILED(hr = AddOverlayFilter("Preview Text Filter", &previewText))) return hr;
            if (previewText) {
                if (FAILED(hr = Render(builder, nullptr, nullptr, tee.Get(), nullptr, previewText.Get(), false))) return hr;
                if (FAILED(hr = Render(builder, nullptr, nullptr, previewText.Get(), nullptr, grabber.Get(), false)))
                    return hr;
            } else if (FAILED(hr = Render(builder, nullptr, nullptr, tee.Get(), nullptr, grabber.Get(), false))) {
                return hr;
            }
            if (grabber) {
                hr = Check(builder->RenderStream(nullptr, nullptr, grabber.Get(), nullptr, nullptr),
                           "connecting Grabber -> the video renderer");
                if (FAILED(hr)) return hr;
            }
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
            ComPtr<IBaseFilter> previewText;
            if (FAILED(hr = AddOverlayFilter("Preview Text Filter", &previewText))) return hr;
            IBaseFilter* previewEnd = previewText ? previewText.Get() : grabber.Get();
            // An interleaved preview pin first (a DV device), else the preview pin of any type.
            hr = builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Interleaved, videoDevice, nullptr, previewEnd);
            if (FAILED(hr)) hr = Render(builder, &PIN_CATEGORY_PREVIEW, nullptr, videoDevice, nullptr, previewEnd, false);
            if (FAILED(hr)) return hr;
            if (previewText && FAILED(hr = Render(builder, nullptr, nullptr, previewText.Get(), nullptr, grabber.Get(), false)))
                return hr;
            hr = Check(builder->RenderStream(nullptr, nullptr, grabber.Get(), nullptr, nullptr),
                       "connecting Grabber -> the video renderer");
            if (FAILED(hr)) return hr;
        }
    }

    if (captureMode) {
        if (captureVideo) {
            ComPtr<IBaseFilter> tee, writeText;
            if (FAILED(hr = AddStockFilter(CLSID_SmartTee, "Smart Tee", &tee))) return hr;
            hr = Render(builder, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, videoDevice, nullptr, tee.Get(), false);
            if (FAILED(hr)) return hr;
            // Without the overlay module the file branch starts at the tee.
            if (FAILED(hr = AddOverlayFilter("Write Text Filter", &writeText))) return hr;
            if (writeText && FAILED(hr = Render(builder, nullptr, nullptr, tee.Get(), nullptr, writeText.Get(), false)))
                return hr;
            IBaseFilter* textOut = writeText ? writeText.Get() : tee.Get();
            if (outputType > 1) {
                hr = Render(builder, nullptr, nullptr, textOut, nullptr, mpegEncoder_.Get(), false);
                if (FAILED(hr)) return hr;
            } else if (videoCompressorAdded_) {
                hr = Render(builder, nullptr, nullptr, textOut, nullptr, videoCompressorFilter, false);
                if (FAILED(hr)) return hr;
                hr = Render(builder, nullptr, nullptr, videoCompressorFilter, nullptr, mux_.Get(), false);
                if (FAILED(hr)) return hr;
            } else {
                hr = Render(builder, nullptr, nullptr, textOut, nullptr, mux_.Get(), false);
                if (FAILED(hr)) return hr;
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
                                mpegEncoder_.Get(), false);
            } else if (audioAdded_) {
                hr = Render(builder, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, audioDevice,
                            audioCompressorAdded_ ? audioCompressorFilter : nullptr, mux_.Get(), false);
            }
            if (FAILED(hr)) return hr;
        }
    } else {
        ComPtr<IBaseFilter> nullRenderer;
        if (FAILED(hr = AddStockFilter(CLSID_NullRenderer, "NullRenderer", &nullRenderer))) return hr;
        if (videoDevice) {
            hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, videoDevice, nullptr,
                                       nullRenderer.Get());
            if (FAILED(hr))
                hr = Render(builder, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, videoDevice, nullptr, nullRenderer.Get(),
                            false);
            if (FAILED(hr)) return hr;
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
    HRESULT hr = S_OK;
    // The file sink of this output type, then the overlay between the tee and it.
    ComPtr<IBaseFilter> sink, writer;
    if (outputType == 0) {
        if (FAILED(hr = AddStockFilter(CLSID_AviDest, "AVI Mux 2", &sink))) return hr;
        if (FAILED(hr = AddStockFilter(CLSID_FileWriter, "File Writer 2", &writer))) return hr;
        ComPtr<IFileSinkFilter> file = QueryAs<IFileSinkFilter>(writer.Get());
        hr = Check(file ? file->SetFileName(captureFileName.c_str(), nullptr) : E_NOINTERFACE,
                   "naming the output file " + captureFileName);
        if (FAILED(hr)) return hr;
        if (ComPtr<IConfigAviMux> config = QueryAs<IConfigAviMux>(sink.Get())) {
            config->SetOutputCompatibilityIndex(TRUE);
            config->SetMasterStream(captureAudio ? 1 : 0);
        }
    } else if (outputType == 1) {
        // The ASF writer may come from any server context.
        ComPtr<IBaseFilter> asf;
        sinkError_ = hr = Check(CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_ALL, &asf), "creating ASF Writer");
        wmvFileName = captureFileName;
        if (FAILED(hr)) return hr;
        if (FAILED(hr = Check(graph_->AddFilter(asf.Get(), "ASF Writer"), "adding ASF Writer"))) return hr;
        ComPtr<IFileSinkFilter2> file = QueryAs<IFileSinkFilter2>(asf.Get());
        hr = Check(file ? file->SetFileName(captureFileName.c_str(), nullptr) : E_NOINTERFACE,
                   "naming the output file " + captureFileName);
        if (FAILED(hr)) return hr;
        if (FAILED(hr = Check(ConfigureAsfWriter(asf.Get()), "configuring ASF Writer from the profile"))) return hr;
        sink = asf;
    } else {
        if (!mpegEncoder_ && FAILED(hr = ConfigureMpegEncoder(captureFileName))) return hr;
        sink = mpegEncoder_;
    }
    ComPtr<IBaseFilter> writeText;
    if (FAILED(hr = AddOverlayFilter("Write Text Filter", &writeText))) return hr;
    IBaseFilter* textOut = writeText ? writeText.Get() : tee;
    if (writeText && FAILED(hr = Render(builder, nullptr, nullptr, tee, nullptr, writeText.Get(), false))) return hr;

    if (outputType == 0 && useVideoCompressor && videoCompressorAdded_) {
        if (FAILED(hr = Render(builder, nullptr, nullptr, textOut, nullptr, videoCompressorFilter, false))) return hr;
        if (FAILED(hr = Render(builder, nullptr, nullptr, videoCompressorFilter, nullptr, sink.Get(), false))) return hr;
    } else if (FAILED(hr = Render(builder, nullptr, nullptr, textOut, nullptr, sink.Get(), false))) {
        return hr;
    }
    if (writer && FAILED(hr = Render(builder, nullptr, nullptr, sink.Get(), nullptr, writer.Get(), false))) return hr;
    if (captureAudio && audio) {
        if (outputType == 0 && useAudioCompressor && audioCompressorAdded_) {
            if (FAILED(hr = Render(builder, nullptr, nullptr, audio, nullptr, audioCompressorFilter, false))) return hr;
            hr = Render(builder, nullptr, nullptr, audioCompressorFilter, nullptr, sink.Get(), false);
        } else {
            hr = Render(builder, nullptr, nullptr, audio, nullptr, sink.Get(), false);
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CCaptureSession::ConfigureMpegEncoder(const std::string& path) {
    ComPtr<IBaseFilter> encoder;
    HRESULT hr = Check(CoCreateInstance(CLSID_MpegEncoder, nullptr, CLSCTX_ALL, &encoder), "creating the MPEG encoder");
    if (SUCCEEDED(hr) && !encoder) hr = Check(E_POINTER, "creating the MPEG encoder");
    if (FAILED(hr)) {
        sinkError_ = hr;
        return hr;
    }
    mpegEncoder_ = encoder;
    if (graph_ && FAILED(hr = Check(graph_->AddFilter(encoder.Get(), "vcd"), "adding the MPEG encoder"))) {
        sinkError_ = hr;
        return hr;
    }

    ComPtr<IFileSinkFilter> sink = QueryAs<IFileSinkFilter>(encoder.Get());
    if (!sink) {
        MessageBox("Failed to set file name", {}, MB_OK);
        return S_FALSE;
    }
    std::vector<std::pair<const char*, HRESULT>> steps;
    steps.emplace_back("SetFileName", sink->SetFileName(path.c_str(), nullptr));
    if (ComPtr<IMpegEncoderOutput> output = QueryAs<IMpegEncoderOutput>(encoder.Get()))
        steps.emplace_back("SetOutputKind", output->SetOutputKind(outputType == 2 ? kMpegOutputMpeg1 : kMpegOutputMpeg2));
    if (ComPtr<IMpegEncoderSettings> settings = QueryAs<IMpegEncoderSettings>(encoder.Get())) {
        steps.emplace_back("SetPreset", settings->SetPreset(0));
        steps.emplace_back("SetStreamType", settings->SetStreamType(outputType == 2 ? 1 : 2));
        steps.emplace_back("SetVideoSize", settings->SetVideoSize(mpegWidth, mpegHeight));
        char rate[64];
        std::snprintf(rate, sizeof rate, "%f", static_cast<double>(mpegFrameRate));
        steps.emplace_back("SetFrameRate", settings->SetFrameRate(rate));
        steps.emplace_back("SetVideoBitrate", settings->SetVideoBitrate(mpegVideoBitrate));
        steps.emplace_back("SetMaxVideoBitrate", settings->SetMaxVideoBitrate(mpegVideoBitrate));
        steps.emplace_back("SetMinVideoBitrate", settings->SetMinVideoBitrate(mpegVideoBitrate));
        steps.emplace_back("SetMaxDuration", settings->SetMaxDuration(3600000));
        steps.emplace_back("SetAudioChannels", settings->SetAudioChannels(mpegAudioChannels));
        steps.emplace_back("SetAudioBitrate", settings->SetAudioBitrate(mpegAudioBitrate));
        steps.emplace_back("SetAudioSampleRate", settings->SetAudioSampleRate(mpegAudioSampleRate));
    }
    // Every call is made in its order; the first refusal fails the build.
    for (const auto& [step, result] : steps) {
        if (FAILED(Check(result, std::string("MPEG encoder ") + step))) {
            sinkError_ = result;
            return result;
        }
    }
    return S_OK;
}
