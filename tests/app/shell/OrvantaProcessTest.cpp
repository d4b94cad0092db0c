// The orvanta program itself on a private X server, driven with xdotool as a person would.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/os/MediaPlatform.h"
#include "platform/os/RegistryStore.h"
#include "platform/x11/X11ErrorTrap.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {

constexpr char kCaption[] = "Orvanta---YOUR POWERFUL CAPTURE TOOL";

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// The standard output of a command, trimmed of its last newline.
std::string Output(const std::string& command) {
    const fs::path file = TestEnvironment::Current().Dir() / "command.out";
    if (std::system((command + " >" + Quote(file.string()) + " 2>/dev/null").c_str()) != 0)
        return {};
    std::string text = ReadFile(file);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// One run of the program from a private copy of the program folder.
class OrvantaRun {
public:
    OrvantaRun(const fs::path& program, const std::string& name) {
        const fs::path dir = TestEnvironment::Current().Dir();
        out_ = dir / (name + ".out");
        err_ = dir / (name + ".err");
        const std::string suppressions = (testing_support::SourceDir() / "tests/lsan.supp").string();
        const std::string line = "QT_QPA_PLATFORM=xcb LSAN_OPTIONS=suppressions=" +
                                 Quote(suppressions) + " exec " + Quote((program / "orvanta").string()) +
                                 " >" + Quote(out_.string()) + " 2>" + Quote(err_.string()) +
                                 " </dev/null";
        pid_ = fork();
        if (pid_ == 0) {
            execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~OrvantaRun() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The exit status, or -1 when the program is still running after `seconds`.
    int Wait(int seconds = 60) {
        WaitFor([&] {
            int status = 0;
            if (!exited_ && waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            return exited_;
        }, seconds);
        return exited_ ? status_ : -1;
    }
    std::string Out() const { return ReadFile(out_); }
    std::string Err() const { return ReadFile(err_); }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = -1;
    fs::path out_, err_;
};

class OrvantaProcessTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Running()) << "Xvfb did not start";
        server_.Export();
        program_ = TestEnvironment::Current().ProgramFolderCopy();
        // What installation records.
        ASSERT_EQ(RegistryStore::Default().SetString(HKEY_LOCAL_MACHINE, kMediaPlatformKey,
                                                     kMediaPlatformValue, kMediaPlatformVersion),
                  S_OK);
    }

    // The id of the first window of that exact name, once it is there; empty when none comes.
    std::string WindowNamed(const std::string& name, int seconds = 60) {
        std::string id;
        WaitFor([&] {
            id = Output("xdotool search --onlyvisible --name " + Quote("^" + name + "$"));
            id = id.substr(0, id.find('\n'));
            return !id.empty();
        }, seconds);
        return id;
    }
    // Gives the window the keyboard (there is no window manager to do it) and types.
    static bool TypeInto(const std::string& window, const std::string& keys) {
        return std::system(("xdotool windowfocus --sync " + window + " key " + keys).c_str()) == 0;
    }
    fs::path Shot(const char* name) {
        fs::path png = TestEnvironment::Current().Dir() / name;
        EXPECT_TRUE(server_.Screenshot(png));
        if (const char* keep = std::getenv("ORVANTA_SCREENSHOT_DIR"))
            fs::copy_file(png, fs::path(keep) / name, fs::copy_options::overwrite_existing);
        return png;
    }

    testing_support::XvfbServer server_;
    fs::path program_;
};

TEST_F(OrvantaProcessTest, StartsWithItsCaptionAndASecondStartStopsUntouched) {
    OrvantaRun first(program_, "first");
    const std::string window = WindowNamed(kCaption);
    ASSERT_FALSE(window.empty()) << first.Err();
    // The three tabs in order: see the screenshot (ORVANTA_SCREENSHOT_DIR keeps it).
    Shot("main-window.png");
    EXPECT_NE(Output("xdotool getwindowgeometry " + window), "");

    const std::string registry = ReadFile(RegistryStore::DefaultPath());
    ASSERT_FALSE(registry.empty());
    OrvantaRun second(program_, "second");
    const std::string box = WindowNamed("Orvanta");
    ASSERT_FALSE(box.empty()) << second.Err();
    Shot("second-start.png");
    EXPECT_TRUE(TypeInto(box, "Return"));
    EXPECT_EQ(second.Wait(), 1) << second.Err();
    EXPECT_EQ(ReadFile(RegistryStore::DefaultPath()), registry);
    EXPECT_EQ(WindowNamed(kCaption, 1), window) << "the first one still runs";

    EXPECT_TRUE(TypeInto(window, "Escape"));
    EXPECT_EQ(first.Wait(), 0) << first.Err();
}

TEST_F(OrvantaProcessTest, TwoStartsAtTheSameMomentRunOneProgram) {
    OrvantaRun a(program_, "a");
    OrvantaRun b(program_, "b");
    const std::string window = WindowNamed(kCaption);
    ASSERT_FALSE(window.empty()) << a.Err() << b.Err();
    const std::string box = WindowNamed("Orvanta");
    ASSERT_FALSE(box.empty());
    EXPECT_TRUE(TypeInto(box, "Return"));
    // Once the box has gone, exactly that one main window is on the screen (on a loaded machine
    // it may take a moment to be mapped again after the box's focus left it).
    std::string visible;
    WaitFor([&] {
        visible = Output("xdotool search --onlyvisible --name " + Quote(std::string("^") + kCaption + "$"));
        return visible == window;
    }, 5);
    EXPECT_EQ(visible, window) << "one main window";
    EXPECT_TRUE(TypeInto(window, "Escape"));
    const int first = a.Wait(), second = b.Wait();
    EXPECT_EQ(first + second, 1) << "one ends at the message, one after its main window";
    EXPECT_TRUE(first == 0 || second == 0);
}

TEST_F(OrvantaProcessTest, ClosingWritesSettingsThatTheNextStartReadsBack) {
    // Written by another hand: CRLF lines and a newline after the ninth.
    std::ofstream(program_ / "settings.ini", std::ios::binary)
        << "2\r\n3\r\n1\r\n1\r\n4\r\n9000\r\n5\r\n1\r\n/tmp/shots\r\n";
    const std::string expected = "2\n3\n1\n1\n4\n9000\n5\n1\n/tmp/shots";
    for (const char* name : {"run1", "run2"}) {
        OrvantaRun run(program_, name);
        const std::string window = WindowNamed(kCaption);
        ASSERT_FALSE(window.empty()) << run.Err();
        EXPECT_TRUE(TypeInto(window, "Escape"));
        ASSERT_EQ(run.Wait(), 0) << run.Err();
        EXPECT_EQ(ReadFile(program_ / "settings.ini"), expected) << name;
    }
    EXPECT_TRUE(fs::exists(program_ / "config.ini"));
}

// Another program on the display that holds a key for itself.
class ForeignGrab {
public:
    explicit ForeignGrab(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
    ~ForeignGrab() {
        if (display_) XCloseDisplay(display_);
    }
    bool Grab(KeySym sym, unsigned modifiers) {
        if (!display_) return false;
        X11ErrorTrap trap(display_);
        XGrabKey(display_, XKeysymToKeycode(display_, sym), modifiers, DefaultRootWindow(display_),
                 False, GrabModeAsync, GrabModeAsync);
        return trap.Sync() == Success;
    }

private:
    Display* display_;
};

TEST_F(OrvantaProcessTest, CtrlKWithLocksOnReachesTheScreenRecorder) {
    OrvantaRun run(program_, "hotkeys");
    const std::string window = WindowNamed(kCaption);
    ASSERT_FALSE(window.empty()) << run.Err();
    ASSERT_EQ(std::system("xdotool key Caps_Lock Num_Lock ctrl+k"), 0);
    // Capture on the Screen Recorder page: WMV, the first format, asks for its options.
    const std::string options = WindowNamed("WMV Output Settings:", 20);
    ASSERT_EQ(std::system("xdotool key Caps_Lock Num_Lock"), 0);
    ASSERT_FALSE(options.empty()) << run.Out() << run.Err();
    Shot("screen-wmv-options.png");
    EXPECT_TRUE(TypeInto(options, "Escape"));
    EXPECT_TRUE(TypeInto(window, "Escape"));
    EXPECT_EQ(run.Wait(), 0) << run.Err();
}

TEST_F(OrvantaProcessTest, AKeyAnotherProgramHoldsIsReported) {
    ForeignGrab other(server_.Display());
    ASSERT_TRUE(other.Grab(XK_p, ControlMask));
    OrvantaRun run(program_, "refused");
    const std::string window = WindowNamed(kCaption);
    ASSERT_FALSE(window.empty()) << run.Err();
    EXPECT_TRUE(WaitFor([&] { return run.Err().find("Ctrl+P (Pause) is taken") != std::string::npos; }, 10))
        << run.Err();
    // Start stays registered; Pause and the ones after it do not.
    ASSERT_EQ(std::system("xdotool key ctrl+k"), 0);
    const std::string options = WindowNamed("WMV Output Settings:", 20);
    ASSERT_FALSE(options.empty()) << run.Out() << run.Err();
    EXPECT_TRUE(TypeInto(options, "Escape"));
    EXPECT_TRUE(TypeInto(window, "Escape"));
    EXPECT_EQ(run.Wait(), 0) << run.Err();
}

}  // namespace

namespace {

// The window's top-left corner on the screen.
std::pair<int, int> WindowOrigin(const std::string& window) {
    const std::string geometry = Output("xdotool getwindowgeometry --shell " + window);
    const size_t x = geometry.find("X="), y = geometry.find("Y=");
    if (x == std::string::npos || y == std::string::npos) return {-1, -1};
    return {std::atoi(geometry.c_str() + x + 2), std::atoi(geometry.c_str() + y + 2)};
}

bool ClickAt(int x, int y) {
    return std::system(("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1").c_str()) == 0;
}

TEST_F(OrvantaProcessTest, TheScreenRecorderPageAndItsRegionSelectorAsAPersonSeesThem) {
    OrvantaRun run(program_, "screen");
    const std::string window = WindowNamed(kCaption);
    ASSERT_FALSE(window.empty()) << run.Err();
    const auto [left, top] = WindowOrigin(window);
    ASSERT_GE(left, 0);
    // The third tab, then the page: see the screenshots (ORVANTA_SCREENSHOT_DIR keeps them).
    ASSERT_TRUE(ClickAt(left + 485, top + 50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Shot("screen-recorder-page.png");

    // The Cut icon: the page hides (Hide Dialog When Capture is ticked) and the frozen screen
    // comes up; a drag, then Enter, gives the edits 104, 104, 196 x 146.
    ASSERT_TRUE(ClickAt(left + 550, top + 298));
    const std::string selector = WindowNamed("orvanta", 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_EQ(std::system("xdotool mousemove --sync 100 100 mousedown 1 mousemove --sync 200 180 "
                          "mousemove --sync 300 250 mouseup 1"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shot("region-selector.png");
    ASSERT_EQ(std::system("xdotool key Return"), 0);
    EXPECT_FALSE(WindowNamed(kCaption, 10).empty()) << "the main window is back";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Shot("screen-recorder-area.png");

    // The Plus icon dragged onto a native child window of another client.
    Display* other = XOpenDisplay(server_.Display().c_str());
    ASSERT_TRUE(other);
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = 0x3050A0;
    const Window frame = XCreateWindow(other, DefaultRootWindow(other), 820, 100, 180, 300, 0, CopyFromParent,
                                       InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    a.background_pixel = 0xE0E0E0;
    XMapWindow(other, XCreateWindow(other, frame, 10, 10, 100, 100, 0, CopyFromParent, InputOutput, CopyFromParent,
                                    CWOverrideRedirect | CWBackPixel, &a));
    XMapWindow(other, frame);
    XSync(other, False);
    ASSERT_EQ(std::system(("xdotool mousemove --sync " + std::to_string(left + 500) + " " + std::to_string(top + 298) +
                           " mousedown 1 mousemove --sync 860 140 mousemove --sync 870 150").c_str()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shot("window-picking.png");
    ASSERT_EQ(std::system("xdotool mouseup 1"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shot("screen-recorder-picked.png");
    XCloseDisplay(other);

    EXPECT_TRUE(TypeInto(window, "Escape"));
    EXPECT_EQ(run.Wait(), 0) << run.Err();
}

}  // namespace
