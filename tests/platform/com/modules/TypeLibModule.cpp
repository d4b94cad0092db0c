// A module with its own copy of the automation layer: it hands out a type library (what
// LoadTypeLib and LoadRegTypeLib load) and makes and reads bitmap handles, so that tests can show
// a handle crossing between two copies of the handle table's code.
#include "tests/platform/com/modules/TypeLibModule.h"
#include "platform/com/BitmapTable.h"
#include "platform/com/TypeLib.h"

ORVANTA_EXPORT HRESULT DllGetTypeLib(ITypeLib** lib) {
    return CreateTypeLib(TestCameraTypeLib(), lib);
}

ORVANTA_EXPORT HBITMAP TestModuleCreateBitmap(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::blue);
    return CreateBitmapFromImage(image);
}

// -1 for a handle this module cannot read.
ORVANTA_EXPORT int TestModuleBitmapWidth(HBITMAP bitmap) {
    QImage image;
    return GetBitmapImage(bitmap, &image) ? image.width() : -1;
}
