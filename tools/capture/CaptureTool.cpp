#include "tools/capture/CaptureTool.h"

#include <QApplication>
#include <QHostAddress>
#include <QNetworkInterface>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/base/Log.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/Unknown.h"
#include "platform/os/EventWait.h"
#include "tools/capture/MediaDuration.h"
#include "tools/capture/ScreenCommand.h"

namespace fs = std::filesystem;

namespace {

// Whether `file` can be written, without leaving a file behind that was not there; why not.
std::optional<std::string> WhyNotWritable(const fs::path& file) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return "it is a folder";
    const fs::path folder = file.parent_path();
    if (!fs::is_directory(folder, ec)) return "the folder " + folder.string() + " does not exist";
    const bool existed = fs::exists(file, ec);
    FILE* f = std::fopen(file.c_str(), "ab");
    if (!f) return std::string(std::strerror(errno));
    std::fclose(f);
    if (!existed) fs::remove(file, ec);
    return std::nullopt;
}

// The address players on other machines open: the first IPv4 address that is not loopback.
std::string LocalAddress() {
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a.toString().toStdString();
    return "127.0.0.1";
}

// Where the overlays go on the picture, from its top left corner.
constexpr int16_t kTextX = 8, kTextY = 8;
constexpr int16_t kDateX = 8, kDateY = 28;
constexpr int16_t kLogoX = 8, kLogoY = 52;
// Magenta is the logo's transparent colour: it is rare in logos, unlike white or black.
constexpr uint32_t kLogoTransparent = 0xFF00FF;
constexpr int16_t kLogoAlpha = 255;

}  // namespace

int CaptureTool::Fail(const std::string& message) {
    err_ << "orvanta-capture: " << message << "\n";
    return 1;
}

int CaptureTool::Run(const std::vector<std::string>& args) {
    // The screen recorder drives its own control; it needs nothing of the capture control.
    if (!args.empty() && args[0] == "screen") {
        ScreenParseResult screen = ParseScreenArguments({args.begin() + 1, args.end()});
        if (!screen.request) {
            err_ << "orvanta-capture: " << screen.error << "\n" << CaptureUsage() << ScreenUsage();
            return 2;
        }
        return RunScreenCommand(*screen.request, out_, err_, programFolder_);
    }
    ParseResult parsed = ParseCaptureArguments(args);
    if (!parsed.request) {
        err_ << "orvanta-capture: " << parsed.error << "\n" << CaptureUsage() << ScreenUsage();
        return 2;
    }
    if (!RegisterModules()) return 1;
    CaptureControl control;
    if (!CreateControl(control)) return 1;
    const CaptureRequest& request = *parsed.request;
    switch (request.command) {
    case CaptureCommand::List:
        return List(control);
    case CaptureCommand::Record:
        return Record(control, request);
    case CaptureCommand::Snapshot:
        return Snapshot(control, request);
    case CaptureCommand::Broadcast:
        return Broadcast(control, request);
    }
    return 1;
}

bool CaptureTool::RegisterModules() {
    // As the program's start-up does: every module of the program folder registers itself.
    for (const char* name : {"Grabwell.so", "Lamina.so", "Torvane.so"}) {
        const fs::path file = programFolder_ / name;
        HMODULE module = nullptr;
        if (HRESULT hr = LoadModule(file, module); FAILED(hr)) {
            Fail("cannot load " + file.string() + ": " + LastModuleError());
            return false;
        }
        auto registerServer = GetProcAddressAs<DllRegisterServerFn>(module, "DllRegisterServer");
        HRESULT hr = registerServer ? registerServer() : E_PROC_NOT_FOUND;
        // Kept loaded for the tool's life: the class registry would load it again at the first
        // creation, and unloading a module drops what its static objects hold.
        modules_.push_back(module);
        if (FAILED(hr)) {
            Fail("registering " + file.string() + " failed (" + HResultText(hr) + ")");
            return false;
        }
    }
    return true;
}

bool CaptureTool::CreateControl(CaptureControl& control) {
    CaptureControl::Handlers handlers;
    handlers.capturing = [this](int32_t seconds, int32_t dropped) {
        if (seconds == lastSecond_) return;
        lastSecond_ = seconds;
        out_ << "capturing: " << seconds << " s, " << dropped << " frames dropped" << std::endl;
    };
    handlers.clientConnected = [this](int16_t clients, const std::string& addresses) {
        out_ << "clients: " << clients << (addresses.empty() ? "" : " (" + addresses + ")") << std::endl;
    };
    handlers.captureError = [this](int32_t, const std::string& text) { captureError_ = text; };
    std::string step;
    if (HRESULT hr = control.Create(handlers, &step); FAILED(hr)) {
        Fail(step + " failed (" + HResultText(hr) + ")");
        return false;
    }
    return true;
}

bool CaptureTool::Set(CaptureControl& control, const std::string& property, Variant value) {
    if (HRESULT hr = control.Put(property, std::move(value)); FAILED(hr)) {
        Fail("the control refused " + property + " (" + HResultText(hr) + ")");
        return false;
    }
    return true;
}

