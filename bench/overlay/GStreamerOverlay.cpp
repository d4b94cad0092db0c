#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cstdio>

#include "bench/overlay/ReferenceOverlays.h"

namespace {
// One frame pushed and pulled per call. Text and clock draw plain glyphs, outline and shadow off,
// as the filter under test draws them. The pushed buffers are read-only views of the shared
// frames, so the first overlay copies the frame as the filter under test does.
class GStreamerRun final : public ReferenceRun {
public:
    explicit GStreamerRun(const OverlayScene& scene) : scene_(scene) {
        char description[2048];
        std::snprintf(description, sizeof description,
                      "appsrc name=src is-live=false format=time "
                      "caps=video/x-raw,format=BGR,width=%d,height=%d,framerate=30/1 ! "
                      "textoverlay text=\"%s\" font-desc=\"%s %dpx\" valignment=top halignment=left "
                      "xpad=%d ypad=%d draw-outline=false draw-shadow=false ! "
                      "clockoverlay time-format=\"%%m/%%d/%%Y %%H:%%M:%%S \" font-desc=\"%s %dpx\" "
                      "valignment=top halignment=left xpad=%d ypad=%d draw-outline=false draw-shadow=false ! "
                      "gdkpixbufoverlay location=%s offset-x=%d offset-y=%d ! "
                      "appsink name=sink sync=false max-buffers=2",
                      scene.width, scene.height, scene.text.c_str(), scene.fontFamily.c_str(), scene.textSize,
                      scene.textX, scene.textY, scene.fontFamily.c_str(), scene.dateSize, scene.dateX, scene.dateY,
                      scene.logoPath.c_str(), scene.logoX, scene.logoY);
        GError* error = nullptr;
        pipeline_ = gst_parse_launch(description, &error);
        if (!pipeline_) {
            error_ = error ? error->message : "gst_parse_launch failed";
            if (error) g_error_free(error);
            return;
        }
        src_ = gst_bin_get_by_name(GST_BIN(pipeline_), "src");
        sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            error_ = "GStreamer pipeline does not start";
    }
    ~GStreamerRun() override {
        if (!pipeline_) return;
        gst_app_src_end_of_stream(GST_APP_SRC(src_));
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(src_);
        gst_object_unref(sink_);
        gst_object_unref(pipeline_);
    }

    bool Frame(int index) override {
        const auto& frames = *scene_.frames;
        const auto& frame = frames[static_cast<size_t>(index) % frames.size()];
        GstBuffer* buffer = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, const_cast<uint8_t*>(frame.data()),
                                                        frame.size(), 0, frame.size(), nullptr, nullptr);
        GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(index) * GST_SECOND / 30;
        GST_BUFFER_DURATION(buffer) = GST_SECOND / 30;
        if (gst_app_src_push_buffer(GST_APP_SRC(src_), buffer) != GST_FLOW_OK) {
            error_ = "GStreamer refused a frame";
            return false;
        }
        GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink_));
        if (!sample) {
            error_ = "GStreamer pipeline stopped";
            return false;
        }
        gst_sample_unref(sample);
        return true;
    }

private:
    OverlayScene scene_;
    GstElement* pipeline_ = nullptr;
    GstElement* src_ = nullptr;
    GstElement* sink_ = nullptr;
};
}  // namespace

void InitReferences(int* argc, char*** argv) { gst_init(argc, argv); }

std::unique_ptr<ReferenceRun> MakeGStreamerRun(const OverlayScene& scene) {
    return std::make_unique<GStreamerRun>(scene);
}
