#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/broadcast/ChildProcess.h"

// The crowd: FFmpeg's MMSH client copying the stream to nothing, one process per player, and
// how many pictures each one received over time (FFmpeg's own progress report, twice a second).
class CopyPlayers {
public:
    CopyPlayers(std::string url, int rate) : url_(std::move(url)), rate_(rate) {}

    // One more player; false (with the reason) when FFmpeg could not be started.
    bool StartOne(const std::filesystem::path& err, std::string& why);
    // Reads every player's progress; a player whose process ended is marked so.
    void Sample(int64_t now);
    // Ends every player.
    void EndAll();

    struct Verdict {
        int players = 0;
        int starved = 0;         // received under kEnough of the pictures its time implies, or paused > kMaxGap
        int endedEarly = 0;      // its FFmpeg ended before the window did
        double medianFps = 0;    // pictures a player received a second
        double lowestFps = 0;
        double longestGapSeconds = 0;  // the longest time any player went without data
    };
    // A player is judged over its own time, from its first sample to the last.
    Verdict Judge() const;
    static constexpr double kMaxGapSeconds = 2.0;
    static constexpr double kEnough = 0.8;

private:
    struct Player {
        ChildProcess process;
        int64_t startedAt = 0;
        std::vector<std::pair<int64_t, long long>> samples;  // (time, pictures received)
        std::string report;  // progress text not yet taken apart
        long long pictures = -1;
        bool ended = false;
    };
    void ReadProgress(Player& player);
    std::string url_;
    int rate_;
    std::vector<Player> players_;
};
