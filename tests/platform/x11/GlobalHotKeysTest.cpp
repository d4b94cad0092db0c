// Global hot keys on a private X server, pressed with xdotool as a person would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/x11/GlobalHotKeys.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11HotKeys.h"
#include "tests/platform/os/OsTestSupport.h"
#include "tests/support/XvfbServer.h"

// After Qt: Xlib's macros would break Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

using testing::ElementsAre;
using testing::IsEmpty;
using os_test::SpinFor;
using os_test::SpinUntil;
using testing_support::XvfbServer;

namespace {

constexpr int kStart = 40981;
constexpr int kPause = 40982;
constexpr int kStop = 40983;

// Another program on the same display: grabs keys for itself and counts what it gets.
class ForeignClient {
public:
    explicit ForeignClient(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
    ~ForeignClient() {
        if (display_) XCloseDisplay(display_);
    }
    ForeignClient(const ForeignClient&) = delete;
    ForeignClient& operator=(const ForeignClient&) = delete;

    bool Connected() const { return display_ != nullptr; }
    // True when the server let this client grab the key with exactly these modifiers.
    bool Grab(KeySym sym, unsigned modifiers) {
        X11ErrorTrap trap(display_);
        XGrabKey(display_, XKeysymToKeycode(display_, sym), modifiers, DefaultRootWindow(display_),
                 False, GrabModeAsync, GrabModeAsync);
        return trap.Sync() == Success;
    }
    // The key presses that reached this client so far.
    int Presses() {
        XSync(display_, False);
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == KeyPress) ++presses_;
        }
        return presses_;
    }
    unsigned LockedModifiers() {
        XkbStateRec state{};
        XkbGetState(display_, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }

private:
    Display* display_;
    int presses_ = 0;
};

class GlobalHotKeysTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Running()) << "Xvfb did not start";
        server_.Export();
        keys_ = std::make_unique<X11HotKeys>(server_.Display());
        ASSERT_TRUE(keys_->Available()) << keys_->Reason();
        keys_->SetHandler([this](int id) { seen_.push_back(id); });
    }
    void TearDown() override { keys_.reset(); }

    // Runs xdotool on the test's display, e.g. Xdotool("key ctrl+k").
    static void Xdotool(const std::string& arguments) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }
    // Waits for `count` hot keys, then a little longer to see that no more come.
    void ExpectSeen(size_t count) {
        SpinUntil([&] { return seen_.size() >= count; });
        SpinFor(150);
        keys_->ProcessPendingEvents();
    }

    XvfbServer server_;
    std::unique_ptr<X11HotKeys> keys_;
    std::vector<int> seen_;
};

}  // namespace

TEST_F(GlobalHotKeysTest, CtrlLetterArrivesWithCapsLockAndNumLockOn) {
    ASSERT_TRUE(keys_->RegisterHotKey(kStart, MOD_CONTROL, 'K'));
    ASSERT_TRUE(keys_->RegisterHotKey(kStop, MOD_CONTROL, 'Q'));
    ASSERT_TRUE(keys_->RegisterHotKey(kPause, MOD_CONTROL | MOD_SHIFT, 'K'));

    ForeignClient probe(server_.Display());
    ASSERT_TRUE(probe.Connected());
    Xdotool("key Caps_Lock Num_Lock");
    ASSERT_EQ(probe.LockedModifiers() & (LockMask | Mod2Mask), unsigned{LockMask | Mod2Mask})
        << "both locks are on";

    Xdotool("key ctrl+k");
    ExpectSeen(1);
    EXPECT_THAT(seen_, ElementsAre(kStart));
    Xdotool("key ctrl+q ctrl+shift+k");
    ExpectSeen(3);
    EXPECT_THAT(seen_, ElementsAre(kStart, kStop, kPause)) << "Shift tells the two K keys apart";

    Xdotool("key Scroll_Lock Caps_Lock ctrl+k");
    ExpectSeen(4);
    EXPECT_THAT(seen_, ElementsAre(kStart, kStop, kPause, kStart));
}

TEST_F(GlobalHotKeysTest, HeldKeyActsOnce) {
    // The server repeats a held key: a plain client sees several presses.
    ForeignClient plain(server_.Display());
    ASSERT_TRUE(plain.Grab(XK_j, ControlMask));
    Xdotool("keydown ctrl+j sleep 1.2 keyup ctrl+j");
    ASSERT_GE(plain.Presses(), 3) << "the server does not auto-repeat; the test would prove nothing";

    ASSERT_TRUE(keys_->RegisterHotKey(kStart, MOD_CONTROL, 'K'));
    Xdotool("keydown ctrl+k sleep 1.2 keyup ctrl+k");
    ExpectSeen(1);
    EXPECT_THAT(seen_, ElementsAre(kStart));
    Xdotool("key ctrl+k");
    ExpectSeen(2);
    EXPECT_THAT(seen_, ElementsAre(kStart, kStart)) << "a new press after the release acts again";
}

