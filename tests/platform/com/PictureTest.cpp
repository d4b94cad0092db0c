#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QVariant>

#include "platform/com/Bitmap.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/Picture.h"
#include "tests/support/TestEnvironment.h"

namespace {
QImage Frame(int width, int height, QRgb colour = qRgb(10, 20, 30)) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}
}  // namespace

TEST(Bitmap, HandlesLiveUntilDeleted) {
    size_t before = LiveBitmapCount();
    HBITMAP a = CreateBitmapFromImage(Frame(320, 240));
    HBITMAP b = CreateBitmapFromImage(Frame(8, 8, qRgb(255, 0, 0)));
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_LE(a, 0x7FFFFFFFu);  // fits a positive 32-bit long, as snapshot handles travel
    EXPECT_EQ(LiveBitmapCount(), before + 2);

    QImage image;
    ASSERT_TRUE(GetBitmapImage(a, &image));
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(image.pixel(5, 5), qRgb(10, 20, 30));
    ASSERT_TRUE(GetBitmapImage(b, &image));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));

    EXPECT_EQ(DeleteObject(a), TRUE);
    EXPECT_EQ(DeleteObject(a), FALSE);
    EXPECT_FALSE(GetBitmapImage(a, &image));
    EXPECT_FALSE(IsBitmapHandle(a));
    EXPECT_TRUE(IsBitmapHandle(b));
    // A new handle never reuses one just deleted.
    HBITMAP c = CreateBitmapFromImage(Frame(1, 1));
    EXPECT_NE(c, a);
    EXPECT_EQ(DeleteObject(b), TRUE);
    EXPECT_EQ(DeleteObject(c), TRUE);

    EXPECT_EQ(CreateBitmapFromImage(QImage()), 0u);
    EXPECT_EQ(DeleteObject(0), FALSE);
    EXPECT_EQ(DeleteObject(0x12345678), FALSE);
    EXPECT_FALSE(IsBitmapHandle(0));
    EXPECT_EQ(LiveBitmapCount(), before);
}

TEST(Bitmap, ABitmapObjectDeletesOnlyWhatItHolds) {
    size_t before = LiveBitmapCount();
    HBITMAP first = CreateBitmapFromImage(Frame(4, 4));
    HBITMAP second = CreateBitmapFromImage(Frame(6, 6));
    {
        Bitmap bitmap;
        EXPECT_FALSE(bitmap);
        EXPECT_EQ(bitmap.Attach(first), 0u);
        EXPECT_EQ(bitmap.Image().width(), 4);
        // Attaching the next one keeps the earlier handle valid for whoever received it.
        EXPECT_EQ(bitmap.Attach(second), first);
        EXPECT_TRUE(IsBitmapHandle(first));
        EXPECT_EQ(bitmap.Handle(), second);
    }
    EXPECT_TRUE(IsBitmapHandle(first));
    EXPECT_FALSE(IsBitmapHandle(second));
    {
        Bitmap kept(first);
        EXPECT_EQ(kept.Detach(), first);
        EXPECT_EQ(kept.DeleteObject(), FALSE);
    }
    EXPECT_TRUE(IsBitmapHandle(first));
    Bitmap moved{Bitmap(first)};
    EXPECT_EQ(moved.Handle(), first);
    EXPECT_EQ(moved.DeleteObject(), TRUE);
    EXPECT_EQ(LiveBitmapCount(), before);
}

TEST(Bitmap, HandlesCrossModules) {
    // The module links its own copy of the handle table's code.
    HMODULE module = LoadLibrary(testing_support::TestBinDir() / "TypeLibModule.so");
    ASSERT_TRUE(module) << LastModuleError();
    auto create = GetProcAddressAs<HBITMAP (*)(int, int)>(module, "TestModuleCreateBitmap");
    auto width = GetProcAddressAs<int (*)(HBITMAP)>(module, "TestModuleBitmapWidth");
    ASSERT_TRUE(create && width);

    HBITMAP theirs = create(33, 11);
    ASSERT_NE(theirs, 0u);
    QImage image;
    ASSERT_TRUE(GetBitmapImage(theirs, &image));
    EXPECT_EQ(image.size(), QSize(33, 11));
    HBITMAP ours = CreateBitmapFromImage(Frame(44, 2));
    EXPECT_EQ(width(ours), 44);
    EXPECT_EQ(DeleteObject(theirs), TRUE);
    EXPECT_EQ(width(theirs), -1);
    EXPECT_EQ(DeleteObject(ours), TRUE);
    EXPECT_TRUE(QCoreApplication::instance()->property("orvanta.bitmapTable.1").isValid());
    FreeLibrary(module);
}

TEST(Picture, SizesAreInHimetricAtNinetySixDots) {
    EXPECT_EQ(PixelsToHimetric(96), 2540);
    EXPECT_EQ(PixelsToHimetric(320), 8467);
    EXPECT_EQ(PixelsToHimetric(240), 6350);
    EXPECT_EQ(PixelsToHimetric(1), 26);
    EXPECT_EQ(PixelsToHimetric(0), 0);
    EXPECT_EQ(PixelsToHimetric(-1), -26);
    EXPECT_EQ(HimetricToPixels(2540), 96);
    EXPECT_EQ(HimetricToPixels(8467), 320);
}

