// FFmpeg's headers want the C99 constant macros in C++.
#define __STDC_CONSTANT_MACROS
extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <cstdio>
#include <cstring>

#include "bench/overlay/ReferenceOverlays.h"

namespace {
// Frames go in as shared references, so the first drawtext makes the frame writable (a copy), as
// the filter under test copies its input.
class FfmpegRun final : public ReferenceRun {
public:
    explicit FfmpegRun(const OverlayScene& scene) {
        graph_ = avfilter_graph_alloc();
        char args[256];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/30:pixel_aspect=1/1", scene.width,
                      scene.height, AV_PIX_FMT_BGR24);
        int rc = avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args, nullptr, graph_);
        if (rc >= 0)
            rc = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph_);
        if (rc >= 0) {
            enum AVPixelFormat formats[] = {AV_PIX_FMT_BGR24, AV_PIX_FMT_NONE};
            rc = av_opt_set_int_list(sink_, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
        }
        char chain[2048];
        std::snprintf(chain, sizeof chain,
                      "drawtext=fontfile=%s:text='%s':fontsize=%d:fontcolor=white:x=%d:y=%d,"
                      "drawtext=fontfile=%s:text='%%{localtime}':fontsize=%d:fontcolor=white:x=%d:y=%d[t];"
                      "movie=%s,format=bgra[logo];[t][logo]overlay=x=%d:y=%d:format=rgb",
                      scene.fontFile.c_str(), scene.text.c_str(), scene.textSize, scene.textX, scene.textY,
                      scene.fontFile.c_str(), scene.dateSize, scene.dateX, scene.dateY, scene.logoPath.c_str(),
                      scene.logoX, scene.logoY);
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source_;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink_;
        if (rc >= 0) rc = avfilter_graph_parse_ptr(graph_, chain, &inputs, &outputs, nullptr);
        if (rc >= 0) rc = avfilter_graph_config(graph_, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (rc < 0) {
            error_ = "FFmpeg filter graph cannot be built";
            return;
        }
        ReportConversions();
        const int stride = scene.width * 3;
        for (const auto& bottomUp : *scene.frames) {
            AVFrame* frame = av_frame_alloc();
            frame->format = AV_PIX_FMT_BGR24;
            frame->width = scene.width;
            frame->height = scene.height;
            av_frame_get_buffer(frame, 0);
            // FFmpeg's rows run top-down: the same picture, rows in display order.
            for (int y = 0; y < scene.height; ++y)
                std::memcpy(frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0],
                            bottomUp.data() + static_cast<size_t>(scene.height - 1 - y) * stride, stride);
            frames_.push_back(frame);
        }
        out_ = av_frame_alloc();
    }
    ~FfmpegRun() override {
        av_frame_free(&out_);
        for (AVFrame*& f : frames_) av_frame_free(&f);
        avfilter_graph_free(&graph_);
    }

    bool Frame(int index) override {
        AVFrame* in = frames_[static_cast<size_t>(index) % frames_.size()];
        in->pts = index;
        if (av_buffersrc_add_frame_flags(source_, in, AV_BUFFERSRC_FLAG_KEEP_REF) < 0 ||
            av_buffersink_get_frame(sink_, out_) < 0) {
            error_ = "FFmpeg filter graph stopped";
            return false;
        }
        av_frame_unref(out_);
        return true;
    }

private:
    // A converter on the main picture would be work the others do not do: say so.
    void ReportConversions() const {
        for (unsigned f = 0; f < graph_->nb_filters; ++f) {
            const AVFilterContext* ctx = graph_->filters[f];
            if (std::strcmp(ctx->filter->name, "scale") != 0) continue;
            for (unsigned p = 0; p < ctx->nb_inputs; ++p)
                if (std::strstr(ctx->inputs[p]->src->name, "drawtext"))
                    std::fprintf(stderr, "note: FFmpeg converts the main picture in %s\n", ctx->name);
        }
    }

    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    std::vector<AVFrame*> frames_;
    AVFrame* out_ = nullptr;
};
}  // namespace

std::unique_ptr<ReferenceRun> MakeFfmpegRun(const OverlayScene& scene) { return std::make_unique<FfmpegRun>(scene); }
