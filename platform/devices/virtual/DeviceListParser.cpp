#include "platform/devices/virtual/DeviceListParser.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "platform/devices/AnalogStandards.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/VideoSubtypes.h"
#include "platform/devices/virtual/VideoFile.h"
#include "platform/dshow/DShowTypes.h"

using nlohmann::json;

namespace {

// A problem in the document at `where` (a path such as devices[1].capture[0].width).
struct ListError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& problem) {
    throw ListError(where + ": " + problem);
}

std::string At(const std::string& where, const std::string& key) { return where + "." + key; }
std::string At(const std::string& where, size_t index) { return where + "[" + std::to_string(index) + "]"; }

void CheckKeys(const json& object, const std::string& where, std::initializer_list<std::string_view> keys) {
    if (!object.is_object()) Fail(where, "must be an object");
    for (const auto& [key, value] : object.items()) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) Fail(At(where, key), "unknown key");
    }
}

const json* Find(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

long long Integer(const json& value, const std::string& where, long long min, long long max) {
    if (!value.is_number_integer()) Fail(where, "must be an integer");
    long long v = value.get<long long>();
    bool huge = value.is_number_unsigned() && value.get<unsigned long long>() > static_cast<unsigned long long>(max);
    if (huge || v < min || v > max)
        Fail(where, "must be between " + std::to_string(min) + " and " + std::to_string(max));
    return v;
}

long long IntegerOr(const json& object, const char* key, const std::string& where, long long fallback,
                    long long min, long long max) {
    const json* value = Find(object, key);
    return value ? Integer(*value, At(where, key), min, max) : fallback;
}

double Number(const json& value, const std::string& where, double min, double max) {
    if (!value.is_number()) Fail(where, "must be a number");
    double v = value.get<double>();
    if (!(v >= min && v <= max)) Fail(where, "must be between " + std::to_string(min) + " and " + std::to_string(max));
    return v;
}

bool BoolOr(const json& object, const char* key, const std::string& where, bool fallback) {
    const json* value = Find(object, key);
    if (!value) return fallback;
    if (!value->is_boolean()) Fail(At(where, key), "must be true or false");
    return value->get<bool>();
}

std::string String(const json& value, const std::string& where) {
    if (!value.is_string()) Fail(where, "must be a string");
    return value.get<std::string>();
}

const json& Array(const json& value, const std::string& where) {
    if (!value.is_array()) Fail(where, "must be an array");
    return value;
}

constexpr long long kMaxLong = std::numeric_limits<LONG>::max();
constexpr long long kMinLong = std::numeric_limits<LONG>::min();
constexpr int kMaxDimension = 16384;

REFERENCE_TIME IntervalFromRate(double rate) { return static_cast<REFERENCE_TIME>(10000000.0 / rate + 0.5); }

VideoCapability ParseCapability(const json& object, const std::string& where) {
    CheckKeys(object, where,
              {"format", "width", "height", "minWidth", "minHeight", "maxWidth", "maxHeight", "granularityX",
               "granularityY", "frameRate", "minFrameRate", "maxFrameRate"});
    const json* format = Find(object, "format");
    if (!format) Fail(where, "missing \"format\"");
    std::string formatName = String(*format, At(where, "format"));
    auto info = VideoSubtypeByName(formatName);
    if (!info) Fail(At(where, "format"), "unknown video format \"" + formatName + "\"");
    VideoCapability cap;
    cap.subtype = info->subtype;
    cap.compression = info->compression;
    cap.bitCount = info->bitCount;
    cap.v4l2PixelFormat = info->v4l2PixelFormat;

    bool fixed = Find(object, "width") || Find(object, "height");
    bool scalable = Find(object, "minWidth") || Find(object, "maxWidth") || Find(object, "minHeight") ||
                    Find(object, "maxHeight");
    if (fixed && scalable) Fail(where, "give either width and height or the min/max sizes, not both");
    if (fixed) {
        if (!Find(object, "width") || !Find(object, "height")) Fail(where, "needs both \"width\" and \"height\"");
        cap.minWidth = cap.maxWidth = static_cast<int>(Integer(object["width"], At(where, "width"), 1, kMaxDimension));
        cap.minHeight = cap.maxHeight =
            static_cast<int>(Integer(object["height"], At(where, "height"), 1, kMaxDimension));
    } else if (scalable) {
        for (const char* key : {"minWidth", "minHeight", "maxWidth", "maxHeight"})
            if (!Find(object, key)) Fail(where, std::string("missing \"") + key + "\"");
        cap.minWidth = static_cast<int>(Integer(object["minWidth"], At(where, "minWidth"), 1, kMaxDimension));
        cap.minHeight = static_cast<int>(Integer(object["minHeight"], At(where, "minHeight"), 1, kMaxDimension));
        cap.maxWidth = static_cast<int>(Integer(object["maxWidth"], At(where, "maxWidth"), 1, kMaxDimension));
        cap.maxHeight = static_cast<int>(Integer(object["maxHeight"], At(where, "maxHeight"), 1, kMaxDimension));
        if (cap.minWidth > cap.maxWidth) Fail(where, "\"minWidth\" is above \"maxWidth\"");
        if (cap.minHeight > cap.maxHeight) Fail(where, "\"minHeight\" is above \"maxHeight\"");
    } else {
        Fail(where, "needs \"width\" and \"height\", or \"minWidth\", \"minHeight\", \"maxWidth\" and \"maxHeight\"");
    }
    cap.granularityX = static_cast<int>(IntegerOr(object, "granularityX", where, 1, 1, kMaxDimension));
    cap.granularityY = static_cast<int>(IntegerOr(object, "granularityY", where, 1, 1, kMaxDimension));

    double rate = Find(object, "frameRate") ? Number(object["frameRate"], At(where, "frameRate"), 0.1, 1000.0) : 30.0;
    double fastest = Find(object, "maxFrameRate") ? Number(object["maxFrameRate"], At(where, "maxFrameRate"), 0.1, 1000.0)
                                                  : rate;
    double slowest = Find(object, "minFrameRate") ? Number(object["minFrameRate"], At(where, "minFrameRate"), 0.1, 1000.0)
                                                  : rate;
    if (slowest > rate || rate > fastest) Fail(where, "\"frameRate\" must lie between \"minFrameRate\" and \"maxFrameRate\"");
    cap.defaultFrameInterval = IntervalFromRate(rate);
    cap.minFrameInterval = IntervalFromRate(fastest);
    cap.maxFrameInterval = IntervalFromRate(slowest);
    return cap;
}

std::vector<VideoCapability> ParseCapabilities(const json& value, const std::string& where) {
    std::vector<VideoCapability> caps;
    const json& list = Array(value, where);
    for (size_t i = 0; i < list.size(); ++i) caps.push_back(ParseCapability(list[i], At(where, i)));
    return caps;
}

CrossbarPin ParseConnector(const json& value, const std::string& where) {
    CrossbarPin pin;
    if (value.is_number_integer()) {
        pin.physicalType = static_cast<LONG>(Integer(value, where, 1, 0x7FFF));
    } else {
        std::string name = String(value, where);
        auto type = ConnectorTypeFromName(name);
        if (!type) Fail(where, "unknown connector \"" + name + "\"");
        pin.physicalType = *type;
        pin.name = name;
    }
    return pin;
}

// Pairs video inputs with the audio inputs that carry their sound, as capture cards do: the tuner
// with the audio tuner, the baseband inputs with the line input.
void RelateInputs(std::vector<CrossbarPin>& inputs) {
    auto findType = [&](LONG type) -> LONG {
        for (size_t i = 0; i < inputs.size(); ++i)
            if (inputs[i].physicalType == type) return static_cast<LONG>(i);
        return -1;
    };
    LONG audioTuner = findType(PhysConn_Audio_Tuner);
    LONG audioLine = findType(PhysConn_Audio_Line);
    for (size_t i = 0; i < inputs.size(); ++i) {
        LONG type = inputs[i].physicalType;
        if (type == PhysConn_Video_Tuner && audioTuner >= 0) {
            inputs[i].related = audioTuner;
            inputs[audioTuner].related = static_cast<LONG>(i);
        } else if ((type == PhysConn_Video_Composite || type == PhysConn_Video_SVideo) && audioLine >= 0) {
            inputs[i].related = audioLine;
            if (inputs[audioLine].related < 0) inputs[audioLine].related = static_cast<LONG>(i);
        }
    }
}

CrossbarDescription ParseCrossbar(const json& object, const std::string& where) {
    CheckKeys(object, where, {"inputs", "outputs", "routes", "allowed"});
    CrossbarDescription crossbar;
    const json* inputs = Find(object, "inputs");
    const json* outputs = Find(object, "outputs");
    if (!inputs || !outputs) Fail(where, "needs \"inputs\" and \"outputs\"");
    for (size_t i = 0; i < Array(*inputs, At(where, "inputs")).size(); ++i)
        crossbar.inputs.push_back(ParseConnector((*inputs)[i], At(At(where, "inputs"), i)));
    for (size_t i = 0; i < Array(*outputs, At(where, "outputs")).size(); ++i)
        crossbar.outputs.push_back(ParseConnector((*outputs)[i], At(At(where, "outputs"), i)));
    RelateInputs(crossbar.inputs);
    LONG inputCount = static_cast<LONG>(crossbar.inputs.size());

    if (const json* allowed = Find(object, "allowed")) {
        std::string at = At(where, "allowed");
        if (Array(*allowed, at).size() != crossbar.outputs.size()) Fail(at, "needs one list per output");
        for (size_t o = 0; o < allowed->size(); ++o) {
            std::vector<LONG> list;
            for (size_t i = 0; i < Array((*allowed)[o], At(at, o)).size(); ++i)
                list.push_back(static_cast<LONG>(Integer((*allowed)[o][i], At(At(at, o), i), 0, inputCount - 1)));
            crossbar.allowed.push_back(std::move(list));
        }
    } else {
        crossbar.allowed = DefaultCrossbarRoutes(crossbar);
    }

    crossbar.routes.assign(crossbar.outputs.size(), -1);
    if (const json* routes = Find(object, "routes")) {
        std::string at = At(where, "routes");
        if (Array(*routes, at).size() != crossbar.outputs.size()) Fail(at, "needs one input index (or -1) per output");
        for (size_t o = 0; o < routes->size(); ++o) {
            LONG in = static_cast<LONG>(Integer((*routes)[o], At(at, o), -1, inputCount - 1));
            const auto& ok = crossbar.allowed[o];
            if (in >= 0 && std::find(ok.begin(), ok.end(), in) == ok.end())
                Fail(At(at, o), "input " + std::to_string(in) + " cannot be routed to this output");
            crossbar.routes[o] = in;
        }
    } else {
        for (size_t o = 0; o < crossbar.outputs.size(); ++o)
            if (!crossbar.allowed[o].empty()) crossbar.routes[o] = crossbar.allowed[o].front();
    }
    return crossbar;
}

LONG ParseStandards(const json& value, const std::string& where) {
    LONG bits = 0;
    const json& list = Array(value, where);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string name = String(list[i], At(where, i));
        auto info = AnalogStandardByName(name);
        if (!info) Fail(At(where, i), "unknown TV standard \"" + name + "\"");
        bits |= info->analogVideo;
    }
    return bits;
}