TEST_F(GlobalHotKeysTest, KeyHeldByAnotherClientIsRefused) {
    ForeignClient other(server_.Display());
    ASSERT_TRUE(other.Grab(XK_p, ControlMask));

    EXPECT_FALSE(keys_->RegisterHotKey(kPause, MOD_CONTROL, 'P'));
    EXPECT_FALSE(keys_->UnregisterHotKey(kPause)) << "nothing was registered";
    // The lock combinations grabbed before the refusal were given back.
    ForeignClient third(server_.Display());
    EXPECT_TRUE(third.Grab(XK_p, ControlMask | LockMask));
    EXPECT_TRUE(third.Grab(XK_p, ControlMask | Mod2Mask | LockMask));
    // Other keys are not affected, and the refused id can be used for one that is free.
    EXPECT_TRUE(keys_->RegisterHotKey(kPause, MOD_CONTROL, 'L'));
    Xdotool("key ctrl+p ctrl+l");
    ExpectSeen(1);
    EXPECT_THAT(seen_, ElementsAre(kPause));
    EXPECT_EQ(other.Presses(), 1);
}

TEST_F(GlobalHotKeysTest, UnregisterGivesTheKeyBack) {
    ASSERT_TRUE(keys_->RegisterHotKey(kStart, MOD_CONTROL, 'K'));
    ForeignClient other(server_.Display());
    EXPECT_FALSE(other.Grab(XK_k, ControlMask | Mod2Mask)) << "ours while registered";

    EXPECT_TRUE(keys_->UnregisterHotKey(kStart));
    EXPECT_FALSE(keys_->UnregisterHotKey(kStart));
    EXPECT_TRUE(other.Grab(XK_k, ControlMask));
    EXPECT_TRUE(other.Grab(XK_k, ControlMask | Mod2Mask | LockMask));
    Xdotool("key ctrl+k");
    SpinUntil([&] { return other.Presses() == 1; });
    EXPECT_EQ(other.Presses(), 1);
    EXPECT_THAT(seen_, IsEmpty());
}

TEST_F(GlobalHotKeysTest, RegistrationRules) {
    EXPECT_TRUE(keys_->RegisterHotKey(kStart, MOD_CONTROL, 'K'));
    EXPECT_FALSE(keys_->RegisterHotKey(kStart, MOD_CONTROL, 'J')) << "id taken";
    EXPECT_FALSE(keys_->RegisterHotKey(kStop, MOD_CONTROL, 'K')) << "combination taken";
    EXPECT_FALSE(keys_->RegisterHotKey(kStop, MOD_CONTROL, 'k')) << "not a virtual-key code";
    EXPECT_FALSE(keys_->RegisterHotKey(kStop, MOD_CONTROL, '#'));
    EXPECT_FALSE(keys_->RegisterHotKey(kStop, 0x0100, 'Q')) << "unknown modifier";
    EXPECT_TRUE(keys_->RegisterHotKey(kStop, MOD_CONTROL | 0x4000, '7')) << "no-repeat is the rule";
    EXPECT_TRUE(keys_->RegisterHotKey(kPause, MOD_ALT | MOD_WIN, 'P'));
    Xdotool("key ctrl+7 alt+super+p");
    ExpectSeen(2);
    EXPECT_THAT(seen_, ElementsAre(kStop, kPause));
}

TEST_F(GlobalHotKeysTest, ProcessInstanceUsesTheDisplayOfTheEnvironment) {
    // The one instance outlives this test's X server; it then finds the connection gone, says so
    // and stays off for the rest of the process.
    GlobalHotKeys& keys = GlobalHotKeys::Instance();
    ASSERT_TRUE(keys.Available()) << keys.Reason();
    EXPECT_EQ(&keys, &GlobalHotKeys::Instance());
    keys.SetHandler([this](int id) { seen_.push_back(id); });
    ASSERT_TRUE(keys.RegisterHotKey(kStop, MOD_CONTROL, 'Q'));
    Xdotool("key ctrl+q");
    ExpectSeen(1);
    EXPECT_THAT(seen_, ElementsAre(kStop));
    EXPECT_TRUE(keys.UnregisterHotKey(kStop));
    keys.SetHandler({});
}

TEST(GlobalHotKeysWithoutDisplay, SayWhyAndRefuseEveryKey) {
    X11HotKeys missing(":65000");
    EXPECT_FALSE(missing.Available());
    EXPECT_EQ(missing.Reason(), "cannot open the X display \":65000\"");
    EXPECT_FALSE(missing.RegisterHotKey(kStart, MOD_CONTROL, 'K'));
    EXPECT_FALSE(missing.UnregisterHotKey(kStart));

    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    auto wayland = GlobalHotKeys::CreateForEnvironment();
    EXPECT_FALSE(wayland->Available());
    EXPECT_EQ(wayland->Reason(), "this is a Wayland session without X11 (DISPLAY is not set)");
    EXPECT_FALSE(wayland->RegisterHotKey(kStart, MOD_CONTROL, 'K'));
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(GlobalHotKeys::CreateForEnvironment()->Reason(),
              "there is no X display (DISPLAY is not set)");
}

TEST(GlobalHotKeysLostDisplay, ProgramGoesOnWithoutHotKeysWhenTheServerEnds) {
    auto server = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server->Running());
    const std::string display = server->Display();
    X11HotKeys keys(display);
    ASSERT_TRUE(keys.RegisterHotKey(kStart, MOD_CONTROL, 'K'));

    testing::internal::CaptureStderr();
    server.reset();
    SpinUntil([&] { return !keys.Available(); });
    keys.ProcessPendingEvents();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(keys.Available());
    EXPECT_EQ(keys.Reason(), "the connection to the X display \"" + display + "\" was lost");
    EXPECT_FALSE(keys.RegisterHotKey(kStop, MOD_CONTROL, 'Q'));
    EXPECT_FALSE(keys.UnregisterHotKey(kStart));
    EXPECT_THAT(said, testing::HasSubstr("global hot keys are off: the connection"));
}
