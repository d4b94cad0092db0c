#include "bench/support/FileFacts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/support/CommandOutput.h"

std::string FileFacts::Text() const {
    char text[160];
    std::snprintf(text, sizeof text, "%s %dx%d, %ju bytes, %ld frames, %.0f kb/s", codec.c_str(),
                  width, height, bytes, frames, static_cast<double>(bitRate) / 1000.0);
    return text;
}

namespace {
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    for (size_t at = 0;;) {
        size_t end = text.find(separator, at);
        fields.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) return fields;
        at = end + 1;
    }
}
}  // namespace

FileFacts Probe(const std::filesystem::path& file) {
    FileFacts facts;
    std::error_code ec;
    facts.bytes = std::filesystem::file_size(file, ec);
    if (ec) return facts;
    const std::string quoted = " '" + file.string() + "' 2>/dev/null";
    // codec_name,width,height,avg_frame_rate
    std::vector<std::string> stream =
        Split(CommandOutput("ffprobe -v error -select_streams v:0 -show_entries "
                            "stream=codec_name,width,height,avg_frame_rate -of csv=p=0" + quoted),
              ',');
    if (stream.size() < 4) return facts;
    std::vector<std::string> rate = Split(stream[3], '/');
    const double fps = rate.size() == 2 && std::atof(rate[1].c_str()) > 0
                           ? std::atof(rate[0].c_str()) / std::atof(rate[1].c_str())
                           : 0.0;
    // The bit rate from the packets themselves: some containers state a rate in their header that
    // says what was asked for, not what was written.
    long long videoBytes = 0;
    long packets = 0;
    for (const std::string& size :
         Split(CommandOutput("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0" + quoted),
               '\n')) {
        if (size.empty()) continue;
        videoBytes += std::atoll(size.c_str());
        ++packets;
    }
    facts.codec = stream[0];
    facts.width = std::atoi(stream[1].c_str());
    facts.height = std::atoi(stream[2].c_str());
    facts.frames = packets;
    if (packets > 0 && fps > 0)
        facts.bitRate =
            std::lround(static_cast<double>(videoBytes) * 8.0 * fps / static_cast<double>(packets));
    return facts;
}

bool SameBitRate(const FileFacts& a, const FileFacts& b, double tolerance) {
    if (a.bitRate <= 0 || b.bitRate <= 0) return false;
    double high = static_cast<double>(std::max(a.bitRate, b.bitRate));
    return std::abs(static_cast<double>(a.bitRate - b.bitRate)) <= tolerance * high;
}