LONG ParseStandard(const json& value, const std::string& where) {
    std::string name = String(value, where);
    auto info = AnalogStandardByName(name);
    if (!info) Fail(where, "unknown TV standard \"" + name + "\"");
    return info->analogVideo;
}

LONG ParseModes(const json& value, const std::string& where) {
    LONG bits = 0;
    const json& list = Array(value, where);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string name = String(list[i], At(where, i));
        if (name == "tv") bits |= AMTUNER_MODE_TV;
        else if (name == "fm") bits |= AMTUNER_MODE_FM_RADIO;
        else if (name == "am") bits |= AMTUNER_MODE_AM_RADIO;
        else if (name == "dss") bits |= AMTUNER_MODE_DSS;
        else Fail(At(where, i), "unknown tuner mode \"" + name + "\" (tv, fm, am, dss)");
    }
    if (bits == 0) Fail(where, "needs at least one mode");
    return bits;
}

TunerDescription ParseTuner(const json& object, const std::string& where) {
    CheckKeys(object, where,
              {"modes", "mode", "countryCode", "inputConnections", "tvFormats", "tvFormat", "channelMin", "channelMax",
               "channels", "channel"});
    TunerDescription tuner;
    if (const json* modes = Find(object, "modes")) tuner.availableModes = ParseModes(*modes, At(where, "modes"));
    tuner.mode = tuner.availableModes & AMTUNER_MODE_TV ? AMTUNER_MODE_TV : (tuner.availableModes & -tuner.availableModes);
    if (const json* mode = Find(object, "mode")) {
        LONG bits = ParseModes(json::array({*mode}), At(where, "mode"));
        if ((bits & tuner.availableModes) == 0) Fail(At(where, "mode"), "is not one of the tuner's modes");
        tuner.mode = bits;
    }
    tuner.countryCode = static_cast<LONG>(IntegerOr(object, "countryCode", where, 1, 0, 9999));
    tuner.inputConnections = static_cast<LONG>(IntegerOr(object, "inputConnections", where, 1, 1, 16));
    tuner.availableTvFormats = Find(object, "tvFormats") ? ParseStandards(object["tvFormats"], At(where, "tvFormats"))
                                                         : AnalogVideo_NTSC_M | AnalogVideo_PAL_B;
    tuner.tvFormat = Find(object, "tvFormat") ? ParseStandard(object["tvFormat"], At(where, "tvFormat"))
                                              : (tuner.availableTvFormats & -tuner.availableTvFormats);
    tuner.channelMin = static_cast<LONG>(IntegerOr(object, "channelMin", where, 2, 0, 9999));
    tuner.channelMax = static_cast<LONG>(IntegerOr(object, "channelMax", where, 69, 0, 9999));
    if (tuner.channelMin > tuner.channelMax) Fail(where, "\"channelMin\" is above \"channelMax\"");
    if (const json* channels = Find(object, "channels")) {
        std::string at = At(where, "channels");
        for (size_t i = 0; i < Array(*channels, at).size(); ++i) {
            const json& entry = (*channels)[i];
            std::string here = At(at, i);
            CheckKeys(entry, here, {"number", "signal", "autoTune"});
            if (!Find(entry, "number")) Fail(here, "missing \"number\"");
            TunerChannel channel;
            channel.number = static_cast<LONG>(Integer(entry["number"], At(here, "number"), tuner.channelMin, tuner.channelMax));
            std::string signal = Find(entry, "signal") ? String(entry["signal"], At(here, "signal")) : "yes";
            if (signal == "yes") channel.signal = SignalState::Present;
            else if (signal == "no") channel.signal = SignalState::Absent;
            else if (signal == "unknown") channel.signal = SignalState::Unmeasurable;
            else Fail(At(here, "signal"), "must be \"yes\", \"no\" or \"unknown\"");
            channel.autoTuneFinds = BoolOr(entry, "autoTune", here, channel.signal == SignalState::Present);
            tuner.channels.push_back(channel);
        }
    }
    tuner.channel = static_cast<LONG>(IntegerOr(object, "channel", where, tuner.channelMin, tuner.channelMin, tuner.channelMax));
    return tuner;
}

