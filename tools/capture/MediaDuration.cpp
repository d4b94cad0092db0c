#include "tools/capture/MediaDuration.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <vector>

std::optional<double> MediaDurationSeconds(const std::filesystem::path& file) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return std::nullopt;
    std::optional<double> seconds;
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        // The packets themselves, not the header: a file whose writer stopped early may carry a
        // header that was never brought up to date.
        std::vector<double> end(format->nb_streams, 0.0);
        AVPacket* packet = av_packet_alloc();
        while (packet && av_read_frame(format, packet) >= 0) {
            const AVStream* stream = format->streams[packet->stream_index];
            const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts != AV_NOPTS_VALUE) {
                const double stop = static_cast<double>(pts + std::max<int64_t>(packet->duration, 0)) * av_q2d(stream->time_base);
                end[static_cast<size_t>(packet->stream_index)] = std::max(end[static_cast<size_t>(packet->stream_index)], stop);
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
        seconds = end.empty() ? 0.0 : *std::max_element(end.begin(), end.end());
    }
    avformat_close_input(&format);
    return seconds;
}