bool CaptureTool::SelectDevice(CaptureControl& control, const std::optional<std::string>& name) {
    int index = 0;
    if (name) {
        index = control.Find("Devices", "FindDeviceName", *name);
        if (index < 0) {
            Fail("unknown video device \"" + *name + "\" (see `orvanta-capture list`)");
            return false;
        }
    } else if (control.Names("Devices", "FindDeviceName").empty()) {
        Fail("there is no video capture device");
        return false;
    }
    if (!Set(control, "Device", static_cast<int16_t>(index))) return false;
    // The formats and inputs of the chosen device, as the control's calling order asks.
    if (HRESULT hr = control.Call("RefreshDevice"); FAILED(hr)) {
        Fail("RefreshDevice failed (" + HResultText(hr) + ")");
        return false;
    }
    return true;
}

bool CaptureTool::Start(CaptureControl& control) {
    int64_t result = control.CallForInteger("Start", {}, 1);
    if (result == 0) return true;
    if (result == -2)
        Fail("the control has no output file to record to (Start returned -2)");
    else if (result == -1 && captureError_)
        Fail(*captureError_ + " (Start returned -1)");
    else if (result == -1)
        Fail("the capture could not be started (Start returned -1)");
    else
        Fail("calling Start failed");
    return false;
}

int CaptureTool::List(CaptureControl& control) {
    auto print = [this](const std::string& title, const std::vector<std::string>& names, const char* indent) {
        out_ << indent << title << ":\n";
        if (names.empty()) out_ << indent << "  (none)\n";
        for (size_t i = 0; i < names.size(); ++i) out_ << indent << "  " << i << ": " << names[i] << "\n";
    };
    const std::vector<std::string> devices = control.Names("Devices", "FindDeviceName");
    out_ << "Video devices:\n";
    if (devices.empty()) out_ << "  (none)\n";
    for (size_t i = 0; i < devices.size(); ++i) {
        out_ << "  " << i << ": " << devices[i] << "\n";
        if (!Set(control, "Device", static_cast<int16_t>(i)) || FAILED(control.Call("RefreshDevice"))) return 1;
        print("formats", control.Names("VideoFormats", "FindVideoFormatName"), "      ");
    }
    print("Audio devices", control.Names("AudioDevices", "FindDeviceName"), "");
    print("Video compressors", control.Names("VideoCompressors", "FindVideoCompressorName"), "");
    print("Audio compressors", control.Names("AudioCompressors", "FindAudioCompressorName"), "");
    const std::vector<std::string> profiles = control.Names("WMVProfiles", "FindWMVProfileName");
    const std::vector<std::string> descriptions = control.Names("WMVProfiles", "FindWMVProfileDesc");
    out_ << "WMV profiles:\n";
    if (profiles.empty()) out_ << "  (none)\n";
    for (size_t i = 0; i < profiles.size(); ++i) {
        out_ << "  " << i << ": " << profiles[i];
        if (i < descriptions.size() && !descriptions[i].empty()) out_ << " - " << descriptions[i];
        out_ << "\n";
    }
    return 0;
}

