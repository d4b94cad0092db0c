#pragma once
// Bitmap handles: a process-wide table of images behind 32-bit handles, so that a handle made in
// one module (a control's snapshot) can be read in another (its container), as GDI bitmap handles
// can. Handles are never 0 and fit a positive 32-bit long; a deleted handle is refused until the
// table wraps round, which takes two thousand million creations.
//
// Every module links its own copy of this code: the first copy that needs the table creates it
// and leaves its address on the Qt application object, where the other copies find it. Without a
// QCoreApplication each copy keeps a table of its own. Call from the thread that runs the
// application's objects (the UI thread); the table itself is locked.
#include <cstddef>
#include <cstdint>

#include <QImage>

#include "platform/base/HResult.h"

using HBITMAP = uint32_t;
using HGDIOBJ = uint32_t;

// 0 for a null image.
HBITMAP CreateBitmapFromImage(const QImage& image);
// False for an unknown or deleted handle.
bool GetBitmapImage(HBITMAP bitmap, QImage* image);
bool IsBitmapHandle(HBITMAP bitmap);
// FALSE for an unknown or deleted handle.
BOOL DeleteObject(HGDIOBJ object);
// Handles alive now, for leak checks.
size_t LiveBitmapCount();
