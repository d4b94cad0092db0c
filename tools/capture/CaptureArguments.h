#pragma once
// The command line of orvanta-capture:
//   list
//   record FILE --seconds N [--device NAME] [--audio-device NAME] [--format INDEX]
//          [--video-compressor NAME] [--audio-compressor NAME] [--profile FILE.prx] [--mpeg2]
//          [--text TEXT] [--date INDEX] [--logo IMAGE] [--no-audio]
//   snapshot FILE.jpg|FILE.bmp [--device NAME] [--quality Q]
//   broadcast --port P --seconds N [--clients N] [--profile FILE.prx]
// Parsing checks only what the words say (known options, numbers in range, the file kind by its
// extension); whether a device or a file exists is found out against the control.
#include <optional>
#include <string>
#include <vector>

enum class CaptureCommand { List, Record, Snapshot, Broadcast };

struct CaptureRequest {
    CaptureCommand command = CaptureCommand::List;
    std::string file;
    int seconds = 0;
    std::optional<std::string> device;
    std::optional<std::string> audioDevice;
    std::optional<int> format;
    std::optional<std::string> videoCompressor;
    std::optional<std::string> audioCompressor;
    std::optional<std::string> profile;
    bool mpeg2 = false;
    std::optional<std::string> text;
    std::optional<int> date;
    std::optional<std::string> logo;
    bool noAudio = false;
    int quality = 75;
    int port = 0;
    int clients = 3;

    // The control's OutputType for a record: 0 AVI, 1 WMV, 2 MPEG-1, 3 MPEG-2.
    int16_t outputType = 0;
    // A snapshot as JPEG (else BMP).
    bool jpeg = false;
};

struct ParseResult {
    std::optional<CaptureRequest> request;
    std::string error;  // why the line was refused, when request is empty
};

ParseResult ParseCaptureArguments(const std::vector<std::string>& args);

// The usage text printed with a refused command line.
std::string CaptureUsage();
