#include "platform/com/Picture.h"

#include <new>

#include "platform/com/DispatchMap.h"

namespace {
constexpr LONG kPixelsPerInch = 96;
constexpr LONG kHimetricPerInch = 2540;

// a * b / c rounded half away from zero.
LONG MulDivRounded(LONG a, LONG b, LONG c) {
    int64_t product = static_cast<int64_t>(a) * b;
    int64_t half = c / 2;
    return static_cast<LONG>(product >= 0 ? (product + half) / c : (product - half) / c);
}
}  // namespace

LONG PixelsToHimetric(LONG pixels) {
    return MulDivRounded(pixels, kHimetricPerInch, kPixelsPerInch);
}
LONG HimetricToPixels(LONG himetric) {
    return MulDivRounded(himetric, kPixelsPerInch, kHimetricPerInch);
}

Picture::Picture(SHORT type, HBITMAP bitmap, bool own) : type_(type), bitmap_(bitmap), own_(own) {
    QImage image;
    if (bitmap_ && GetBitmapImage(bitmap_, &image)) {
        pixelWidth_ = image.width();
        pixelHeight_ = image.height();
    }
}

Picture::~Picture() {
    if (own_ && bitmap_) DeleteObject(bitmap_);
}

const DispatchTable& Picture::GetDispatchTable() {
    static const DispatchTable table = [] {
        DispatchMap<Picture> map(IPictureDisp::iid, "IPictureDisp", "Picture object");
        const TypeDesc handle(VT_I4, "OLE_HANDLE");
        map.Property(DISPID_PICT_HANDLE, "Handle", [](Picture& p) { return p.bitmap_; })
            .Type(handle);
        map.Property(DISPID_PICT_HPAL, "hPal", [](Picture&) { return OLE_HANDLE{0}; }).Type(handle);
        map.Property(DISPID_PICT_TYPE, "Type", [](Picture& p) { return p.type_; });
        map.Property(DISPID_PICT_WIDTH, "Width",
                     [](Picture& p) { return PixelsToHimetric(p.pixelWidth_); })
            .Type(TypeDesc(VT_I4, "OLE_XSIZE_HIMETRIC"));
        map.Property(DISPID_PICT_HEIGHT, "Height",
                     [](Picture& p) { return PixelsToHimetric(p.pixelHeight_); })
            .Type(TypeDesc(VT_I4, "OLE_YSIZE_HIMETRIC"));
        return map.Build();
    }();
    return table;
}

HRESULT Picture::GetHandle(OLE_HANDLE* handle) {
    if (!handle) return E_POINTER;
    *handle = bitmap_;
    return S_OK;
}

HRESULT Picture::GetType(SHORT* type) {
    if (!type) return E_POINTER;
    *type = type_;
    return S_OK;
}

HRESULT Picture::GetWidth(OLE_XSIZE_HIMETRIC* width) {
    if (!width) return E_POINTER;
    *width = PixelsToHimetric(pixelWidth_);
    return S_OK;
}

HRESULT Picture::GetHeight(OLE_YSIZE_HIMETRIC* height) {
    if (!height) return E_POINTER;
    *height = PixelsToHimetric(pixelHeight_);
    return S_OK;
}

HRESULT Picture::GetPixelSize(LONG* width, LONG* height) {
    if (!width || !height) return E_POINTER;
    *width = pixelWidth_;
    *height = pixelHeight_;
    return S_OK;
}

HRESULT Picture::GetImage(QImage* image) {
    if (!image) return E_POINTER;
    if (type_ != PICTYPE_BITMAP || !GetBitmapImage(bitmap_, image)) return E_FAIL;
    return S_OK;
}

HRESULT OleCreatePictureIndirect(const PICTDESC* desc, REFIID riid, BOOL own, void** picture) {
    if (!picture) return E_POINTER;
    *picture = nullptr;
    SHORT type = PICTYPE_UNINITIALIZED;
    HBITMAP bitmap = 0;
    if (desc) {
        type = static_cast<SHORT>(desc->picType);
        if (type == PICTYPE_BITMAP) {
            bitmap = desc->bmp.hbitmap;
            if (!IsBitmapHandle(bitmap)) return E_INVALIDARG;
        } else if (type != PICTYPE_NONE && type != PICTYPE_UNINITIALIZED) {
            return E_INVALIDARG;
        }
    }
    try {
        ComPtr<Picture> created = MakeCom<Picture>(type, bitmap, own != FALSE);
        HRESULT hr = created->QueryInterface(riid, picture);
        // A failed call leaves the handle with the caller.
        if (FAILED(hr)) created->own_ = false;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

ComPtr<IPictureDisp> CreatePictureFromImage(const QImage& image) {
    HBITMAP bitmap = CreateBitmapFromImage(image);
    if (!bitmap) return nullptr;
    PICTDESC desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IPictureDisp::iid, TRUE,
                                        picture.ReleaseAndGetVoidAddress()))) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return picture;
}
