#include "bench/broadcast/CopyPlayers.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "bench/broadcast/FrameFeeder.h"
#include "bench/support/BenchFigures.h"

bool CopyPlayers::StartOne(const std::filesystem::path& err, std::string& why) {
    Player player;
    player.startedAt = MonotonicNs();
    if (!player.process.Start({"ffmpeg", "-nostdin", "-v", "error", "-progress", "pipe:1", "-stats_period", "0.5",
                               "-i", url_, "-c", "copy", "-f", "null", "-"},
                              {}, {}, err)) {
        why = player.process.Error();
        return false;
    }
    ::fcntl(player.process.OutputFd(), F_SETFL, ::fcntl(player.process.OutputFd(), F_GETFL) | O_NONBLOCK);
    players_.push_back(std::move(player));
    return true;
}

// "frame=N" lines of FFmpeg's progress report: N pictures copied so far.
void CopyPlayers::ReadProgress(Player& p) {
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(p.process.OutputFd(), buffer, sizeof buffer);
        if (got <= 0) break;
        p.report.append(buffer, static_cast<size_t>(got));
    }
    for (size_t end; (end = p.report.find('\n')) != std::string::npos; p.report.erase(0, end + 1))
        if (p.report.rfind("frame=", 0) == 0) p.pictures = std::atoll(p.report.c_str() + 6);
}

void CopyPlayers::Sample(int64_t now) {
    for (Player& p : players_) {
        if (p.ended) continue;
        ReadProgress(p);
        if (p.pictures >= 0) p.samples.emplace_back(now, p.pictures);
        if (!p.process.Running()) p.ended = true;
    }
}

void CopyPlayers::EndAll() {
    for (Player& p : players_) {
        if (p.process.Running()) ::kill(p.process.Pid(), SIGTERM);
    }
    for (Player& p : players_) p.process.End(2000);
}

CopyPlayers::Verdict CopyPlayers::Judge() const {
    Verdict v;
    v.players = static_cast<int>(players_.size());
    std::vector<double> rates(players_.size(), 0.0);  // pictures a second
    std::vector<double> gaps(players_.size(), 0.0);
    for (size_t i = 0; i < players_.size(); ++i) {
        const Player& p = players_[i];
        if (p.samples.size() < 2) {
            gaps[i] = 1e9;
            continue;
        }
        // From its first report: the pictures of the catch-up burst a server may send a newcomer
        // come before it, and count for no player.
        const auto& [firstAt, firstBytes] = p.samples.front();
        const auto& [lastAt, lastBytes] = p.samples.back();
        rates[i] = static_cast<double>(lastBytes - firstBytes) / (static_cast<double>(lastAt - firstAt) / 1e9);
        int64_t grewAt = firstAt;
        for (size_t s = 1; s < p.samples.size(); ++s) {
            if (p.samples[s].second > p.samples[s - 1].second) grewAt = p.samples[s].first;
            gaps[i] = std::max(gaps[i], static_cast<double>(p.samples[s].first - grewAt) / 1e9);
        }
    }
    v.medianFps = Median(rates);
    v.lowestFps = rates.empty() ? 0 : *std::min_element(rates.begin(), rates.end());
    for (size_t i = 0; i < players_.size(); ++i) {
        const bool starved = players_[i].ended || rates[i] < kEnough * rate_ || gaps[i] > kMaxGapSeconds;
        v.starved += starved;
        v.endedEarly += players_[i].ended;
        v.longestGapSeconds = std::max(v.longestGapSeconds, std::min(gaps[i], 1e6));
    }
    return v;
}
