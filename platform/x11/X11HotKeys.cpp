#include "platform/x11/X11HotKeys.h"

// Qt before Xlib: Xlib's macros (None, Bool, Status) would break Qt's headers.
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/x11/X11ErrorTrap.h"

namespace {

// MOD_NOREPEAT asks for what every hot key here does anyway.
constexpr UINT kModNoRepeat = 0x4000;
constexpr UINT kKnownModifiers = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN | kModNoRepeat;

// The mask of the modifier that holds any of the keysyms, 0 when none does.
unsigned MaskOf(Display* display, const XModifierKeymap* map, std::initializer_list<KeySym> syms) {
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code == 0) continue;
            for (KeySym sym : syms) {
                if (XkbKeycodeToKeysym(display, code, 0, 0) == sym ||
                    XkbKeycodeToKeysym(display, code, 0, 1) == sym)
                    return 1u << modifier;
            }
        }
    }
    return 0;
}

// The connections of the hot-key objects. When one breaks, Xlib's default handler would end the
// process; for these it returns, and the exit handler of the object marks it lost. Other
// connections (the toolkit's) keep the handler that was there before.
std::set<Display*>& OwnConnections() {
    static std::set<Display*> connections;
    return connections;
}
XIOErrorHandler previousIOErrorHandler = nullptr;

int OnIOError(Display* display) {
    if (OwnConnections().count(display)) return 0;
    return previousIOErrorHandler ? previousIOErrorHandler(display) : 0;
}

void WatchConnection(Display* display) {
    static bool installed = false;
    if (!installed) {
        previousIOErrorHandler = XSetIOErrorHandler(&OnIOError);
        installed = true;
    }
    OwnConnections().insert(display);
}

KeySym KeySymOf(UINT virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return XK_a + (virtualKey - 'A');
    if (virtualKey >= '0' && virtualKey <= '9') return XK_0 + (virtualKey - '0');
    return NoSymbol;
}

}  // namespace

X11HotKeys::X11HotKeys(const std::string& displayName) : displayName_(displayName) {
    display_ = XOpenDisplay(displayName.c_str());
    if (!display_) {
        reason_ = "cannot open the X display \"" + displayName + "\"";
        return;
    }
    // Xlib ends the process when the connection breaks unless told otherwise: the program goes
    // on without hot keys instead.
    WatchConnection(display_);
    XSetIOErrorExitHandler(
        display_, [](Display*, void* self) { static_cast<X11HotKeys*>(self)->lost_ = true; }, this);
    root_ = DefaultRootWindow(display_);
    // With detectable auto-repeat a held key sends presses and one release at the end.
    Bool supported = False;
    detectableRepeat_ = XkbSetDetectableAutoRepeat(display_, True, &supported) && supported;
    ReadModifierMasks();
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { ProcessPendingEvents(); });
}

X11HotKeys::~X11HotKeys() {
    notifier_.reset();
    if (!display_) return;
    if (!lost_) {
        for (const auto& [id, binding] : bindings_) Ungrab(binding);
    }
    XCloseDisplay(display_);
    OwnConnections().erase(display_);
}

bool X11HotKeys::CheckConnection() {
    if (!lost_) return true;
    if (notifier_) {
        QSocketNotifier* notifier = notifier_.release();
        notifier->setEnabled(false);
        notifier->deleteLater();  // not here: this may run inside the notifier's own signal
        bindings_.clear();
        heldKeycodes_.clear();
        reason_ = "the connection to the X display \"" + displayName_ + "\" was lost";
        std::fprintf(stderr, "orvanta: global hot keys are off: %s\n", reason_.c_str());
    }
    return false;
}

void X11HotKeys::ReadModifierMasks() {
    XModifierKeymap* map = XGetModifierMapping(display_);
    if (!map) {
        masks_ = {};
        return;
    }
    masks_.alt = MaskOf(display_, map, {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R});
    masks_.super = MaskOf(display_, map, {XK_Super_L, XK_Super_R});
    masks_.numLock = MaskOf(display_, map, {XK_Num_Lock});
    masks_.scrollLock = MaskOf(display_, map, {XK_Scroll_Lock});
    XFreeModifiermap(map);
}

bool X11HotKeys::Resolve(Binding& binding) const {
    const KeySym sym = KeySymOf(binding.virtualKey);
    if (sym == NoSymbol) return false;
    binding.keycode = XKeysymToKeycode(display_, sym);
    if (binding.keycode == 0) return false;
    binding.mask = 0;
    if (binding.modifiers & MOD_CONTROL) binding.mask |= ControlMask;
    if (binding.modifiers & MOD_SHIFT) binding.mask |= ShiftMask;
    if (binding.modifiers & MOD_ALT) {
        if (!masks_.alt) return false;
        binding.mask |= masks_.alt;
    }
    if (binding.modifiers & MOD_WIN) {
        if (!masks_.super) return false;
        binding.mask |= masks_.super;
    }
    return true;
}

