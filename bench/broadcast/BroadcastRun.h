#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/broadcast/FrameFeeder.h"

// One server, how it is started and fed.
struct ServerSetup {
    std::string name;
    FrameFeeder::Mode feed = FrameFeeder::Mode::Stream;
    std::filesystem::path stillFile;  // Overwrite: the one-frame file its camera plays
    std::vector<std::string> argv, environment;
    std::string helperProgram;  // a helper it starts on its own (found as this process's child)
    std::string readyLine;      // what it prints once it serves ("" for nothing)
    bool endsByItself = false;  // it stops after its own time rather than at the end of its input
    uint16_t port = 0;
};

struct RunSettings {
    int width = 640, height = 480, rate = 25;
    int seconds = 60;   // the measured window
    int players = 50;
    int spacingMs = 100;
    std::filesystem::path dir;
};

// What one run of one server gave.
struct RunFigures {
    bool ok = false;
    std::string failure;
    double windowSeconds = 0;
    double cpuSeconds = 0;  // server and helpers, user + system, over the window
    double peakMb = 0;      // VmHWM summed over server and helpers
    int processes = 0;      // how many processes those were
    double firstFrameSeconds = -1;   // a new player's start to its first decoded picture (median of newcomers)
    double firstFrameWorstSeconds = -1;
    int newcomers = 0;               // players whose first picture was timed
    double firstNumberSeconds = -1;  // ... to its first whole picture (its frame number in sequence)
    double delayMedianMs = -1, delayP90Ms = -1, delayMinMs = -1, delayMaxMs = -1;
    int delayFrames = 0, decodedFrames = 0, unreadableFrames = 0;
    int guessedFrames = 0;  // read, but out of sequence or before their hand-over: a decoder's guess
    uint32_t framesFed = 0;
    std::string stream;  // what ffprobe says of the served video stream before the window
    int players = 0, starved = 0, endedEarly = 0;
    double playerMedianFps = 0, playerLowestFps = 0, longestGapSeconds = 0;  // pictures a player received a second
};

// Feeds the server, starts it, waits until it serves, then over `seconds`: the players one by one
// `spacingMs` apart, the decoding player once they are all there, then newcomers one at a time
// until their first picture, and the CPU and memory of the server's processes at the start and
// end of that window. Ends everything it started.
RunFigures RunBroadcast(const ServerSetup& setup, const RunSettings& settings);

// A TCP port on 127.0.0.1 that nothing listens on now (0 when none could be found).
uint16_t FreeLoopbackPort();