TEST(Picture, APictureOwnsItsImageAndAnswersByDispatch) {
    size_t before = LiveBitmapCount();
    ComPtr<IPictureDisp> picture = CreatePictureFromImage(Frame(320, 240, qRgb(1, 2, 3)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(LiveBitmapCount(), before + 1);

    DispatchDriver driver(ComPtr<IDispatch>(picture.Get()));
    Variant handle;
    ASSERT_EQ(driver.GetProperty(DISPID_PICT_HANDLE, &handle), S_OK);
    ASSERT_EQ(handle.Type(), VT_I4);
    EXPECT_TRUE(IsBitmapHandle(static_cast<HBITMAP>(handle.I4())));
    Variant value;
    EXPECT_EQ(driver.GetProperty("Type", &value), S_OK);
    EXPECT_EQ(value, Variant(PICTYPE_BITMAP));
    EXPECT_EQ(driver.GetProperty("Width", &value), S_OK);
    EXPECT_EQ(value, Variant(8467));
    EXPECT_EQ(driver.GetProperty("height", &value), S_OK);
    EXPECT_EQ(value, Variant(6350));
    EXPECT_EQ(driver.GetProperty(DISPID_PICT_HPAL, &value), S_OK);
    EXPECT_EQ(value, Variant(0));
    EXPECT_EQ(driver.PutProperty(DISPID_PICT_HANDLE, Variant(5)), CTL_E_SETNOTSUPPORTED);
    // Its value is its handle.
    Variant asNumber = Variant::MakeDispatch(picture.Get());
    ASSERT_EQ(asNumber.ChangeType(VT_I4), S_OK);
    EXPECT_EQ(asNumber, handle);

    ComPtr<IPicture> pic = QueryAs<IPicture>(picture.Get());
    ASSERT_TRUE(pic);
    LONG width = 0;
    LONG height = 0;
    EXPECT_EQ(pic->GetPixelSize(&width, &height), S_OK);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    OLE_XSIZE_HIMETRIC himetric = 0;
    EXPECT_EQ(pic->GetWidth(&himetric), S_OK);
    EXPECT_EQ(himetric, 8467);
    QImage image;
    ASSERT_EQ(pic->GetImage(&image), S_OK);
    EXPECT_EQ(image.pixel(100, 100), qRgb(1, 2, 3));

    // Releasing the last reference frees the handle.
    HBITMAP held = static_cast<HBITMAP>(handle.I4());
    pic.Reset();
    driver.Attach(nullptr);
    picture.Reset();
    EXPECT_FALSE(IsBitmapHandle(held));
    EXPECT_EQ(LiveBitmapCount(), before);
    EXPECT_FALSE(CreatePictureFromImage(QImage()));
}

TEST(Picture, CreatedIndirectlyWithOrWithoutOwnership) {
    HBITMAP bitmap = CreateBitmapFromImage(Frame(10, 20));
    PICTDESC desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    {
        ComPtr<IPicture> borrowed;
        ASSERT_EQ(OleCreatePictureIndirect(&desc, IPicture::iid, FALSE,
                                           borrowed.ReleaseAndGetVoidAddress()),
                  S_OK);
        OLE_HANDLE handle = 0;
        borrowed->GetHandle(&handle);
        EXPECT_EQ(handle, bitmap);
    }
    EXPECT_TRUE(IsBitmapHandle(bitmap));  // not the picture's to delete

    // A failed creation leaves the handle with the caller, even when ownership was offered.
    void* none = nullptr;
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IClassFactory::iid, TRUE, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(IsBitmapHandle(bitmap));

    ComPtr<IPicture> owning;
    ASSERT_EQ(
        OleCreatePictureIndirect(&desc, IPicture::iid, TRUE, owning.ReleaseAndGetVoidAddress()),
        S_OK);
    // A handle that is deleted under the picture: no image, but the picture still answers.
    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    QImage image;
    EXPECT_EQ(owning->GetImage(&image), E_FAIL);
    LONG w = 0;
    LONG h = 0;
    EXPECT_EQ(owning->GetPixelSize(&w, &h), S_OK);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 20);
    owning.Reset();

    ComPtr<IPicture> uninitialized;
    ASSERT_EQ(OleCreatePictureIndirect(nullptr, IPicture::iid, TRUE,
                                       uninitialized.ReleaseAndGetVoidAddress()),
              S_OK);
    SHORT type = 0;
    uninitialized->GetType(&type);
    EXPECT_EQ(type, PICTYPE_UNINITIALIZED);
    EXPECT_EQ(uninitialized->GetImage(&image), E_FAIL);

    desc.bmp.hbitmap = bitmap;  // deleted above
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IPicture::iid, TRUE, &none), E_INVALIDARG);
    desc.picType = PICTYPE_ICON;
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IPicture::iid, TRUE, &none), E_INVALIDARG);
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IPicture::iid, TRUE, nullptr), E_POINTER);
}
