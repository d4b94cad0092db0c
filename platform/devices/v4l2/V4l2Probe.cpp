#include "platform/devices/v4l2/V4l2Probe.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/devices/AnalogStandards.h"
#include "platform/devices/ChannelFrequencies.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/VideoSubtypes.h"

namespace {

const std::array<V4l2ControlMapping, 15> kControls{{
    {false, VideoProcAmp_Brightness, V4L2_CID_BRIGHTNESS, V4L2_CID_AUTOBRIGHTNESS},
    {false, VideoProcAmp_Contrast, V4L2_CID_CONTRAST, 0},
    {false, VideoProcAmp_Hue, V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {false, VideoProcAmp_Saturation, V4L2_CID_SATURATION, 0},
    {false, VideoProcAmp_Sharpness, V4L2_CID_SHARPNESS, 0},
    {false, VideoProcAmp_Gamma, V4L2_CID_GAMMA, 0},
    {false, VideoProcAmp_WhiteBalance, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {false, VideoProcAmp_BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {false, VideoProcAmp_Gain, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
    {true, CameraControl_Pan, V4L2_CID_PAN_ABSOLUTE, 0},
    {true, CameraControl_Tilt, V4L2_CID_TILT_ABSOLUTE, 0},
    {true, CameraControl_Zoom, V4L2_CID_ZOOM_ABSOLUTE, 0},
    {true, CameraControl_Exposure, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {true, CameraControl_Iris, V4L2_CID_IRIS_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {true, CameraControl_Focus, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
}};

std::string Text(const uint8_t* bytes, size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes), strnlen(reinterpret_cast<const char*>(bytes), size));
}

REFERENCE_TIME Interval(const v4l2_fract& f) {
    if (f.denominator == 0) return 0;
    return static_cast<REFERENCE_TIME>(10000000.0 * f.numerator / f.denominator + 0.5);
}

// The frame intervals a size offers, fastest first; fills `cap`'s interval range.
void ReadIntervals(V4l2Api& api, int fd, uint32_t pixelFormat, int width, int height, REFERENCE_TIME current,
                   VideoCapability& cap) {
    std::vector<REFERENCE_TIME> intervals;
    for (uint32_t index = 0;; ++index) {
        v4l2_frmivalenum e{};
        e.index = index;
        e.pixel_format = pixelFormat;
        e.width = static_cast<uint32_t>(width);
        e.height = static_cast<uint32_t>(height);
        if (XIoctl(api, fd, VIDIOC_ENUM_FRAMEINTERVALS, &e) < 0) break;
        if (e.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            intervals.push_back(Interval(e.discrete));
        } else {
            intervals.push_back(Interval(e.stepwise.min));
            intervals.push_back(Interval(e.stepwise.max));
            break;  // only index 0 exists for ranges
        }
    }
    intervals.erase(std::remove(intervals.begin(), intervals.end(), 0), intervals.end());
    if (intervals.empty()) {
        REFERENCE_TIME fallback = current > 0 ? current : 333333;
        cap.minFrameInterval = cap.maxFrameInterval = cap.defaultFrameInterval = fallback;
        return;
    }
    auto [fastest, slowest] = std::minmax_element(intervals.begin(), intervals.end());
    cap.minFrameInterval = *fastest;
    cap.maxFrameInterval = *slowest;
    cap.defaultFrameInterval =
        current >= *fastest && current <= *slowest && std::find(intervals.begin(), intervals.end(), current) != intervals.end()
            ? current
            : *fastest;
}

VideoCapability BaseCapability(const VideoSubtypeInfo& info, uint32_t pixelFormat) {
    VideoCapability cap;
    cap.subtype = info.subtype;
    cap.compression = info.compression;
    cap.bitCount = info.bitCount;
    cap.v4l2PixelFormat = pixelFormat;
    return cap;
}

// Drivers without size enumeration (most analogue cards) scale freely: the range is what
// VIDIOC_TRY_FMT clamps the extremes to.
std::optional<VideoCapability> TryFormatRange(V4l2Api& api, int fd, const VideoSubtypeInfo& info, uint32_t pixelFormat) {
    auto clamp = [&](uint32_t w, uint32_t h) -> std::optional<std::pair<int, int>> {
        v4l2_format f{};
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        f.fmt.pix.width = w;
        f.fmt.pix.height = h;
        f.fmt.pix.pixelformat = pixelFormat;
        f.fmt.pix.field = V4L2_FIELD_ANY;
        if (XIoctl(api, fd, VIDIOC_TRY_FMT, &f) < 0 || f.fmt.pix.pixelformat != pixelFormat) return std::nullopt;
        return std::make_pair(static_cast<int>(f.fmt.pix.width), static_cast<int>(f.fmt.pix.height));
    };
    auto low = clamp(1, 1);
    auto high = clamp(16384, 16384);
    if (!low || !high || low->first <= 0 || low->second <= 0) return std::nullopt;
    VideoCapability cap = BaseCapability(info, pixelFormat);
    cap.minWidth = low->first;
    cap.minHeight = low->second;
    cap.maxWidth = std::max(low->first, high->first);
    cap.maxHeight = std::max(low->second, high->second);
    return cap;
}

void ReadFormats(V4l2Api& api, int fd, V4l2DeviceInfo& info) {
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    REFERENCE_TIME currentInterval = 0;
    if (XIoctl(api, fd, VIDIOC_G_PARM, &parm) == 0) currentInterval = Interval(parm.parm.capture.timeperframe);

    std::vector<VideoCapability> fixed;
    std::vector<VideoCapability> scalable;
    for (uint32_t index = 0;; ++index) {
        v4l2_fmtdesc desc{};
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (XIoctl(api, fd, VIDIOC_ENUM_FMT, &desc) < 0) break;
        auto subtype = VideoSubtypeByV4l2(desc.pixelformat);
        if (!subtype) continue;  // a format nothing downstream understands
        size_t before = fixed.size() + scalable.size();
        for (uint32_t sizeIndex = 0;; ++sizeIndex) {
            v4l2_frmsizeenum size{};
            size.index = sizeIndex;
            size.pixel_format = desc.pixelformat;
            if (XIoctl(api, fd, VIDIOC_ENUM_FRAMESIZES, &size) < 0) break;
            VideoCapability cap = BaseCapability(*subtype, desc.pixelformat);
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                cap.minWidth = cap.maxWidth = static_cast<int>(size.discrete.width);
                cap.minHeight = cap.maxHeight = static_cast<int>(size.discrete.height);
                ReadIntervals(api, fd, desc.pixelformat, cap.maxWidth, cap.maxHeight, currentInterval, cap);
                fixed.push_back(cap);
            } else {
                cap.minWidth = static_cast<int>(size.stepwise.min_width);
                cap.minHeight = static_cast<int>(size.stepwise.min_height);
                cap.maxWidth = static_cast<int>(size.stepwise.max_width);
                cap.maxHeight = static_cast<int>(size.stepwise.max_height);
                bool continuous = size.type == V4L2_FRMSIZE_TYPE_CONTINUOUS;
                cap.granularityX = continuous ? 1 : std::max(1, static_cast<int>(size.stepwise.step_width));
                cap.granularityY = continuous ? 1 : std::max(1, static_cast<int>(size.stepwise.step_height));
                ReadIntervals(api, fd, desc.pixelformat, cap.maxWidth, cap.maxHeight, currentInterval, cap);
                scalable.push_back(cap);
                break;  // only index 0 exists for ranges
            }
        }
        if (fixed.size() + scalable.size() == before) {
            if (auto cap = TryFormatRange(api, fd, *subtype, desc.pixelformat)) {
                REFERENCE_TIME interval = currentInterval > 0 ? currentInterval : 333333;
                cap->minFrameInterval = cap->maxFrameInterval = cap->defaultFrameInterval = interval;
                if (cap->IsScalable()) scalable.push_back(*cap);
                else fixed.push_back(*cap);
            }
        }
    }
    // The capture pin offers the fixed sizes; a device that only scales offers its ranges there too.
    // A V4L2 node streams one format to one reader at a time, so there is no preview pin: the
    // graph builder puts a Smart Tee on the capture pin for the preview, as for any such device.
    info.description.captureCaps = fixed.empty() ? scalable : fixed;
}

LONG VideoConnectorType(const v4l2_input& input) {
    if (input.type == V4L2_INPUT_TYPE_TUNER) return PhysConn_Video_Tuner;
    std::string name = Text(input.name, sizeof input.name);
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.find("s-video") != std::string::npos || lower.find("svideo") != std::string::npos) return PhysConn_Video_SVideo;
    if (lower.find("component") != std::string::npos) return PhysConn_Video_YRYBY;
    if (lower.find("composite") != std::string::npos || lower.find("cvbs") != std::string::npos) return PhysConn_Video_Composite;
    if (lower.find("hdmi") != std::string::npos || lower.find("dvi") != std::string::npos) return PhysConn_Video_SerialDigital;
    if (lower.find("usb") != std::string::npos) return PhysConn_Video_USB;
    return PhysConn_Video_Composite;
}

LONG AudioConnectorType(const v4l2_audio& audio) {
    std::string lower = Text(audio.name, sizeof audio.name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.find("tuner") != std::string::npos || lower.find("tv") != std::string::npos ||
        lower.find("television") != std::string::npos)
        return PhysConn_Audio_Tuner;
    if (lower.find("mic") != std::string::npos) return PhysConn_Audio_Mic;
    return PhysConn_Audio_Line;
}

void ReadInputs(V4l2Api& api, int fd, V4l2DeviceInfo& info) {
    std::vector<v4l2_input> videoInputs;
    for (uint32_t index = 0;; ++index) {
        v4l2_input input{};
        input.index = index;
        if (XIoctl(api, fd, VIDIOC_ENUMINPUT, &input) < 0) break;
        videoInputs.push_back(input);
    }
    std::vector<v4l2_audio> audioInputs;
    for (uint32_t index = 0;; ++index) {
        v4l2_audio audio{};
        audio.index = index;
        if (XIoctl(api, fd, VIDIOC_ENUMAUDIO, &audio) < 0) break;
        audioInputs.push_back(audio);
    }
    bool hasTuner = std::any_of(videoInputs.begin(), videoInputs.end(),
                                [](const v4l2_input& i) { return i.type == V4L2_INPUT_TYPE_TUNER; });
    // A single camera input is no choice: webcams get no crossbar.
    if (videoInputs.size() < 2 && !hasTuner) return;

    CrossbarDescription crossbar;
    for (const auto& input : videoInputs) {
        CrossbarPin pin;
        pin.physicalType = VideoConnectorType(input);
        pin.backendIndex = static_cast<int>(input.index);
        pin.name = Text(input.name, sizeof input.name);
        crossbar.inputs.push_back(pin);
    }
    LONG firstAudio = static_cast<LONG>(crossbar.inputs.size());
    for (const auto& audio : audioInputs) {
        CrossbarPin pin;
        pin.physicalType = AudioConnectorType(audio);
        pin.backendIndex = static_cast<int>(audio.index);
        pin.name = Text(audio.name, sizeof audio.name);
        crossbar.inputs.push_back(pin);
    }
    // audioset: the audio inputs that belong with a video input; the first is its related pin.
    for (size_t v = 0; v < videoInputs.size(); ++v) {
        for (size_t a = 0; a < audioInputs.size(); ++a) {
            if (videoInputs[v].audioset & (1u << audioInputs[a].index)) {
                crossbar.inputs[v].related = firstAudio + static_cast<LONG>(a);
                if (crossbar.inputs[firstAudio + a].related < 0) crossbar.inputs[firstAudio + a].related = static_cast<LONG>(v);
                break;
            }
        }
    }
    crossbar.outputs.push_back(CrossbarPin{PhysConn_Video_VideoDecoder, -1, -1, "Video Decoder"});
    if (!audioInputs.empty()) crossbar.outputs.push_back(CrossbarPin{PhysConn_Audio_AudioDecoder, -1, -1, "Audio Decoder"});
    if (crossbar.outputs.size() == 2) {
        crossbar.outputs[0].related = 1;
        crossbar.outputs[1].related = 0;
    }
    crossbar.allowed = DefaultCrossbarRoutes(crossbar);
    crossbar.routes.assign(crossbar.outputs.size(), -1);
    int current = 0;
    if (XIoctl(api, fd, VIDIOC_G_INPUT, &current) == 0) {
        for (size_t i = 0; i < videoInputs.size(); ++i)
            if (crossbar.inputs[i].backendIndex == current) crossbar.routes[0] = static_cast<LONG>(i);
    }
    if (!audioInputs.empty()) {
        v4l2_audio audio{};
        if (XIoctl(api, fd, VIDIOC_G_AUDIO, &audio) == 0) {
            for (size_t a = 0; a < audioInputs.size(); ++a)
                if (audioInputs[a].index == audio.index) crossbar.routes[1] = firstAudio + static_cast<LONG>(a);
        }
    }
    LONG standards = 0;
    for (const auto& input : videoInputs) standards |= AnalogStandardsFromV4l2(input.std);

    for (const auto& input : videoInputs) {
        if (input.type != V4L2_INPUT_TYPE_TUNER) continue;
        v4l2_tuner tuner{};
        tuner.index = input.tuner;
        if (XIoctl(api, fd, VIDIOC_G_TUNER, &tuner) < 0) break;
        TunerDescription description;
        description.availableModes = tuner.type == V4L2_TUNER_RADIO ? AMTUNER_MODE_FM_RADIO : AMTUNER_MODE_TV;
        description.mode = description.availableModes;
        description.availableTvFormats = AnalogStandardsFromV4l2(input.std);
        description.hasChannelTable = false;  // the hardware measures the signal
        description.countryCode = 1;
        ChannelPlanRange(description.countryCode, TunerInputCable, &description.channelMin, &description.channelMax);
        description.channel = description.channelMin;
        info.tunerIndex = static_cast<int>(input.tuner);
        info.tunerLowUnits = (tuner.capability & V4L2_TUNER_CAP_LOW) != 0;
        info.description.tuner = description;
        break;
    }
    info.description.crossbar = std::move(crossbar);

    v4l2_std_id std = 0;
    bool haveStd = XIoctl(api, fd, VIDIOC_G_STD, &std) == 0;
    LONG enumerated = 0;
    for (uint32_t index = 0;; ++index) {
        v4l2_standard s{};
        s.index = index;
        if (XIoctl(api, fd, VIDIOC_ENUMSTD, &s) < 0) break;
        enumerated |= AnalogStandardsFromV4l2(s.id);
    }
    if (enumerated) standards = enumerated;
    if (haveStd || standards) {
        DecoderDescription decoder;
        decoder.availableTvFormats = standards;
        LONG currentBits = AnalogStandardsFromV4l2(std);
        decoder.tvFormat = currentBits & -currentBits;  // the lowest: drivers report PAL_B|G together
        for (const auto& input : videoInputs)
            if (static_cast<int>(input.index) == current) decoder.horizontalLocked = (input.status & V4L2_IN_ST_NO_H_LOCK) == 0;
        if (info.description.tuner) info.description.tuner->tvFormat = decoder.tvFormat;
        info.description.decoder = decoder;
    }
}

bool ReadControlValue(V4l2Api& api, int fd, uint32_t id, int32_t* value) {
    v4l2_control control{};
    control.id = id;
    if (XIoctl(api, fd, VIDIOC_G_CTRL, &control) < 0) return false;
    *value = control.value;
    return true;
}

// Whether the auto companion's current value means "automatic".
bool AutoIsOn(uint32_t autoId, int32_t value) {
    if (autoId == V4L2_CID_EXPOSURE_AUTO) return value != V4L2_EXPOSURE_MANUAL;
    return value != 0;
}

void ReadControls(V4l2Api& api, int fd, V4l2DeviceInfo& info) {
    std::vector<v4l2_queryctrl> found;
    uint32_t id = V4L2_CTRL_FLAG_NEXT_CTRL;
    for (int guard = 0; guard < 1024; ++guard) {
        v4l2_queryctrl q{};
        q.id = id;
        if (XIoctl(api, fd, VIDIOC_QUERYCTRL, &q) < 0) break;
        id = q.id | V4L2_CTRL_FLAG_NEXT_CTRL;
        if (q.flags & V4L2_CTRL_FLAG_DISABLED) continue;
        found.push_back(q);
    }
    auto has = [&](uint32_t wanted) {
        return std::any_of(found.begin(), found.end(), [&](const v4l2_queryctrl& q) { return q.id == wanted; });
    };
    info.hasAudioMute = has(V4L2_CID_AUDIO_MUTE);
    for (const auto& q : found) {
        const V4l2ControlMapping* mapping = V4l2ControlFor(q.id);
        if (!mapping) continue;
        ControlDescription control;
        control.property = mapping->property;
        control.min = q.minimum;
        control.max = q.maximum;
        control.step = std::max(1, q.step);
        control.defaultValue = q.default_value;
        control.v4l2Id = q.id;
        control.capsFlags = (q.flags & V4L2_CTRL_FLAG_READ_ONLY) ? 0 : 0x2;
        bool autoExists = mapping->autoId != 0 && has(mapping->autoId);
        if (autoExists) {
            control.capsFlags |= 0x1;
            control.v4l2AutoId = mapping->autoId;
        }
        int32_t value = q.default_value;
        ReadControlValue(api, fd, q.id, &value);
        control.value = value;
        int32_t autoValue = 0;
        control.valueFlags = autoExists && ReadControlValue(api, fd, mapping->autoId, &autoValue) && AutoIsOn(mapping->autoId, autoValue)
                                 ? 0x1
                                 : 0x2;
        auto& list = mapping->camera ? info.description.cameraControl : info.description.procAmp;
        if (std::none_of(list.begin(), list.end(), [&](const ControlDescription& c) { return c.property == control.property; }))
            list.push_back(control);
    }
}

}  // namespace

const V4l2ControlMapping* V4l2ControlFor(uint32_t id) {
    for (const auto& mapping : kControls)
        if (mapping.id == id) return &mapping;
    return nullptr;
}

std::optional<V4l2DeviceInfo> ProbeV4l2Device(V4l2Api& api, int fd, const std::string& path) {
    v4l2_capability cap{};
    if (XIoctl(api, fd, VIDIOC_QUERYCAP, &cap) < 0) return std::nullopt;
    uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    // UVC cameras add a metadata node per camera: only capture nodes that stream count.
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) return std::nullopt;

    V4l2DeviceInfo info;
    info.description.name = Text(cap.card, sizeof cap.card);
    info.description.backend = "v4l2";
    info.description.path = path;
    info.description.kind = DeviceKind::Video;
    info.busInfo = Text(cap.bus_info, sizeof cap.bus_info);
    info.driver = Text(cap.driver, sizeof cap.driver);
    ReadFormats(api, fd, info);
    if (info.description.captureCaps.empty()) return std::nullopt;
    ReadInputs(api, fd, info);
    ReadControls(api, fd, info);
    return info;
}

std::optional<V4l2DeviceInfo> ProbeV4l2Node(V4l2Api& api, const std::string& path) {
    int fd = api.Open(path, O_RDWR | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    auto info = ProbeV4l2Device(api, fd, path);
    api.Close(fd);
    return info;
}
