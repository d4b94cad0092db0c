#pragma once
// A helper program of ours on a private X server, for the tests that drive windows as a person
// would: it is started with the server's display and Qt's X backend, its standard output (the
// lines it prints about its widgets and what happened) goes to a file the test reads, and
// xdotool moves the real pointer and presses real keys on the same display. The program is ended
// when this object goes.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/XvfbServer.h"

namespace testing_support {

// A screen rectangle a helper printed as "NAME X Y W H".
struct ScreenRect {
    int x = 0, y = 0, w = 0, h = 0;
    int CentreX() const { return x + w / 2; }
    int CentreY() const { return y + h / 2; }
    bool operator==(const ScreenRect&) const = default;
};

class ProgramOnX {
public:
    // Output goes to `output`.
    ProgramOnX(const XvfbServer& server, std::filesystem::path output);
    ~ProgramOnX();
    ProgramOnX(const ProgramOnX&) = delete;
    ProgramOnX& operator=(const ProgramOnX&) = delete;

    // Whether the server runs and xdotool is there: without them these tests cannot run.
    static bool Usable(const XvfbServer& server);

    // Starts argv[0] with `argv`, in this process's environment with DISPLAY, QT_QPA_PLATFORM=xcb,
    // HOME (the test's folder) and the leak checker's suppressions set, and then `env`
    // ("NAME=value", which win). False when it could not be started.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

    // Whether the program is still running.
    bool Running() const;
    // Ends the program with SIGTERM, as closing it would, and waits up to 5 s: its exit status
    // (128 + the signal's number when one ended it), or nothing when it had to be killed.
    std::optional<int> Stop();

    std::string Output() const;
    // The last rectangle printed for `name`, if any yet.
    std::optional<ScreenRect> LastRect(const std::string& name) const;
    // The last rectangle printed for `name`, waiting up to `ms` for there to be one.
    std::optional<ScreenRect> WaitRect(const std::string& name, int ms = 5000) const;
    bool WaitOutput(const std::string& text, int ms = 5000) const;

    // xdotool ARGS on this display; true when it succeeded.
    bool Xdotool(const std::vector<std::string>& args) const;
    // The real pointer moved onto a point and, with a button, clicked there.
    bool MoveTo(int x, int y) const;
    bool ClickAt(int x, int y, int button = 1) const;
    bool ClickAt(const ScreenRect& r) const { return ClickAt(r.CentreX(), r.CentreY()); }

private:
    const XvfbServer& server_;
    std::filesystem::path output_;
    pid_t pid_ = -1;
};

// Polls `done` every 20 ms for up to `ms`; whether it came true.
bool WaitFor(const std::function<bool()>& done, int ms = 5000);

}  // namespace testing_support
