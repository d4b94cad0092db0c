#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "bench/broadcast/BroadcastRun.h"

// The two servers, given the same frames, codec, size, rate, bit rate and key frame distance.
struct StreamSettings {
    int width = 640, height = 480, rate = 25;
    int bitRate = 1000000;      // bits a second of the video
    int keyFrameSeconds = 5;    // as the shipped profiles
    int clients = 50;           // players the server must take
};

// orvanta-capture broadcasting its virtual camera, which plays the still file the bench rewrites,
// with a video-only profile written into `dir`. False (with the reason) when the files could not
// be written.
bool OrvantaServer(const StreamSettings& stream, const std::filesystem::path& dir, int seconds, ServerSetup& setup,
                   std::string& why);
// VLC reading the frames from its standard input and transcoding them, as an unprivileged user
// when this program runs as root, with `home` (made its own) for its settings and caches. False
// (with the reason) when that user cannot be made.
bool VlcServer(const StreamSettings& stream, const std::filesystem::path& home, ServerSetup& setup, std::string& why);
// The VLC sout chain and command line the bench uses (the command is printed with the figures).
std::string VlcChain(const StreamSettings& stream, uint16_t port);
std::vector<std::string> VlcCommand(const StreamSettings& stream, uint16_t port);
