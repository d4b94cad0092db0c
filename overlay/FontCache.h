#pragma once
// Fonts of the overlays by face, pixel size and style bits. Looking a family up in the font
// database and building the font is far too slow for every frame, so each combination is resolved
// once.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>

enum class FontFallback { None, SansSerif };

class FontCache {
public:
    // The font of the face at `pixelSize` with the style bits (1 bold, 2 italic, 4 underline,
    // 8 strikeout). An unknown face becomes the generic sans-serif family under
    // FontFallback::SansSerif and no font otherwise; a size below 1 gives no font either way.
    std::optional<QFont> Resolve(std::string_view face, int pixelSize, int styleBits, FontFallback fallback);

    // True when the font database holds the family itself (not a substitute for it).
    static bool IsInstalled(std::string_view face);

private:
    struct Entry {
        std::string face;
        int pixelSize;
        int styleBits;
        FontFallback fallback;
        std::optional<QFont> font;
    };
    std::vector<Entry> entries_;
};
