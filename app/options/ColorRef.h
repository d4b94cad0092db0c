#pragma once
// Colours as the settings files and the capture control hold them: 0x00BBGGRR.
#include <QColor>
#include <cstdint>

using COLORREF = uint32_t;

inline QColor ToQColor(COLORREF colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

inline COLORREF FromQColor(const QColor& colour) {
    return static_cast<COLORREF>(colour.red()) | static_cast<COLORREF>(colour.green()) << 8 |
           static_cast<COLORREF>(colour.blue()) << 16;
}