DecoderDescription ParseDecoder(const json& object, const std::string& where) {
    CheckKeys(object, where, {"tvFormats", "tvFormat", "horizontalLocked"});
    DecoderDescription decoder;
    decoder.availableTvFormats = Find(object, "tvFormats") ? ParseStandards(object["tvFormats"], At(where, "tvFormats"))
                                                           : AnalogVideo_NTSC_M | AnalogVideo_PAL_B;
    decoder.tvFormat = Find(object, "tvFormat") ? ParseStandard(object["tvFormat"], At(where, "tvFormat"))
                                                : (decoder.availableTvFormats & -decoder.availableTvFormats);
    if (decoder.tvFormat != 0 && (decoder.tvFormat & decoder.availableTvFormats) == 0)
        Fail(At(where, "tvFormat"), "is not among \"tvFormats\"");
    decoder.horizontalLocked = BoolOr(object, "horizontalLocked", where, true);
    return decoder;
}

LONG ParseFlags(const json& value, const std::string& where) {
    if (value.is_number_integer()) return static_cast<LONG>(Integer(value, where, 0, 3));
    LONG bits = 0;
    const json& list = Array(value, where);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string name = String(list[i], At(where, i));
        if (name == "auto") bits |= 0x1;
        else if (name == "manual") bits |= 0x2;
        else Fail(At(where, i), "must be \"auto\" or \"manual\"");
    }
    return bits;
}

