#pragma once
// The command line of `orvanta-capture screen`:
//   screen FILE.wmv|.avi|.flv|.swf --seconds N [--rect X,Y,W,H] [--fps F] [--cursor] [--no-audio]
//          [--zoom-after S:X,Y,W,H]
#include <optional>
#include <string>
#include <vector>

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct ScreenRequest {
    std::string file;
    int kind = 0;  // the control's output kind: 0 AVI, 1 WMV, 2 SWF, 3 FLV
    double seconds = 0;
    std::optional<ScreenRect> rect;  // none: the whole screen
    int fps = 10;
    bool cursor = false;
    bool audio = true;
    std::optional<double> zoomAfter;
    ScreenRect zoomRect;
};

struct ScreenParseResult {
    std::optional<ScreenRequest> request;
    std::string error;
};

// `args` without the command word.
ScreenParseResult ParseScreenArguments(const std::vector<std::string>& args);
std::string ScreenUsage();
