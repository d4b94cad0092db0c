#include "tools/capture/ScreenArguments.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace {
bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

bool ParseInt(const std::string& text, int* value) {
    double d = 0;
    if (!ParseNumber(text, &d) || d != static_cast<int>(d)) return false;
    *value = static_cast<int>(d);
    return true;
}

// "X,Y,W,H" with a positive width and height.
bool ParseRect(const std::string& text, ScreenRect* rect) {
    std::vector<int> values;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        int v = 0;
        if (!ParseInt(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), &v)) return false;
        values.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() != 4 || values[2] <= 0 || values[3] <= 0 || values[0] < 0 || values[1] < 0) return false;
    if (values[0] + values[2] > 10000 || values[1] + values[3] > 10000) return false;  // the page's limits
    *rect = ScreenRect{values[0], values[1], values[2], values[3]};
    return true;
}

int KindOf(const std::string& file) {
    std::string ext = std::filesystem::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".avi") return 0;
    if (ext == ".wmv") return 1;
    if (ext == ".swf") return 2;
    if (ext == ".flv") return 3;
    return -1;
}
}  // namespace

std::string ScreenUsage() {
    return "  orvanta-capture screen FILE.wmv|FILE.avi|FILE.flv|FILE.swf --seconds N [--rect X,Y,W,H]\n"
           "      [--fps F] [--cursor] [--no-audio] [--zoom-after S:X,Y,W,H]\n";
}

ScreenParseResult ParseScreenArguments(const std::vector<std::string>& args) {
    ScreenParseResult result;
    ScreenRequest request;
    bool haveSeconds = false;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (arg == "--seconds") {
            const std::string* v = value();
            if (!v || !ParseNumber(*v, &request.seconds) || request.seconds <= 0 || request.seconds > 86400)
                return fail("--seconds needs a number of seconds above 0");
            haveSeconds = true;
        } else if (arg == "--rect") {
            const std::string* v = value();
            ScreenRect rect;
            if (!v || !ParseRect(*v, &rect)) return fail("--rect needs X,Y,W,H with a positive width and height");
            request.rect = rect;
        } else if (arg == "--fps") {
            const std::string* v = value();
            if (!v || !ParseInt(*v, &request.fps) || request.fps < 1 || request.fps > 120)
                return fail("--fps needs a whole number from 1 to 120");
        } else if (arg == "--cursor") {
            request.cursor = true;
        } else if (arg == "--no-audio") {
            request.audio = false;
        } else if (arg == "--zoom-after") {
            const std::string* v = value();
            const size_t colon = v ? v->find(':') : std::string::npos;
            double at = 0;
            if (colon == std::string::npos || !ParseNumber(v->substr(0, colon), &at) || at < 0 ||
                !ParseRect(v->substr(colon + 1), &request.zoomRect))
                return fail("--zoom-after needs S:X,Y,W,H");
            request.zoomAfter = at;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + arg);
        } else if (request.file.empty()) {
            request.file = arg;
        } else {
            return fail("more than one output file: " + arg);
        }
    }
    if (request.file.empty()) return fail("screen needs an output file");
    request.kind = KindOf(request.file);
    if (request.kind < 0) return fail("the output file must end in .wmv, .avi, .flv or .swf");
    if (!haveSeconds) return fail("screen needs --seconds");
    result.request = request;
    return result;
}
