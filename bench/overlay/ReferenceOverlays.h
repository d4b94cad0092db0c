#pragma once
// The reference implementations the overlay benchmark measures against, behind a plain interface
// so that their headers (glib's TRUE/FALSE macros among them) stay out of the project's code.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What every contender draws: a line of text, the local date and time, and a logo with alpha.
struct OverlayScene {
    int width = 0, height = 0;
    std::string text, fontFile, fontFamily;
    int textSize = 0, textX = 0, textY = 0;
    int dateSize = 0, dateX = 0, dateY = 0;
    std::string logoPath;
    int logoX = 0, logoY = 0;
    // Bottom-up RGB24 frames (B, G, R bytes), cycled through.
    const std::vector<std::vector<uint8_t>>* frames = nullptr;
};

class ReferenceRun {
public:
    virtual ~ReferenceRun() = default;
    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    // Draws onto frame `index` (mod the frame count) and waits for the result.
    virtual bool Frame(int index) = 0;

protected:
    std::string error_;
};

void InitReferences(int* argc, char*** argv);
// appsrc ! textoverlay ! clockoverlay ! gdkpixbufoverlay ! appsink
std::unique_ptr<ReferenceRun> MakeGStreamerRun(const OverlayScene& scene);
// buffer -> drawtext -> drawtext (local time) -> overlay (logo) -> buffersink
std::unique_ptr<ReferenceRun> MakeFfmpegRun(const OverlayScene& scene);
