#pragma once
// The per-instance overlay settings of one filter, with the values a new filter starts with.
// Transform draws from a copy of this record taken under the filter's lock, so it is a plain value.
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/contracts/OverlayConfig.h"

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    constexpr bool operator==(const Rgb&) const = default;
    // Colours cross the interface as ints; only the low byte of each is kept.
    static constexpr Rgb FromInts(int r, int g, int b) {
        return Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
    }
};

// A terminated string in a fixed field of kOverlayPathBytes bytes.
struct PathField {
    std::array<char, kOverlayPathBytes> bytes{};

    PathField() = default;
    explicit PathField(std::string_view text) { Assign(text); }
    // False (and the field unchanged) when the text and its terminator do not fit.
    bool Assign(std::string_view text) {
        if (text.size() >= bytes.size()) return false;
        std::memcpy(bytes.data(), text.data(), text.size());
        bytes[text.size()] = '\0';
        return true;
    }
    std::string_view View() const { return std::string_view(bytes.data()); }
    bool Empty() const { return bytes[0] == '\0'; }
};

enum TextStyle : int32_t {
    kTextSolid = 0,
    kTextOutline = 1,
    kTextOutlineFilled = 2,
    kTextHatch = 3,
    kTextTexture = 4,
};

// Font style bits, as the settings dialog stores them.
enum FontStyleBits : int32_t {
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 4,
    kFontStrikeout = 8,
};

struct OverlayParams {
    uint8_t showText = 1;
    uint8_t showImage = 1;
    uint8_t showDate = 1;

    int32_t textStyle = kTextSolid;
    PathField textFontName{"Times New Roman"};
    int32_t textFontSize = 24;
    int32_t textFontStyle = 0;
    Rgb textColor{255, 0, 0};
    int32_t textX = 0;
    int32_t textY = 0;
    Rgb outlineBackColor{255, 0, 0};
    Rgb outlineBorderColor{0, 255, 0};
    int32_t hatchStyle = 0;
    Rgb hatchForeColor{0, 0, 0};
    Rgb hatchBackColor{255, 255, 255};
    PathField textureImagePath;

    PathField dateFontName{"Times New Roman"};
    int32_t dateFontSize = 12;
    int32_t dateFontStyle = 0;
    Rgb dateColor{255, 255, 255};
    int32_t dateX = 0;
    int32_t dateY = 100;
    int32_t dateFormat = 0;

    PathField imagePath;
    int32_t imageX = 0;
    int32_t imageY = 0;
    Rgb keyColor{0, 0, 0};
    // Keying is on when this byte, read as signed, is negative.
    uint8_t keyEnabled = 0xFF;
    // Opacity of the image in percent.
    uint8_t imageAlpha = 0;

    bool KeyEnabled() const { return static_cast<int8_t>(keyEnabled) < 0; }
};