int CaptureTool::Record(CaptureControl& control, const CaptureRequest& request) {
    const fs::path file = fs::absolute(request.file);
    if (auto why = WhyNotWritable(file)) return Fail("cannot write " + file.string() + ": " + *why);
    std::error_code ec;
    if (request.profile && !fs::is_regular_file(*request.profile, ec))
        return Fail("no profile file " + *request.profile);
    if (request.logo && !fs::is_regular_file(*request.logo, ec)) return Fail("no logo image " + *request.logo);
    if (!SelectDevice(control, request.device)) return 1;

    if (request.format) {
        const size_t formats = control.Names("VideoFormats", "FindVideoFormatName").size();
        if (static_cast<size_t>(*request.format) >= formats)
            return Fail("the device has no format " + std::to_string(*request.format) + " (it has " +
                        std::to_string(formats) + ", see `orvanta-capture list`)");
        if (!Set(control, "VideoFormat", static_cast<int16_t>(*request.format))) return 1;
    }
    if (request.noAudio) {
        if (!Set(control, "CaptureAudio", false)) return 1;
    } else if (request.audioDevice) {
        int index = control.Find("AudioDevices", "FindDeviceName", *request.audioDevice);
        if (index < 0) return Fail("unknown audio device \"" + *request.audioDevice + "\" (see `orvanta-capture list`)");
        if (!Set(control, "AudioDevice", static_cast<int16_t>(index))) return 1;
    }
    if (request.videoCompressor) {
        int index = control.Find("VideoCompressors", "FindVideoCompressorName", *request.videoCompressor);
        if (index < 0) return Fail("unknown video compressor \"" + *request.videoCompressor + "\"");
        if (!Set(control, "VideoCompressor", static_cast<int16_t>(index)) || !Set(control, "UseVideoCompressor", true))
            return 1;
    }
    if (request.audioCompressor) {
        int index = control.Find("AudioCompressors", "FindAudioCompressorName", *request.audioCompressor);
        if (index < 0) return Fail("unknown audio compressor \"" + *request.audioCompressor + "\"");
        if (!Set(control, "AudioCompressor", static_cast<int16_t>(index)) || !Set(control, "UseAudioCompressor", true))
            return 1;
    }
    if (request.profile && !Set(control, "WMVCustomFileName", fs::absolute(*request.profile).string())) return 1;

    // Only the overlays asked for are shown.
    if (!Set(control, "ShowText", request.text.has_value()) ||
        !Set(control, "ShowDateTime", request.date.has_value()) || !Set(control, "ShowImage", request.logo.has_value()))
        return 1;
    if (request.text && FAILED(control.Call("DrawText", {Variant(kTextX), Variant(kTextY), Variant(*request.text)})))
        return Fail("DrawText failed");
    if (request.date &&
        FAILED(control.Call("DrawTime", {Variant(kDateX), Variant(kDateY), Variant(static_cast<int16_t>(*request.date))})))
        return Fail("DrawTime failed");

    if (!Set(control, "OutputType", request.outputType) || !Set(control, "CaptureFileName", file.string()) ||
        !Set(control, "CaptureMode", true))
        return 1;
    if (!Start(control)) return 1;
    // The image overlay goes to the running graph; the control keeps nothing of it.
    if (request.logo &&
        FAILED(control.Call("DrawImage", {Variant(kLogoX), Variant(kLogoY), Variant(fs::absolute(*request.logo).string()),
                                          Variant(kLogoTransparent), Variant(kLogoAlpha)}))) {
        control.Call("Stop");
        return Fail("DrawImage failed");
    }
    out_ << "recording " << file.string() << " for " << request.seconds << " s" << std::endl;
    // An error ends the recording early: the control has stopped it and finished the file.
    RunEventsUntil([this] { return captureError_.has_value(); }, request.seconds * 1000);
    control.Call("Stop");
    if (captureError_) {
        const std::optional<double> held = MediaDurationSeconds(file);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", held.value_or(0.0));
        return Fail(*captureError_ + "; " + file.string() +
                    (held ? " holds " + std::string(seconds) + " s" : " cannot be read"));
    }

    const uintmax_t size = fs::exists(file, ec) ? fs::file_size(file, ec) : 0;
    if (size == 0) return Fail("nothing was written to " + file.string());
    out_ << "wrote " << file.string() << " (" << size << " bytes)" << std::endl;
    return 0;
}

int CaptureTool::Snapshot(CaptureControl& control, const CaptureRequest& request) {
    const fs::path file = fs::absolute(request.file);
    if (auto why = WhyNotWritable(file)) return Fail("cannot write " + file.string() + ": " + *why);
    if (!SelectDevice(control, request.device)) return 1;
    if (!Set(control, "CaptureMode", false) || !Set(control, "ShowPreview", true)) return 1;
    if (!Start(control)) return 1;
    // The first frames take a moment to reach the grabber: try until one is taken.
    int64_t written = 0;
    RunEventsUntil(
        [&] {
            written = request.jpeg ? control.CallForInteger("SnapShotJPEG",
                                                            {Variant(file.string()), Variant(static_cast<int16_t>(request.quality))}, 0)
                                   : control.CallForInteger("SnapShot", {Variant(file.string())}, 0);
            return written != 0;
        },
        10000, 200);
    control.Call("Stop");
    if (written == 0) return Fail("no frame could be taken from the device");
    std::error_code ec;
    out_ << "wrote " << file.string() << " (" << fs::file_size(file, ec) << " bytes)" << std::endl;
    return 0;
}

int CaptureTool::Broadcast(CaptureControl& control, const CaptureRequest& request) {
    std::error_code ec;
    if (request.profile && !fs::is_regular_file(*request.profile, ec))
        return Fail("no profile file " + *request.profile);
    if (!SelectDevice(control, std::nullopt)) return 1;
    // The port property is 16 bits wide: ports above 32767 travel as their bit pattern.
    if (!Set(control, "BroadCast", true) || !Set(control, "BroadCastPortNo", static_cast<int16_t>(request.port)) ||
        !Set(control, "MaxClients", static_cast<int16_t>(request.clients)) || !Set(control, "CaptureMode", false))
        return 1;
    if (request.profile && !Set(control, "WMVCustomFileName", fs::absolute(*request.profile).string())) return 1;
    if (!Start(control)) return 1;
    const std::string port = std::to_string(request.port);
    out_ << "broadcasting at mms://" << LocalAddress() << ":" << port << " for " << request.seconds << " s\n"
         << "players open mmsh://" << LocalAddress() << ":" << port << "/ (on this machine mmsh://127.0.0.1:" << port
         << "/)" << std::endl;
    RunEventsFor(request.seconds * 1000);
    control.Call("Stop");
    out_ << "broadcast ended" << std::endl;
    return 0;
}
