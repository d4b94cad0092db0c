#pragma once
// Which answer a parsed request gets, from what the server serves and how busy it is. Pure, so
// that the choice is tested and fuzzed apart from the sockets.
#include "components/mmsh/MmshRequest.h"

enum class MmshSourceMode {
    LiveAsf,   // a growing ASF file: players join at its live edge
    AsfFile,   // a finished ASF file, served once from its first packet at its real rate
    Mp3Files,  // MP3 files one after another over plain HTTP, one clock across them
};

enum class MmshAnswer {
    BadRequest,      // 400
    TooLarge,        // 431
    NotImplemented,  // 501
    Logged,          // 200, empty body (play statistics)
    Unavailable,     // 503: no header yet, the source has ended, or every client slot is taken
    Header,          // the ASF header in $H, then close
    FramedStream,    // the header, then $D packets
    AsfDownload,     // raw ASF for a plain HTTP player
    Mp3Stream,       // "audio/mpeg" frames, no length, until the server stops
};

struct MmshServingState {
    MmshSourceMode mode = MmshSourceMode::LiveAsf;
    bool headerReady = false;
    bool sourceEnded = false;
    int players = 0;
    int maxClients = 1;
};

MmshAnswer ChooseMmshAnswer(MmshParseState parsed, const MmshRequest& request, const MmshServingState& state);

// Whether the answer makes the connection a player (it takes a client slot).
bool IsPlayerAnswer(MmshAnswer answer);
