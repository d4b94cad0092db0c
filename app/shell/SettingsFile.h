#pragma once
// "settings.ini": nine values, one a line, for the device capture page and the broadcast
// settings. They live in process-wide strings with their defaults; the file only overrides them.
#include <optional>
#include <string>

struct DeviceSettings {
    std::string captureDevice = "1";   // 1-based index in the device list ("0": none)
    std::string videoFormat = "1";     // 1-based
    std::string videoInput = "1";      // 1-based
    std::string audioDevice = "1";     // 1-based
    std::string wmvQuality = "5";      // index in the broadcast page's quality list
    std::string broadcastPort = "8080";
    std::string maxClients = "3";
    std::string snapshotFormat = "0";  // "1" JPEG, "0" BMP
    std::string snapshotFolder;
};

// The process-wide values.
DeviceSettings& Settings();

// The files in a settings folder (the program folder when it is writable, else the user's
// configuration folder: GetSettingsFolderFor).
std::string SettingsFilePath(const std::string& settingsFolder);
std::string ConfigFilePath(const std::string& settingsFolder);
// The default snapshot folder: "snapshot" in the settings folder.
std::string DefaultSnapshotFolder(const std::string& settingsFolder);

// Reads the file over `settings`; lines that are missing keep their value. A line that is not
// what its place holds (an index that is no decimal number, a port outside 1..65535, a format
// other than "0" or "1") keeps the default instead. False when the file cannot be read.
bool ReadSettings(const std::string& path, DeviceSettings& settings);
// Rewrites the file whole: lines 1 to 8 each ended by a newline, then line 9 without one. The
// new file replaces the old in one step, so a failure leaves the old one in place. A CR or LF
// inside a value is written as a blank. False when the file could not be written.
bool WriteSettings(const std::string& path, const DeviceSettings& settings);
// The bytes WriteSettings writes.
std::string FormatSettings(const DeviceSettings& settings);

// The 0-based entry that a 1-based line value selects in a list of `count` entries; none for
// "0", for a value beyond the list and for anything that is not a number.
std::optional<int> SelectionOf(const std::string& line, int count);
// The value of the broadcast page's 0-based quality line within a list of `count` qualities,
// else the default's.
std::optional<int> QualitySelectionOf(const std::string& line, int count);