constexpr const char* kProcAmpNames[] = {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness",
                                         "Gamma", "ColorEnable", "WhiteBalance", "BacklightCompensation", "Gain"};
constexpr const char* kCameraNames[] = {"Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};

template <size_t N>
std::vector<ControlDescription> ParseControls(const json& value, const std::string& where, const char* const (&names)[N]) {
    std::vector<ControlDescription> controls;
    const json& list = Array(value, where);
    for (size_t i = 0; i < list.size(); ++i) {
        const json& entry = list[i];
        std::string here = At(where, i);
        CheckKeys(entry, here, {"property", "min", "max", "step", "default", "flags", "value", "valueFlags"});
        if (!Find(entry, "property")) Fail(here, "missing \"property\"");
        std::string name = String(entry["property"], At(here, "property"));
        auto it = std::find_if(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
        if (it == std::end(names)) Fail(At(here, "property"), "unknown property \"" + name + "\"");
        ControlDescription control;
        control.property = static_cast<LONG>(it - std::begin(names));
        for (const auto& other : controls)
            if (other.property == control.property) Fail(At(here, "property"), "\"" + name + "\" is listed twice");
        control.min = static_cast<LONG>(IntegerOr(entry, "min", here, 0, kMinLong, kMaxLong));
        control.max = static_cast<LONG>(IntegerOr(entry, "max", here, 100, kMinLong, kMaxLong));
        if (control.min > control.max) Fail(here, "\"min\" is above \"max\"");
        control.step = static_cast<LONG>(IntegerOr(entry, "step", here, 1, 1, kMaxLong));
        control.defaultValue = static_cast<LONG>(IntegerOr(entry, "default", here, control.min, control.min, control.max));
        control.capsFlags = Find(entry, "flags") ? ParseFlags(entry["flags"], At(here, "flags")) : 0x2;
        control.value = static_cast<LONG>(IntegerOr(entry, "value", here, control.defaultValue, control.min, control.max));
        control.valueFlags = Find(entry, "valueFlags") ? ParseFlags(entry["valueFlags"], At(here, "valueFlags"))
                                                       : (control.capsFlags & 0x2 ? 0x2 : control.capsFlags);
        controls.push_back(control);
    }
    return controls;
}

int ParseDialogs(const json& value, const std::string& where) {
    int bits = 0;
    const json& list = Array(value, where);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string name = String(list[i], At(where, i));
        if (name == "source") bits |= VfwCaptureDialog_Source;
        else if (name == "format") bits |= VfwCaptureDialog_Format;
        else if (name == "display") bits |= VfwCaptureDialog_Display;
        else Fail(At(where, i), "must be \"source\", \"format\" or \"display\"");
    }
    return bits;
}

// "file": "clip.y4m", or {"path": "clip.yuv", "format": "I420", "width": 64, "height": 48,
// "frameRate": 25} for raw frames. A relative path is taken from the list's own folder.
VideoClip ParseVideoFile(const json& value, const std::string& where, const std::filesystem::path& folder) {
    VideoClip clip;
    if (value.is_string()) {
        clip.path = value.get<std::string>();
    } else {
        CheckKeys(value, where, {"path", "format", "width", "height", "frameRate"});
        for (const char* key : {"path", "format", "width", "height", "frameRate"})
            if (!Find(value, key)) Fail(where, std::string("raw frames need \"") + key + "\"");
        clip.path = String(value["path"], At(where, "path"));
        std::string formatName = String(value["format"], At(where, "format"));
        auto info = VideoSubtypeByName(formatName);
        if (!info) Fail(At(where, "format"), "unknown video format \"" + formatName + "\"");
        clip.raw = true;
        clip.subtype = info->subtype;
        clip.width = static_cast<int>(Integer(value["width"], At(where, "width"), 1, kMaxDimension));
        clip.height = static_cast<int>(Integer(value["height"], At(where, "height"), 1, kMaxDimension));
        clip.frameRate = Number(value["frameRate"], At(where, "frameRate"), 0.1, 1000.0);
    }
    if (clip.path.empty()) Fail(where, "names no file");
    if (clip.path.is_relative() && !folder.empty()) clip.path = folder / clip.path;
    return clip;
}

// A file plays at its own size and rate: one fixed capability per subtype it is delivered in.
std::vector<VideoCapability> FileCapabilities(const VideoFileLayout& layout) {
    std::vector<VideoCapability> caps;
    for (const Guid& subtype : VideoFileDeliveredSubtypes(layout.subtype)) {
        auto info = VideoSubtypeByGuid(subtype);
        if (!info) continue;
        VideoCapability cap;
        cap.subtype = subtype;
        cap.compression = info->compression;
        cap.bitCount = info->bitCount;
        cap.minWidth = cap.maxWidth = layout.width;
        cap.minHeight = cap.maxHeight = layout.height;
        cap.minFrameInterval = cap.maxFrameInterval = cap.defaultFrameInterval = layout.frameInterval;
        caps.push_back(cap);
    }
    return caps;
}

DeviceDescription ParseVideoDevice(const json& object, const std::string& where, DeviceDescription device,
                                   const std::filesystem::path& folder) {
    CheckKeys(object, where,
              {"name", "kind", "failBind", "unplugAfter", "capture", "file", "preview", "crossbar", "tuner", "decoder",
               "procAmp", "cameraControl", "droppedFrames", "dialogs", "propertyPages"});
    const json* capture = Find(object, "capture");
    const json* file = Find(object, "file");
    if (capture && file) Fail(where, "give either \"capture\" capabilities or a \"file\" to play, not both");
    if (file) {
        device.videoFile = ParseVideoFile(*file, At(where, "file"), folder);
        VideoFileProbe probe = ProbeVideoFile(*device.videoFile);
        if (!probe.Ok()) Fail(At(where, "file"), probe.error);
        device.captureCaps = FileCapabilities(probe.layout);
    } else {
        if (!capture) Fail(where, "a video device needs \"capture\" capabilities or a \"file\" to play");
        device.captureCaps = ParseCapabilities(*capture, At(where, "capture"));
    }
    if (device.captureCaps.empty()) Fail(At(where, "capture"), "needs at least one capability");
    if (const json* preview = Find(object, "preview")) {
        if (preview->is_string() && preview->get<std::string>() == "capture") device.previewCaps = device.captureCaps;
        else device.previewCaps = ParseCapabilities(*preview, At(where, "preview"));
    }
    if (const json* crossbar = Find(object, "crossbar")) device.crossbar = ParseCrossbar(*crossbar, At(where, "crossbar"));
    if (const json* tuner = Find(object, "tuner")) {
        device.tuner = ParseTuner(*tuner, At(where, "tuner"));
        bool tunerInput = device.crossbar && std::any_of(device.crossbar->inputs.begin(), device.crossbar->inputs.end(),
                                                         [](const CrossbarPin& p) { return p.physicalType == PhysConn_Video_Tuner; });
        if (!tunerInput) Fail(At(where, "tuner"), "needs a crossbar with a \"Video Tuner\" input");
    }
    if (const json* decoder = Find(object, "decoder")) device.decoder = ParseDecoder(*decoder, At(where, "decoder"));
    if (const json* procAmp = Find(object, "procAmp")) device.procAmp = ParseControls(*procAmp, At(where, "procAmp"), kProcAmpNames);
    if (const json* camera = Find(object, "cameraControl"))
        device.cameraControl = ParseControls(*camera, At(where, "cameraControl"), kCameraNames);
    if (const json* dropped = Find(object, "droppedFrames")) {
        std::string at = At(where, "droppedFrames");
        CheckKeys(*dropped, at, {"every"});
        device.dropEvery = static_cast<int>(IntegerOr(*dropped, "every", at, 0, 0, 1000000));
    }
    if (const json* dialogs = Find(object, "dialogs")) device.dialogs = ParseDialogs(*dialogs, At(where, "dialogs"));
    device.propertyPages = BoolOr(object, "propertyPages", where, false);
    return device;
}

DeviceDescription ParseAudioDevice(const json& object, const std::string& where, DeviceDescription device) {
    CheckKeys(object, where,
              {"name", "kind", "failBind", "unplugAfter", "lines", "sampleRate", "channels", "bitsPerSample", "toneHz",
               "dialogs", "propertyPages"});
    if (const json* lines = Find(object, "lines")) {
        std::string at = At(where, "lines");
        for (size_t i = 0; i < Array(*lines, at).size(); ++i) {
            const json& entry = (*lines)[i];
            std::string here = At(at, i);
            CheckKeys(entry, here, {"name", "enabled", "mixLevel"});
            if (!Find(entry, "name")) Fail(here, "missing \"name\"");
            AudioInputLine line;
            line.name = String(entry["name"], At(here, "name"));
            line.enabled = BoolOr(entry, "enabled", here, false);
            line.mixLevel = Find(entry, "mixLevel") ? Number(entry["mixLevel"], At(here, "mixLevel"), 0.0, 1.0) : 1.0;
            device.inputLines.push_back(line);
        }
    }
    device.audioFormat.sampleRate = static_cast<int>(IntegerOr(object, "sampleRate", where, 44100, 8000, 192000));
    device.audioFormat.channels = static_cast<int>(IntegerOr(object, "channels", where, 2, 1, 2));
    device.audioFormat.bitsPerSample = static_cast<int>(IntegerOr(object, "bitsPerSample", where, 16, 8, 16));
    if (device.audioFormat.bitsPerSample != 8 && device.audioFormat.bitsPerSample != 16)
        Fail(At(where, "bitsPerSample"), "must be 8 or 16");
    device.toneHz = Find(object, "toneHz") ? Number(object["toneHz"], At(where, "toneHz"), 0.0, 20000.0) : 440.0;
    if (const json* dialogs = Find(object, "dialogs")) device.dialogs = ParseDialogs(*dialogs, At(where, "dialogs"));
    device.propertyPages = BoolOr(object, "propertyPages", where, false);
    return device;
}

std::vector<DeviceDescription> ParseDocument(const json& document, const std::filesystem::path& folder) {
    CheckKeys(document, "document", {"devices"});
    const json* devices = Find(document, "devices");
    if (!devices) Fail("document", "missing \"devices\"");
    std::vector<DeviceDescription> result;
    for (size_t i = 0; i < Array(*devices, "devices").size(); ++i) {
        const json& object = (*devices)[i];
        std::string where = At("devices", i);
        if (!object.is_object()) Fail(where, "must be an object");
        DeviceDescription device;
        device.backend = "virtual";
        const json* name = Find(object, "name");
        if (!name) Fail(where, "missing \"name\"");
        device.name = String(*name, At(where, "name"));
        device.path = "virtual:" + std::to_string(i);
        device.failsToBind = BoolOr(object, "failBind", where, false);
        if (Find(object, "unplugAfter")) {
            // At least a millisecond: a device that is gone before it starts is "failBind".
            double seconds = Number(object["unplugAfter"], At(where, "unplugAfter"), 0.001, 86400.0);
            device.unplugAfter = static_cast<REFERENCE_TIME>(std::llround(seconds * UNITS));
        }
        const json* kind = Find(object, "kind");
        std::string kindName = kind ? String(*kind, At(where, "kind")) : "video";
        if (kindName == "video") {
            device.kind = DeviceKind::Video;
            result.push_back(ParseVideoDevice(object, where, std::move(device), folder));
        } else if (kindName == "audio") {
            device.kind = DeviceKind::Audio;
            result.push_back(ParseAudioDevice(object, where, std::move(device)));
        } else {
            Fail(At(where, "kind"), "must be \"video\" or \"audio\"");
        }
    }
    return result;
}

}  // namespace

DeviceListResult ParseDeviceList(std::string_view text, const std::string& source, const std::filesystem::path& folder) {
    DeviceListResult result;
    json document;
    try {
        document = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        result.error = source + ": not valid JSON (at byte " + std::to_string(e.byte) + ")";
        return result;
    }
    try {
        result.devices = ParseDocument(document, folder);
    } catch (const ListError& e) {
        result.error = source + ": " + e.what();
    }
    return result;
}

DeviceListResult LoadDeviceListFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return DeviceListResult{{}, file.string() + ": cannot be read"};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseDeviceList(text.str(), file.string(), file.parent_path());
}
