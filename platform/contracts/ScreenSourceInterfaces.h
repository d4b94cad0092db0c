#pragma once
// The screen source filter (Pavisse.so in the Windows folder) as its users see it: created by
// class identifier and configured through IScreenSourceConfig. The slot order below is the binary
// contract with the module and must not change.
//
// The filter has one output pin, "Capture" (PIN_CATEGORY_CAPTURE), giving bottom-up RGB32 or RGB24
// frames of the output size at the frame rate, stamped from the graph clock; the pin answers
// IAMDroppedFrames. The source rectangle may change at any time, also while running: it is fitted
// to the screen and scaled to the output size.
#include <string>

#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"

inline constexpr CLSID CLSID_ScreenSource = MakeGuid("{6B0F3C52-41E7-4D8A-9C1B-7E25D0A4F3C9}");

struct IScreenSourceConfig : IUnknown {
    static constexpr IID iid = MakeGuid("{0C8E5A71-93D4-4B6F-A2E8-5F17C3B9D046}");
    // The X display to read (null or empty: DISPLAY). Takes effect at the next start.
    virtual HRESULT SetDisplayName(const char* name) = 0;
    // The screen's size; fails with the reason in LastError when no X server can be reached.
    virtual HRESULT GetScreenSize(LONG* width, LONG* height) = 0;
    // The rectangle of the screen to record (right and bottom exclusive); any time.
    virtual HRESULT SetSourceRect(const RECT* rect) = 0;
    // The rectangle being recorded after fitting it to the screen.
    virtual HRESULT GetSourceRect(RECT* rect) = 0;
    // The size of the frames delivered (even, 2..8192); before the pin connects.
    virtual HRESULT SetOutputSize(LONG width, LONG height) = 0;
    // 100 ns units per frame (1..120 frames a second); before the pin connects.
    virtual HRESULT SetFrameInterval(REFERENCE_TIME interval) = 0;
    virtual HRESULT SetCaptureCursor(BOOL capture) = 0;
    // Why the last failing call or start failed, in words for a person; empty when none did.
    virtual HRESULT GetLastError(std::string* text) = 0;

protected:
    ~IScreenSourceConfig() = default;
};
