#pragma once
// What kind of media file a path names, told by its content rather than its name: a finished
// ASF file (WMV, WMA, ASF) that can be served from its first packet, or an MP3 file.
#include <filesystem>
#include <string>

enum class MediaFileKind { Unknown, Asf, Mp3 };

struct MediaFileCheck {
    MediaFileKind kind = MediaFileKind::Unknown;
    std::string error;  // why the file cannot be broadcast (kind Unknown)
};

MediaFileCheck CheckMediaFile(const std::filesystem::path& file);
