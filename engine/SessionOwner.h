#pragma once
// What the capture session tells its owner (the control): mouse input on the session window and
// the progress of a recording. The control turns each call into its automation event.
#include <cstdint>
#include <string>

class SessionOwner {
public:
    virtual void FireClick() = 0;
    virtual void FireDblClick() = 0;
    // `button` and `shift` both carry the message's MK_ key-state bits, cut to 16 bits.
    virtual void FireMouseMove(int16_t button, int16_t shift, int32_t x, int32_t y) = 0;
    // Whole seconds of stream time and the device's dropped frame count.
    virtual void FireCapturing(int32_t seconds, int32_t dropped) = 0;
    // The running capture or preview ended by an error (a full disk, a device gone); the session
    // is stopped already. `code` is the failure's HRESULT, `text` says it in words.
    virtual void FireCaptureError(int32_t code, const std::string& text) = 0;

protected:
    ~SessionOwner() = default;
};
