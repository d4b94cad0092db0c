#pragma once
// Picture objects: an image behind a bitmap handle, with its size in pixels and in HIMETRIC
// (hundredths of a millimetre, at 96 pixels per inch), reached through IPicture in C++ and through
// the IPictureDisp dispatch interface (Handle = DISPID_VALUE, hPal 2, Type 3, Width 4, Height 5,
// all read-only). A picture that owns its handle deletes it when released.
#include <QImage>

#include "platform/com/BitmapTable.h"
#include "platform/com/DispatchObject.h"

inline constexpr SHORT PICTYPE_UNINITIALIZED = -1;
inline constexpr SHORT PICTYPE_NONE = 0;
inline constexpr SHORT PICTYPE_BITMAP = 1;
inline constexpr SHORT PICTYPE_METAFILE = 2;
inline constexpr SHORT PICTYPE_ICON = 3;
inline constexpr SHORT PICTYPE_ENHMETAFILE = 4;

inline constexpr DISPID DISPID_PICT_HANDLE = 0;
inline constexpr DISPID DISPID_PICT_HPAL = 2;
inline constexpr DISPID DISPID_PICT_TYPE = 3;
inline constexpr DISPID DISPID_PICT_WIDTH = 4;
inline constexpr DISPID DISPID_PICT_HEIGHT = 5;

struct PICTDESC {
    UINT cbSizeofstruct = sizeof(PICTDESC);
    UINT picType = static_cast<UINT>(PICTYPE_NONE);
    struct {
        HBITMAP hbitmap = 0;
        OLE_HANDLE hpal = 0;
    } bmp;
};

struct IPicture : IUnknown {
    static constexpr IID iid = MakeGuid("{7BF80980-BF32-101A-8BBB-00AA00300CAB}");
    virtual HRESULT GetHandle(OLE_HANDLE* handle) = 0;
    virtual HRESULT GetType(SHORT* type) = 0;
    virtual HRESULT GetWidth(OLE_XSIZE_HIMETRIC* width) = 0;
    virtual HRESULT GetHeight(OLE_YSIZE_HIMETRIC* height) = 0;
    virtual HRESULT GetPixelSize(LONG* width, LONG* height) = 0;
    // E_FAIL when the picture holds no (live) bitmap.
    virtual HRESULT GetImage(QImage* image) = 0;

protected:
    ~IPicture() = default;
};

struct IPictureDisp : IDispatch {
    static constexpr IID iid = MakeGuid("{7BF80981-BF32-101A-8BBB-00AA00300CAB}");
    using Base = IDispatch;

protected:
    ~IPictureDisp() = default;
};

inline constexpr IID IID_IPicture = IPicture::iid;
inline constexpr IID IID_IPictureDisp = IPictureDisp::iid;

// Rounded to the nearest unit, as the platform converts sizes.
LONG PixelsToHimetric(LONG pixels);
LONG HimetricToPixels(LONG himetric);

// As the platform's: a null desc gives an uninitialised picture; PICTYPE_BITMAP needs a live
// handle (E_INVALIDARG otherwise); other types are E_INVALIDARG. With `own` the picture deletes
// the handle when it goes; a failed call leaves the handle with the caller.
HRESULT OleCreatePictureIndirect(const PICTDESC* desc, REFIID riid, BOOL own, void** picture);

class Picture final : public DispatchObject<Picture, IPictureDisp, IPicture> {
public:
    // `bitmap` 0 with PICTYPE_UNINITIALIZED or PICTYPE_NONE.
    Picture(SHORT type, HBITMAP bitmap, bool own);
    ~Picture() override;

    static const DispatchTable& GetDispatchTable();

    HRESULT GetHandle(OLE_HANDLE* handle) override;
    HRESULT GetType(SHORT* type) override;
    HRESULT GetWidth(OLE_XSIZE_HIMETRIC* width) override;
    HRESULT GetHeight(OLE_YSIZE_HIMETRIC* height) override;
    HRESULT GetPixelSize(LONG* width, LONG* height) override;
    HRESULT GetImage(QImage* image) override;

private:
    friend HRESULT OleCreatePictureIndirect(const PICTDESC* desc, REFIID riid, BOOL own,
                                            void** picture);

    SHORT type_;
    HBITMAP bitmap_;
    bool own_;
    LONG pixelWidth_ = 0;
    LONG pixelHeight_ = 0;
};

// A new bitmap handle for the image, owned by a new picture; null for a null image.
ComPtr<IPictureDisp> CreatePictureFromImage(const QImage& image);
