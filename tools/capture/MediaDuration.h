#pragma once
// How long a media file we wrote plays, as a reader sees it: what a recording cut short by an
// error still holds.
#include <filesystem>
#include <optional>

// Seconds of the longest stream, counted from its packets; nothing when the file cannot be read.
std::optional<double> MediaDurationSeconds(const std::filesystem::path& file);
