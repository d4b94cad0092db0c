#include "MediaProbe.h"

#include <cstdio>
#include <cstdlib>

namespace testing_support {
namespace {
std::string Quoted(const std::filesystem::path& file) { return "'" + file.string() + "'"; }

template <class Sink>
bool ReadCommand(const std::string& command, Sink&& sink) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) sink(chunk, n);
    pclose(pipe);
    return true;
}
}  // namespace

std::string CommandOutput(const std::string& command) {
    std::string out;
    ReadCommand(command, [&](const char* data, size_t n) { out.append(data, n); });
    return out;
}

std::string Ffprobe(const std::filesystem::path& file, const std::string& args) {
    return CommandOutput("ffprobe -v error " + args + " " + Quoted(file) + " 2>/dev/null");
}

double ProbedDuration(const std::filesystem::path& file) {
    return std::atof(Ffprobe(file, "-show_entries format=duration -of csv=p=0").c_str());
}

int ProbedPackets(const std::filesystem::path& file, const std::string& stream) {
    return std::atoi(Ffprobe(file, "-count_packets -select_streams " + stream +
                                       " -show_entries stream=nb_read_packets -of csv=p=0")
                         .c_str());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

const std::map<std::string, std::string>* ProbedFile::Stream(const std::string& type) const {
    for (const auto& stream : streams) {
        auto it = stream.find("codec_type");
        if (it != stream.end() && it->second == type) return &stream;
    }
    return nullptr;
}

ProbedFile ProbeSections(const std::filesystem::path& file, const std::string& args) {
    ProbedFile probed;
    std::map<std::string, std::string>* section = nullptr;
    for (std::string& line : Lines(Ffprobe(file, args + " -of default"))) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "[STREAM]") {
            section = &probed.streams.emplace_back();
        } else if (line == "[FORMAT]") {
            section = &probed.format;
        } else if (line.rfind("[/", 0) == 0) {
            section = nullptr;
        } else if (size_t eq = line.find('='); section && eq != std::string::npos) {
            (*section)[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return probed;
}

std::vector<uint8_t> DecodeVideo(const std::filesystem::path& file, const std::string& pixelFormat, int frames) {
    std::string command = "ffmpeg -v error -i " + Quoted(file) +
                          (frames >= 0 ? " -frames:v " + std::to_string(frames) : std::string()) +
                          " -f rawvideo -pix_fmt " + pixelFormat + " - 2>/dev/null";
    std::vector<uint8_t> bytes;
    ReadCommand(command, [&](const char* data, size_t n) { bytes.insert(bytes.end(), data, data + n); });
    return bytes;
}

}  // namespace testing_support