std::vector<unsigned> X11HotKeys::LockCombinations() const {
    std::vector<unsigned> combinations{0};
    for (unsigned lock : {static_cast<unsigned>(LockMask), masks_.numLock, masks_.scrollLock}) {
        // A lock key missing from the map, or sharing another's modifier, adds nothing.
        if (lock == 0 || (combinations.back() & lock)) continue;
        const size_t count = combinations.size();
        for (size_t i = 0; i < count; ++i) combinations.push_back(combinations[i] | lock);
    }
    return combinations;
}

bool X11HotKeys::Grab(const Binding& binding) {
    X11ErrorTrap trap(display_);
    for (unsigned locks : LockCombinations()) {
        XGrabKey(display_, static_cast<int>(binding.keycode), binding.mask | locks, root_, False,
                 GrabModeAsync, GrabModeAsync);
    }
    if (trap.Sync() == Success) return true;
    // Some combinations may be ours now; ungrabbing those another client holds does nothing.
    Ungrab(binding);
    trap.Sync();
    return false;
}

void X11HotKeys::Ungrab(const Binding& binding) {
    for (unsigned locks : LockCombinations())
        XUngrabKey(display_, static_cast<int>(binding.keycode), binding.mask | locks, root_);
}

BOOL X11HotKeys::RegisterHotKey(int id, UINT modifiers, UINT virtualKey) {
    if (!Available() || bindings_.count(id) || (modifiers & ~kKnownModifiers)) return FALSE;
    Binding binding{modifiers & ~kModNoRepeat, virtualKey};
    if (!Resolve(binding)) return FALSE;
    for (const auto& [other, taken] : bindings_) {
        if (taken.keycode == binding.keycode && taken.mask == binding.mask) return FALSE;
    }
    const bool grabbed = Grab(binding);
    if (!CheckConnection()) return FALSE;
    // XSync may have read events into Xlib's queue, where the socket notifier cannot see them.
    QTimer::singleShot(0, notifier_.get(), [this] { ProcessPendingEvents(); });
    if (!grabbed) return FALSE;
    bindings_.emplace(id, binding);
    return TRUE;
}

BOOL X11HotKeys::UnregisterHotKey(int id) {
    auto it = bindings_.find(id);
    if (!Available() || it == bindings_.end()) return FALSE;
    Ungrab(it->second);
    heldKeycodes_.erase(it->second.keycode);
    bindings_.erase(it);
    XFlush(display_);
    return TRUE;
}

void X11HotKeys::Regrab() {
    for (const auto& [id, binding] : bindings_) Ungrab(binding);
    ReadModifierMasks();
    heldKeycodes_.clear();
    for (auto it = bindings_.begin(); it != bindings_.end();) {
        if (Resolve(it->second) && Grab(it->second)) {
            ++it;
            continue;
        }
        std::fprintf(stderr, "orvanta: hot key %d is lost after the keyboard map changed\n",
                     it->first);
        it = bindings_.erase(it);
    }
}

void X11HotKeys::ProcessPendingEvents() {
    if (!Available()) return;
    // Read everything first: a handler may run a modal loop that comes back here.
    std::vector<XEvent> events;
    while (XPending(display_) > 0 && !lost_) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == KeyRelease && IsRepeatRelease(event)) {
            XNextEvent(display_, &event);  // the press that repeats it
            continue;
        }
        events.push_back(event);
    }
    if (!CheckConnection()) return;
    for (const XEvent& event : events) Handle(event);
}

bool X11HotKeys::IsRepeatRelease(const XEvent& release) {
    if (detectableRepeat_ || XEventsQueued(display_, QueuedAfterReading) == 0) return false;
    XEvent next;
    XPeekEvent(display_, &next);
    return next.type == KeyPress && next.xkey.keycode == release.xkey.keycode &&
           next.xkey.time == release.xkey.time;
}

void X11HotKeys::Handle(const XEvent& event) {
    if (event.type == MappingNotify) {
        XMappingEvent mapping = event.xmapping;
        XRefreshKeyboardMapping(&mapping);
        if (mapping.request != MappingPointer) Regrab();
        return;
    }
    if (event.type == KeyRelease) {
        heldKeycodes_.erase(event.xkey.keycode);
        return;
    }
    if (event.type != KeyPress) return;
    // Lock keys and the keyboard group (layout) bits of the state do not matter.
    const unsigned relevant = ShiftMask | ControlMask | masks_.alt | masks_.super;
    for (const auto& [id, binding] : bindings_) {
        if (binding.keycode != event.xkey.keycode || (event.xkey.state & relevant) != binding.mask)
            continue;
        if (!heldKeycodes_.insert(binding.keycode).second) return;  // auto-repeat of a held key
        if (handler_) handler_(id);
        return;
    }
}
