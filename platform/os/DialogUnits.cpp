#include "platform/os/DialogUnits.h"

#include <QFontMetrics>

QSize DialogUnitsToPixels(int width, int height, const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded: the base unit across.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = metrics.height();
    return QSize((width * baseX + 2) / 4, (height * baseY + 4) / 8);
}
