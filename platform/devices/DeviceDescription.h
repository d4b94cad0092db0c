#pragma once
// What a capture device offers, independent of the backend that found it: the virtual devices read
// it from JSON, the V4L2 backend builds it from the driver's answers, the ALSA backend from the
// card's mixer. The interface objects (crossbar, tuner, proc-amp ...) are built from it.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

enum class DeviceKind : uint8_t { Video, Audio };

// One stream capability of a video pin. Fixed when min == max; otherwise the pin scales between
// them in steps of the granularity.
struct VideoCapability {
    Guid subtype;               // media subtype
    uint32_t compression = 0;   // biCompression: 0 for RGB, else the FourCC
    int bitCount = 0;
    int minWidth = 0, minHeight = 0;
    int maxWidth = 0, maxHeight = 0;
    int granularityX = 1, granularityY = 1;
    REFERENCE_TIME minFrameInterval = 333333;  // 100 ns units; the fastest rate
    REFERENCE_TIME maxFrameInterval = 333333;
    REFERENCE_TIME defaultFrameInterval = 333333;
    uint32_t v4l2PixelFormat = 0;  // the V4L2 format behind it (V4L2 backend only)

    bool IsScalable() const { return minWidth != maxWidth || minHeight != maxHeight; }
    bool operator==(const VideoCapability&) const = default;
};

struct CrossbarPin {
    LONG physicalType = 0;
    LONG related = -1;      // index of the related pin of the same direction, -1 none
    int backendIndex = -1;  // V4L2 input or audio index the pin stands for; -1 none
    std::string name;       // the driver's own name, for diagnostics
    bool operator==(const CrossbarPin&) const = default;
};

struct CrossbarDescription {
    std::vector<CrossbarPin> inputs;
    std::vector<CrossbarPin> outputs;
    // allowed[output] lists the inputs that output can take.
    std::vector<std::vector<LONG>> allowed;
    // routes[output] is the routed input, -1 none.
    std::vector<LONG> routes;
};

enum class SignalState : uint8_t { Absent, Present, Unmeasurable };

struct TunerChannel {
    LONG number = 0;
    SignalState signal = SignalState::Absent;
    bool autoTuneFinds = false;  // what AutoTune answers where the signal cannot be measured
    bool operator==(const TunerChannel&) const = default;
};

struct TunerDescription {
    LONG availableModes = 0x1;  // AMTUNER_MODE_* bits
    LONG mode = 0x1;
    LONG countryCode = 1;
    LONG inputConnections = 1;
    LONG availableTvFormats = 0;  // AnalogVideo_* bits
    LONG tvFormat = 0;
    LONG channelMin = 2, channelMax = 69;
    // Channels with a known answer; every other channel in range has no signal.
    std::vector<TunerChannel> channels;
    LONG channel = 2;
    LONG tuningSpace = 0;
    LONG connectInput = 0;
    std::vector<LONG> inputTypes;  // TunerInputType per input connection; empty: all cable
    bool hasChannelTable = true;   // virtual tuners answer from `channels`; V4L2 ones measure
};

struct DecoderDescription {
    LONG availableTvFormats = 0;
    LONG tvFormat = 0;
    bool horizontalLocked = true;
};

// One picture (proc-amp) or camera setting.
struct ControlDescription {
    LONG property = 0;  // VideoProcAmp_* or CameraControl_*
    LONG min = 0, max = 0, step = 1, defaultValue = 0;
    LONG capsFlags = 0x2;   // *_Flags_Auto | *_Flags_Manual
    LONG value = 0;
    LONG valueFlags = 0x2;  // current mode
    uint32_t v4l2Id = 0;     // V4L2 control behind it
    uint32_t v4l2AutoId = 0; // its auto companion, 0 none
    bool operator==(const ControlDescription&) const = default;
};

struct AudioInputLine {
    std::string name;
    bool enabled = false;
    double mixLevel = 1.0;
    bool operator==(const AudioInputLine&) const = default;
};

struct AudioFormatDescription {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16;
};

// A video file a virtual camera plays instead of its test picture (virtual/VideoFile.h).
struct VideoClip {
    std::filesystem::path path;
    bool raw = false;  // raw frames; else YUV4MPEG2
    // For raw frames only: their format, size and rate.
    Guid subtype;
    int width = 0, height = 0;
    double frameRate = 0;
};

struct DeviceDescription {
    std::string name;     // friendly name, byte-exact
    std::string backend;  // "virtual", "v4l2", "alsa"
    std::string path;     // device node or ALSA name
    DeviceKind kind = DeviceKind::Video;
    bool failsToBind = false;
    // Virtual devices: after this much stream time (100 ns units) of every run the device is
    // pulled out: its reads fail with ENODEV as a device's reads do once it is gone. 0 never.
    REFERENCE_TIME unplugAfter = 0;

    // video
    std::vector<VideoCapability> captureCaps;
    std::optional<std::vector<VideoCapability>> previewCaps;  // absent: no preview pin
    std::optional<CrossbarDescription> crossbar;
    std::optional<TunerDescription> tuner;
    std::optional<DecoderDescription> decoder;
    std::vector<ControlDescription> procAmp;
    std::vector<ControlDescription> cameraControl;
    int dropEvery = 0;  // virtual devices: every n-th frame is dropped, 0 never
    std::optional<VideoClip> videoFile;  // virtual devices: played instead of the test picture
    int dialogs = 0;    // VfwCaptureDialog_* bits
    bool propertyPages = false;

    // audio
    std::vector<AudioInputLine> inputLines;
    AudioFormatDescription audioFormat;
    double toneHz = 440.0;
};

// Name of a physical connector type (the crossbar vocabulary); "Unknown Type" for others.
const char* ConnectorTypeName(LONG physicalType);
// The type for a connector name, or nullopt.
std::optional<LONG> ConnectorTypeFromName(const std::string& name);
// Audio connectors are those from 0x1000 on.
inline bool IsAudioConnector(LONG physicalType) { return physicalType >= 0x1000; }
// Routes every output can take by connector class (video to video, audio to audio).
std::vector<std::vector<LONG>> DefaultCrossbarRoutes(const CrossbarDescription& crossbar);
