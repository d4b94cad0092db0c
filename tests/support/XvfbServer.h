#pragma once
// A private X server for tests that need a real display (hot keys, screen capture, window
// picking, screenshots). Each one picks its own display number, so tests and parallel builds never
// share a screen; ORVANTA_TEST_DISPLAYS ("71-79") keeps the choice inside a range.
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace testing_support {

class XvfbServer {
public:
    // Starts Xvfb with one screen of the given size at 24 bits; Running() tells whether it came up.
    XvfbServer(int width = 1024, int height = 768);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return pid_ > 0 && !display_.empty(); }
    // ":N", for DISPLAY.
    const std::string& Display() const { return display_; }
    // Sets DISPLAY for this process (and the programs it starts) to this server.
    void Export() const;
    // Saves the whole screen as a PNG (through ImageMagick's import); false when that failed.
    bool Screenshot(const std::filesystem::path& png) const;

private:
    // Starts Xvfb on `number`, or on the first free one when none is given.
    bool Launch(int width, int height, std::optional<int> number);

    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace testing_support
