#pragma once
// The configuration interface of the Lamina overlay filter. The engine creates the filter by class
// identifier and drives it through this interface only, so this header is all it includes: the
// slot order below is a binary contract between modules and must never change.
//
// Strings are UTF-8 and copied by the filter. Colours arrive as three ints red, green, blue (0-255),
// stored as bytes. Getters of strings write into caller buffers of at least
// kOverlayPathBytes bytes (kOverlayTextBytes for GetText).
#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_OverlayTransformFilter = MakeGuid("{2A249D65-5AE0-402F-A973-32C5BE45C87C}");

// Size of the path and face-name fields, terminator included.
inline constexpr int kOverlayPathBytes = 260;
// Size of the process-wide overlay text buffer, terminator included.
inline constexpr int kOverlayTextBytes = 1024;

struct IOverlayConfig : IUnknown {
    static constexpr IID iid = MakeGuid("{49A9FCB7-8725-4D5D-9B1E-407A34E40D7A}");

    virtual HRESULT GetTextPosition(int* x, int* y) = 0;
    virtual HRESULT SetTextPosition(int x, int y) = 0;
    virtual HRESULT SetDatePosition(int x, int y) = 0;
    virtual HRESULT SetShowText(int flag) = 0;
    // The text is shared by every filter instance of the process.
    virtual HRESULT SetText(const char* text) = 0;
    virtual HRESULT GetText(char* buffer) = 0;
    virtual HRESULT SetTextFont(const char* face, int size) = 0;
    virtual HRESULT GetTextFont(char* face, int* size) = 0;
    virtual HRESULT SetDateFont(const char* face, int size) = 0;
    virtual HRESULT SetDateColor(int r, int g, int b) = 0;
    virtual HRESULT SetTextColor(int r, int g, int b) = 0;
    virtual HRESULT GetTextColor(int* r, int* g, int* b) = 0;
    virtual HRESULT SetOutlineBackColor(int r, int g, int b) = 0;
    virtual HRESULT SetOutlineBorderColor(int r, int g, int b) = 0;
    virtual HRESULT SetTextureImage(const char* path) = 0;
    virtual HRESULT SetHatchBrush(int style, int foreR, int foreG, int foreB, int backR, int backG,
                                  int backB) = 0;
    virtual HRESULT SetDateFormat(int index) = 0;
    virtual HRESULT SetDateFontStyle(int style) = 0;
    virtual HRESULT SetTextFontStyle(int style) = 0;
    virtual HRESULT SetTextStyle(int style) = 0;
    virtual HRESULT GetImagePosition(int* x, int* y) = 0;
    virtual HRESULT SetImagePosition(int x, int y) = 0;
    virtual HRESULT SetShowImage(int flag) = 0;
    virtual HRESULT SetShowDate(int flag) = 0;
    virtual HRESULT SetImagePath(const char* path) = 0;
    virtual HRESULT GetImagePath(char* buffer) = 0;
    virtual HRESULT SetImageKey(int r, int g, int b, int alpha) = 0;
    virtual HRESULT GetImageKey(int* r, int* g, int* b, int* alpha) = 0;
    virtual HRESULT SetImageKeyEnabled(int flag) = 0;
    virtual HRESULT GetImageKeyEnabled(int* flag) = 0;

protected:
    ~IOverlayConfig() = default;
};
