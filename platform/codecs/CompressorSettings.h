#pragma once
// What the configure dialog sets for a compressor, kept per compressor (by friendly name) for
// the life of the process, and read by every compressor filter made afterwards.
#include <string>

struct CompressorSettings {
    int quality = 7500;     // 0 (smallest) .. 10000 (best), as the compressor manager counts
    int bitRateKbps = 0;    // 0: quality decides
    int keyFrameEvery = 15; // frames between key frames (temporal compressors)
};

CompressorSettings SettingsOf(const std::string& friendlyName);
void StoreSettings(const std::string& friendlyName, const CompressorSettings& settings);
// The quality a compressor uses when nobody configured it.
int DefaultQuality(const std::string& friendlyName);
