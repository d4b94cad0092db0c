#pragma once
// Global hot keys over an X display: each hot key is a passive grab of its key on the root
// window, made once for every combination of the lock modifiers (Caps Lock, Num Lock, Scroll
// Lock) so that it works whichever of them is on. Key events are read from the connection's file
// descriptor on the UI thread. The connection is our own, not the toolkit's, so a grab refused by
// the server (another client holds the combination) can be told apart synchronously.
//
// Not thread-safe: create, use and destroy on the UI thread.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/x11/GlobalHotKeys.h"

class QSocketNotifier;
struct _XDisplay;
union _XEvent;

class X11HotKeys final : public GlobalHotKeys {
public:
    // Opens its own connection to `displayName` (":0"); when that fails, or the connection
    // breaks later, the object is not Available() and Reason() says so.
    explicit X11HotKeys(const std::string& displayName);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    bool Available() const override { return display_ != nullptr && !lost_; }
    std::string Reason() const override { return reason_; }
    BOOL RegisterHotKey(int id, UINT modifiers, UINT virtualKey) override;
    BOOL UnregisterHotKey(int id) override;
    void SetHandler(Handler handler) override { handler_ = std::move(handler); }

    // Reads and acts on every event the server has sent so far (the socket notifier does this by
    // itself; tests call it to be sure nothing is left unread).
    void ProcessPendingEvents();

private:
    struct Binding {
        UINT modifiers = 0;   // MOD_* as registered
        UINT virtualKey = 0;  // as registered
        unsigned keycode = 0;
        unsigned mask = 0;    // the X modifier mask of `modifiers`
    };
    // The X masks of the modifiers, read from the server's modifier map.
    struct Masks {
        unsigned alt = 0, super = 0, numLock = 0, scrollLock = 0;
    };

    void ReadModifierMasks();
    // Fills keycode and mask from the registered key and modifiers; false when this keyboard has
    // no such key or modifier.
    bool Resolve(Binding& binding) const;
    // The lock-modifier combinations every grab is made with.
    std::vector<unsigned> LockCombinations() const;
    // Grabs the binding's key for every lock combination; on a refusal releases what it grabbed.
    bool Grab(const Binding& binding);
    void Ungrab(const Binding& binding);
    void Regrab();
    // False once the connection broke (then the hot keys are dropped and that is said once).
    bool CheckConnection();
    void Handle(const _XEvent& event);
    // Without detectable auto-repeat a held key sends release/press pairs with one time stamp.
    bool IsRepeatRelease(const _XEvent& release);

    std::string displayName_;
    _XDisplay* display_ = nullptr;
    bool lost_ = false;
    unsigned long root_ = 0;
    std::string reason_;
    bool detectableRepeat_ = false;
    Masks masks_;
    std::map<int, Binding> bindings_;
    std::set<unsigned> heldKeycodes_;  // pressed and acted upon, not yet released
    Handler handler_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
