#pragma once
// Global hot keys: a key combination the desktop delivers to us whichever window has the focus,
// as RegisterHotKey does. On X11 the key is grabbed on the root window; with no X display (no
// display at all, or Wayland without X11) registration fails and Available() says why.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/base/HResult.h"
#include "platform/os/WindowTypes.h"

// Modifier flags, with the Windows values.
inline constexpr UINT MOD_ALT = 0x0001;
inline constexpr UINT MOD_CONTROL = 0x0002;
inline constexpr UINT MOD_SHIFT = 0x0004;
inline constexpr UINT MOD_WIN = 0x0008;

class GlobalHotKeys {
public:
    // Called on the UI thread with the id given at registration, once per press (a held key's
    // auto-repeat does not call it again).
    using Handler = std::function<void(int id)>;

    // The process-wide instance, bound to the application's X display on first use.
    static GlobalHotKeys& Instance();
    // A new instance for the display the environment names ($DISPLAY); Instance() makes its one
    // with this and, when hot keys cannot work, says why once on standard error.
    static std::unique_ptr<GlobalHotKeys> CreateForEnvironment();

    // True when hot keys can work here; otherwise Reason() tells why in plain words.
    virtual bool Available() const = 0;
    virtual std::string Reason() const = 0;

    // virtualKey is 'A'..'Z' or '0'..'9' (the Windows virtual-key codes of letters and digits).
    // FALSE when the id is taken, the key is unknown, no display is there, or another client
    // already holds the combination.
    virtual BOOL RegisterHotKey(int id, UINT modifiers, UINT virtualKey) = 0;
    virtual BOOL UnregisterHotKey(int id) = 0;
    virtual void SetHandler(Handler handler) = 0;

    virtual ~GlobalHotKeys() = default;
};
