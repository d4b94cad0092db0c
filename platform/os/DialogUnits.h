#pragma once
// Dialog templates give their sizes in dialog units, which follow the dialog's font: a quarter of
// the font's average character width across, an eighth of its height down. The controls' About
// boxes and property pages and the program's dialogs are sized this way, so that they grow with
// the font as their templates intend.
#include <QFont>
#include <QSize>

// The pixel size of `width` by `height` dialog units in `font`.
QSize DialogUnitsToPixels(int width, int height, const QFont& font);
