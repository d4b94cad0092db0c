#include "platform/devices/DeviceDescription.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {
const std::array<std::pair<LONG, const char*>, 23> kConnectorNames{{
    {1, "Video Tuner"},        {2, "Video Composite"},       {3, "S-Video"},
    {4, "Video RGB"},          {5, "Video YRYBY"},           {6, "Video Serial Digital"},
    {7, "Video Parallel Digital"}, {8, "Video SCSI"},        {9, "Video AUX"},
    {10, "Video 1394"},        {11, "Video USB"},            {12, "Video Decoder"},
    {13, "Video Encoder"},     {4096, "Audio Tuner"},        {4097, "Audio Line"},
    {4098, "Audio Microphone"}, {4099, "Audio AES/EBU Digital"}, {4100, "Audio S/PDIF"},
    {4101, "Audio SCSI"},      {4102, "Audio AUX"},          {4103, "Audio 1394"},
    {4104, "Audio USB"},       {4105, "Audio Decoder"},
}};
}  // namespace

const char* ConnectorTypeName(LONG physicalType) {
    for (const auto& [type, name] : kConnectorNames)
        if (type == physicalType) return name;
    return "Unknown Type";
}

std::optional<LONG> ConnectorTypeFromName(const std::string& name) {
    for (const auto& [type, text] : kConnectorNames)
        if (name == text) return type;
    return std::nullopt;
}

std::vector<std::vector<LONG>> DefaultCrossbarRoutes(const CrossbarDescription& crossbar) {
    std::vector<std::vector<LONG>> allowed(crossbar.outputs.size());
    for (size_t out = 0; out < crossbar.outputs.size(); ++out) {
        bool audioOut = IsAudioConnector(crossbar.outputs[out].physicalType);
        for (size_t in = 0; in < crossbar.inputs.size(); ++in)
            if (IsAudioConnector(crossbar.inputs[in].physicalType) == audioOut)
                allowed[out].push_back(static_cast<LONG>(in));
    }
    return allowed;
}
