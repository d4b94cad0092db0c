#include "app/shell/SettingsFile.h"

#include <array>
#include <charconv>
#include <vector>

#include "app/shell/TextFile.h"

namespace {

// A whole decimal number without sign or blanks.
std::optional<long> DecimalOf(const std::string& text) {
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

bool IsIndex(const std::string& text) { return DecimalOf(text).has_value(); }

bool IsPort(const std::string& text) {
    std::optional<long> port = DecimalOf(text);
    return port && *port >= 1 && *port <= 65535;
}

bool IsCount(const std::string& text) {
    std::optional<long> count = DecimalOf(text);
    return count && *count >= 1 && *count <= 1000;
}

bool IsSnapshotFormat(const std::string& text) { return text == "0" || text == "1"; }

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

}  // namespace

DeviceSettings& Settings() {
    static DeviceSettings settings;
    return settings;
}

std::string SettingsFilePath(const std::string& folder) { return folder + "/settings.ini"; }
std::string ConfigFilePath(const std::string& folder) { return folder + "/config.ini"; }
std::string DefaultSnapshotFolder(const std::string& folder) { return folder + "/snapshot"; }

bool ReadSettings(const std::string& path, DeviceSettings& settings) {
    std::string text;
    if (!ReadTextFile(path, &text)) return false;
    const std::vector<std::string> lines = SplitLines(text);
    const DeviceSettings defaults;
    struct Line {
        std::string DeviceSettings::*field;
        bool (*valid)(const std::string&);
    };
    const std::array<Line, 8> checked = {{
        {&DeviceSettings::captureDevice, IsIndex},
        {&DeviceSettings::videoFormat, IsIndex},
        {&DeviceSettings::videoInput, IsIndex},
        {&DeviceSettings::audioDevice, IsIndex},
        {&DeviceSettings::wmvQuality, IsIndex},
        {&DeviceSettings::broadcastPort, IsPort},
        {&DeviceSettings::maxClients, IsCount},
        {&DeviceSettings::snapshotFormat, IsSnapshotFormat},
    }};
    for (size_t i = 0; i < checked.size() && i < lines.size(); ++i) {
        const std::string& value = lines[i];
        // An empty eighth line leaves the format as it was; other lines are taken as read.
        if (i == 7 && value.empty()) continue;
        settings.*checked[i].field = checked[i].valid(value) ? value : defaults.*checked[i].field;
    }
    if (lines.size() > 8 && !lines[8].empty()) settings.snapshotFolder = lines[8];
    return true;
}

std::string FormatSettings(const DeviceSettings& settings) {
    const std::array<const std::string*, 9> values = {
        &settings.captureDevice, &settings.videoFormat,    &settings.videoInput,
        &settings.audioDevice,   &settings.wmvQuality,     &settings.broadcastPort,
        &settings.maxClients,    &settings.snapshotFormat, &settings.snapshotFolder};
    std::string bytes;
    for (size_t i = 0; i < values.size(); ++i) {
        bytes += OneLine(*values[i]);
        if (i + 1 < values.size()) bytes += '\n';
    }
    return bytes;
}

bool WriteSettings(const std::string& path, const DeviceSettings& settings) {
    return ReplaceFile(path, FormatSettings(settings));
}

std::optional<int> SelectionOf(const std::string& line, int count) {
    std::optional<long> n = DecimalOf(line);
    if (!n || *n < 1 || *n > count) return std::nullopt;
    return static_cast<int>(*n - 1);
}

std::optional<int> QualitySelectionOf(const std::string& line, int count) {
    std::optional<long> n = DecimalOf(line);
    if (n && *n < count) return static_cast<int>(*n);
    std::optional<long> fallback = DecimalOf(DeviceSettings().wmvQuality);
    if (fallback && *fallback < count) return static_cast<int>(*fallback);
    return std::nullopt;
}
