#include "tools/capture/CaptureArguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>

namespace {

std::string LowerExtension(const std::string& file) {
    size_t dot = file.find_last_of('.');
    size_t slash = file.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = file.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::optional<int> ParseInt(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [at, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || at != end || value < low || value > high) return std::nullopt;
    return value;
}

// One option: whether it takes a value, and what it does with it (false: bad value).
struct Option {
    bool takesValue;
    std::function<bool(CaptureRequest&, const std::string&)> apply;
    std::string valueError;
};

std::map<std::string, Option> OptionsOf(CaptureCommand command) {
    auto text = [](std::optional<std::string> CaptureRequest::* field) {
        return [field](CaptureRequest& r, const std::string& v) {
            if (v.empty()) return false;
            r.*field = v;
            return true;
        };
    };
    auto number = [](auto setter, int low, int high) {
        return [setter, low, high](CaptureRequest& r, const std::string& v) {
            std::optional<int> n = ParseInt(v, low, high);
            if (!n) return false;
            setter(r, *n);
            return true;
        };
    };
    auto seconds = Option{true, number([](CaptureRequest& r, int n) { r.seconds = n; }, 1, 86400),
                          "--seconds wants a whole number of seconds from 1 to 86400"};
    auto device = Option{true, text(&CaptureRequest::device), "--device wants a device name"};
    auto profile = Option{true, text(&CaptureRequest::profile), "--profile wants a profile file"};
    switch (command) {
    case CaptureCommand::List:
        return {};
    case CaptureCommand::Record:
        return {
            {"--seconds", seconds},
            {"--device", device},
            {"--audio-device", {true, text(&CaptureRequest::audioDevice), "--audio-device wants a device name"}},
            {"--format",
             {true, number([](CaptureRequest& r, int n) { r.format = n; }, 0, 32767),
              "--format wants an index from 0 (see `list`)"}},
            {"--video-compressor",
             {true, text(&CaptureRequest::videoCompressor), "--video-compressor wants a compressor name"}},
            {"--audio-compressor",
             {true, text(&CaptureRequest::audioCompressor), "--audio-compressor wants a compressor name"}},
            {"--profile", profile},
            {"--mpeg2", {false, [](CaptureRequest& r, const std::string&) { return r.mpeg2 = true; }, ""}},
            {"--text",
             {true,
              [](CaptureRequest& r, const std::string& v) {
                  r.text = v;
                  return true;
              },
              ""}},
            {"--date",
             {true, number([](CaptureRequest& r, int n) { r.date = n; }, 0, 32767),
              "--date wants a date format index from 0"}},
            {"--logo", {true, text(&CaptureRequest::logo), "--logo wants an image file"}},
            {"--no-audio", {false, [](CaptureRequest& r, const std::string&) { return r.noAudio = true; }, ""}},
        };
    case CaptureCommand::Snapshot:
        return {
            {"--device", device},
            {"--quality",
             {true, number([](CaptureRequest& r, int n) { r.quality = n; }, 1, 100),
              "--quality wants a JPEG quality from 1 to 100"}},
        };
    case CaptureCommand::Broadcast:
        return {
            {"--seconds", seconds},
            {"--port",
             {true, number([](CaptureRequest& r, int n) { r.port = n; }, 1, 65535),
              "--port wants a port number from 1 to 65535"}},
            {"--clients",
             {true, number([](CaptureRequest& r, int n) { r.clients = n; }, 1, 32767),
              "--clients wants a number of players from 1"}},
            {"--profile", profile},
        };
    }
    return {};
}

ParseResult Refuse(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

ParseResult ParseCaptureArguments(const std::vector<std::string>& args) {
    if (args.empty()) return Refuse("no command given");
    static const std::map<std::string, CaptureCommand> commands = {{"list", CaptureCommand::List},
                                                                   {"record", CaptureCommand::Record},
                                                                   {"snapshot", CaptureCommand::Snapshot},
                                                                   {"broadcast", CaptureCommand::Broadcast}};
    auto found = commands.find(args[0]);
    if (found == commands.end()) return Refuse("unknown command \"" + args[0] + "\"");
    CaptureRequest request;
    request.command = found->second;
    const bool wantsFile = request.command == CaptureCommand::Record || request.command == CaptureCommand::Snapshot;

    const std::map<std::string, Option> options = OptionsOf(request.command);
    std::vector<std::string> seen;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.rfind("--", 0) != 0) {
            if (!wantsFile || !request.file.empty()) return Refuse("unexpected argument \"" + word + "\"");
            request.file = word;
            continue;
        }
        auto option = options.find(word);
        if (option == options.end()) return Refuse("unknown option " + word + " for " + args[0]);
        if (std::find(seen.begin(), seen.end(), word) != seen.end()) return Refuse(word + " given twice");
        seen.push_back(word);
        std::string value;
        if (option->second.takesValue) {
            if (i + 1 >= args.size()) return Refuse(word + " wants a value");
            value = args[++i];
        }
        if (!option->second.apply(request, value)) return Refuse(option->second.valueError);
    }
    auto given = [&](const char* name) { return std::find(seen.begin(), seen.end(), name) != seen.end(); };

    switch (request.command) {
    case CaptureCommand::List:
        break;
    case CaptureCommand::Record: {
        if (request.file.empty()) return Refuse("record wants an output file");
        if (!given("--seconds")) return Refuse("record wants --seconds N");
        const std::string ext = LowerExtension(request.file);
        if (ext == ".avi")
            request.outputType = 0;
        else if (ext == ".wmv" || ext == ".asf")
            request.outputType = 1;
        else if (ext == ".mpg" || ext == ".mpeg")
            request.outputType = request.mpeg2 ? 3 : 2;
        else
            return Refuse("the output file must end in .avi, .wmv or .mpg: \"" + request.file + "\"");
        if (request.mpeg2 && request.outputType < 2) return Refuse("--mpeg2 goes with an .mpg file");
        if (request.profile && request.outputType != 1) return Refuse("--profile goes with a .wmv file");
        if (request.noAudio && (request.audioDevice || request.audioCompressor))
            return Refuse("--no-audio contradicts --audio-device and --audio-compressor");
        break;
    }
    case CaptureCommand::Snapshot: {
        if (request.file.empty()) return Refuse("snapshot wants an output file");
        const std::string ext = LowerExtension(request.file);
        if (ext == ".jpg" || ext == ".jpeg")
            request.jpeg = true;
        else if (ext != ".bmp")
            return Refuse("the snapshot file must end in .jpg or .bmp: \"" + request.file + "\"");
        if (given("--quality") && !request.jpeg) return Refuse("--quality goes with a .jpg file");
        break;
    }
    case CaptureCommand::Broadcast:
        if (!given("--port")) return Refuse("broadcast wants --port P");
        if (!given("--seconds")) return Refuse("broadcast wants --seconds N");
        break;
    }
    return {request, {}};
}

std::string CaptureUsage() {
    return "usage:\n"
           "  orvanta-capture list\n"
           "  orvanta-capture record FILE.avi|FILE.wmv|FILE.mpg --seconds N [--device NAME]\n"
           "      [--audio-device NAME] [--format INDEX] [--video-compressor NAME]\n"
           "      [--audio-compressor NAME] [--profile FILE.prx] [--mpeg2] [--text TEXT]\n"
           "      [--date INDEX] [--logo IMAGE] [--no-audio]\n"
           "  orvanta-capture snapshot FILE.jpg|FILE.bmp [--device NAME] [--quality Q]\n"
           "  orvanta-capture broadcast --port P --seconds N [--clients N] [--profile FILE.prx]\n";
}
