#pragma once
// Reading back the AVI files the tests write: ffprobe for what a player sees, libavformat for the
// stored packets (whose first bytes carry the synthetic frame numbers).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/dshow/synthetic/SyntheticVideoSource.h"
#include "tests/support/MediaProbe.h"

namespace dshow_test {

struct ProbedStream {
    std::string type;  // "video" or "audio"
    int width = 0;
    int height = 0;
    long frames = -1;  // decoded frames (video) or packets
    double duration = -1;
};

// ffprobe's view of the file; empty when ffprobe cannot read it.
inline std::vector<ProbedStream> ProbeWithFfprobe(const std::filesystem::path& file) {
    testing_support::ProbedFile probed = testing_support::ProbeSections(
        file, "-count_frames -show_entries stream=codec_type,width,height,nb_read_frames,duration");
    std::vector<ProbedStream> streams;
    for (auto& fields : probed.streams) {
        auto number = [&](const char* key, double fallback) {
            auto it = fields.find(key);
            if (it == fields.end() || it->second.empty() || it->second == "N/A") return fallback;
            return std::stod(it->second);
        };
        ProbedStream s;
        s.type = fields["codec_type"];
        if (s.type.empty()) continue;
        s.width = static_cast<int>(number("width", 0));
        s.height = static_cast<int>(number("height", 0));
        s.frames = static_cast<long>(number("nb_read_frames", -1));
        s.duration = number("duration", -1);
        streams.push_back(s);
    }
    return streams;
}

// The duration of one stream ("v" or "a") as the sum of its packets' durations, as ffprobe reads
// them (PCM audio in AVI has no stream duration of its own).
inline double PacketDurationWithFfprobe(const std::filesystem::path& file, const char* stream) {
    double total = 0;
    for (const std::string& line : testing_support::Lines(testing_support::Ffprobe(
             file, std::string("-select_streams ") + stream + " -show_entries packet=duration_time -of csv=p=0")))
        total += std::atof(line.c_str());
    return total;
}

// The first video frame as a player decodes it: top row first, BGR bytes.
inline std::vector<uint8_t> DecodeFirstFrameBgr(const std::filesystem::path& file) {
    return testing_support::DecodeVideo(file, "bgr24", 1);
}

inline const ProbedStream* StreamOf(const std::vector<ProbedStream>& streams, const std::string& type) {
    for (const auto& s : streams) {
        if (s.type == type) return &s;
    }
    return nullptr;
}

struct StoredVideo {
    bool opened = false;
    std::vector<int64_t> frameNumbers;  // per non-empty video packet
    std::vector<int64_t> pts;
    int emptyPackets = 0;               // "repeat the previous frame" chunks
    int64_t audioSamples = 0;
};

inline StoredVideo ReadStoredPackets(const std::filesystem::path& file) {
    StoredVideo result;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return result;
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return result;
    }
    result.opened = true;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        AVStream* st = format->streams[packet->stream_index];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (packet->size == 0) {
                ++result.emptyPackets;
            } else {
                result.frameNumbers.push_back(SyntheticVideoSource::FrameNumberOf(packet->data, static_cast<size_t>(packet->size)));
                result.pts.push_back(packet->pts);
            }
        } else if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && st->codecpar->block_align > 0) {
            result.audioSamples += packet->size / st->codecpar->block_align;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return result;
}

// A finished AVI: the RIFF size covers the whole file and the index is there.
inline bool IsCompleteAvi(const std::filesystem::path& file) {
    std::error_code error;
    auto size = std::filesystem::file_size(file, error);
    if (error || size < 12) return false;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    unsigned char header[12];
    bool ok = std::fread(header, 1, 12, f) == 12 && std::memcmp(header, "RIFF", 4) == 0 &&
              std::memcmp(header + 8, "AVI ", 4) == 0;
    uint32_t riff = header[4] | header[5] << 8 | header[6] << 16 | static_cast<uint32_t>(header[7]) << 24;
    ok = ok && riff + 8 == size;
    // Walk the top-level chunks after the header: hdrl LIST, movi LIST, idx1.
    bool index = false;
    long offset = 12;
    while (ok && offset + 8 <= static_cast<long>(size)) {
        unsigned char chunk[8];
        if (std::fseek(f, offset, SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8) break;
        uint32_t length = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | static_cast<uint32_t>(chunk[7]) << 24;
        if (std::memcmp(chunk, "idx1", 4) == 0) index = true;
        offset += 8 + static_cast<long>(length + (length & 1));
    }
    std::fclose(f);
    return ok && index;
}

}  // namespace dshow_test
