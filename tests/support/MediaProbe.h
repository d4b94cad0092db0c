#pragma once
// Reading back what the tests write with the real tools a user has: ffprobe for what a player
// sees, ffmpeg for the decoded pictures.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Everything the shell command writes to its standard output; "" when it cannot be run.
std::string CommandOutput(const std::string& command);
// `ffprobe -v error ARGS 'FILE'`, its standard output (errors dropped).
std::string Ffprobe(const std::filesystem::path& file, const std::string& args);
// ffprobe's [STREAM] and [FORMAT] sections (`-of default`) as maps of their fields.
struct ProbedFile {
    std::vector<std::map<std::string, std::string>> streams;  // in file order
    std::map<std::string, std::string> format;
    // The first stream whose codec_type is `type`, or null.
    const std::map<std::string, std::string>* Stream(const std::string& type) const;
};
// `ffprobe -v error ARGS -of default 'FILE'`, e.g. ARGS "-show_entries stream=codec_name,width".
ProbedFile ProbeSections(const std::filesystem::path& file, const std::string& args);
// The container's duration in seconds (0 when ffprobe cannot tell).
double ProbedDuration(const std::filesystem::path& file);
// How many packets ffprobe reads from the first stream of a kind ("v", "a"); 0 for none.
int ProbedPackets(const std::filesystem::path& file, const std::string& stream);
// The text split at line ends (without them).
std::vector<std::string> Lines(const std::string& text);
// The file's video decoded to raw frames of `pixelFormat` ("bgr24", "gray"), top row first;
// `frames` below 0 decodes them all.
std::vector<uint8_t> DecodeVideo(const std::filesystem::path& file, const std::string& pixelFormat, int frames = -1);

}  // namespace testing_support
