// The entries of Grabwell.so: the class objects of the control and of its property page, the
// type library, self-registration of all three, and the toolbox bitmap that containers show for
// the control.
#include <array>
#include <cstdint>
#include <new>

#include "control/LumicorCtrl.h"
#include "control/LumicorIds.h"
#include "control/LumicorPropPage.h"
#include "control/LumicorTypeLib.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ServerRegistration.h"
#include "platform/com/TypeLibRegistration.h"

namespace {

// Bitmap resource 1, the toolbox bitmap that the control's ToolboxBitmap32 key names: a 16 by 15
// BMP file (24 bits, rows bottom-up) of a small camera, built at compile time. Like the version
// record of the other modules it sits in an ELF section of its own (readelf -x .orvanta.bitmap
// Grabwell.so shows it) and is read through OrvantaBitmapResource().
constexpr int kToolboxBitmapId = 1;
constexpr int kToolboxWidth = 16;
constexpr int kToolboxHeight = 15;
constexpr size_t kToolboxRowBytes = kToolboxWidth * 3;  // already a multiple of four
constexpr size_t kToolboxPixelOffset = 14 + 40;         // file header, info header
constexpr size_t kToolboxFileBytes = kToolboxPixelOffset + kToolboxRowBytes * kToolboxHeight;

struct Rgb {
    uint8_t r, g, b;
};

// y counts from the top. The background is the toolbox's grey.
constexpr Rgb ToolboxPixel(int x, int y) {
    constexpr Rgb background{0xC0, 0xC0, 0xC0};
    constexpr Rgb body{0x40, 0x40, 0x48};
    constexpr Rgb rim{0xC8, 0xC8, 0xD0};
    constexpr Rgb lens{0x20, 0x50, 0xB0};
    constexpr Rgb light{0xE0, 0x20, 0x20};
    const int dx = 2 * x - 13;  // lens centre (6.5, 9.0), in half pixels
    const int dy = 2 * y - 18;
    const int r2 = dx * dx + dy * dy;
    if (r2 <= 4 * 4) return lens;
    if (r2 <= 7 * 7) return rim;
    if (x >= 12 && x <= 13 && y >= 5 && y <= 6) return light;
    if (x >= 1 && x <= 14 && y >= 4 && y <= 13) return body;
    if (x >= 4 && x <= 8 && y >= 2 && y <= 3) return body;  // viewfinder
    return background;
}

constexpr void PutLe(std::array<unsigned char, kToolboxFileBytes>& out, size_t at, uint32_t value,
                     int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

constexpr std::array<unsigned char, kToolboxFileBytes> MakeToolboxBitmap() {
    std::array<unsigned char, kToolboxFileBytes> out{};
    out[0] = 'B';
    out[1] = 'M';
    PutLe(out, 2, kToolboxFileBytes, 4);
    PutLe(out, 10, kToolboxPixelOffset, 4);
    PutLe(out, 14, 40, 4);  // BITMAPINFOHEADER
    PutLe(out, 18, kToolboxWidth, 4);
    PutLe(out, 22, kToolboxHeight, 4);  // positive: bottom-up
    PutLe(out, 26, 1, 2);               // planes
    PutLe(out, 28, 24, 2);              // bits per pixel
    PutLe(out, 34, kToolboxRowBytes * kToolboxHeight, 4);
    PutLe(out, 38, 2835, 4);  // 72 dpi
    PutLe(out, 42, 2835, 4);
    for (int y = 0; y < kToolboxHeight; ++y) {
        const size_t row = kToolboxPixelOffset + (kToolboxHeight - 1 - y) * kToolboxRowBytes;
        for (int x = 0; x < kToolboxWidth; ++x) {
            const Rgb p = ToolboxPixel(x, y);
            out[row + 3 * x] = p.b;
            out[row + 3 * x + 1] = p.g;
            out[row + 3 * x + 2] = p.r;
        }
    }
    return out;
}

ClassRegistration ControlClass() {
    ClassRegistration c;
    c.clsid = CLSID_Lumicor;
    c.typeName = kLumicorTypeName;
    c.threadingModel = "Apartment";
    c.progId = kLumicorProgId;
    c.control = true;
    c.insertable = false;
    c.miscStatus = kLumicorMiscStatus;
    c.toolboxBitmap = kToolboxBitmapId;
    c.typeLib = LIBID_LUMICORLib;
    c.version = "1.0";
    return c;
}

ClassRegistration PropPageClass() {
    ClassRegistration c;
    c.clsid = CLSID_LumicorPropPage;
    c.typeName = kLumicorPropPageTypeName;
    c.threadingModel = "Apartment";
    c.progId = kLumicorPropPageProgId;
    return c;
}

// The class object of a class the module knows only by its creation function.
template <HRESULT (*Create)(REFIID, void**)>
class CreatorFactory final : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Create(riid, object);
    }
    // The same server-lock bookkeeping as the platform's ClassFactory, on this module's count.
    HRESULT LockServer(BOOL lock) override {
        if (lock) {
            ++com_detail::ModuleLockCount();
        } else if (com_detail::ModuleLockCount().fetch_sub(1) <= 0) {
            ++com_detail::ModuleLockCount();  // more unlocks than locks: keep the count at zero
            return E_UNEXPECTED;
        }
        return S_OK;
    }
};

template <HRESULT (*Create)(REFIID, void**)>
HRESULT GetCreatorFactory(REFIID riid, void** object) {
    try {
        return MakeCom<CreatorFactory<Create>>()->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

// Constant-initialised: the bytes are in the file, no code builds them at load.
__attribute__((section(".orvanta.bitmap"), used)) constinit const std::array<unsigned char, kToolboxFileBytes>
    kGrabwellToolboxBitmap = MakeToolboxBitmap();

// The bytes of bitmap resource `id` (a BMP file) and their count; null for an unknown id.
ORVANTA_EXPORT const unsigned char* OrvantaBitmapResource(int id, unsigned* size) {
    if (id != kToolboxBitmapId) {
        if (size) *size = 0;
        return nullptr;
    }
    if (size) *size = static_cast<unsigned>(kGrabwellToolboxBitmap.size());
    return kGrabwellToolboxBitmap.data();
}

ORVANTA_EXPORT HRESULT DllGetTypeLib(ITypeLib** lib) { return BuildLumicorTypeLib(lib); }

ORVANTA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_Lumicor) return GetCreatorFactory<CreateLumicorCtrl>(riid, object);
    if (clsid == CLSID_LumicorPropPage) return GetCreatorFactory<CreateLumicorPropPage>(riid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

ORVANTA_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnloadNow(); }

ORVANTA_EXPORT HRESULT DllRegisterServer() {
    ComPtr<ITypeLib> lib;
    if (FAILED(BuildLumicorTypeLib(lib.ReleaseAndGetAddressOf())) ||
        FAILED(RegisterTypeLib(lib.Get(), ThisModulePath()))) {
        return SELFREG_E_TYPELIB;
    }
    for (const ClassRegistration& c : {ControlClass(), PropPageClass()}) {
        if (FAILED(RegisterServerClass(c))) return SELFREG_E_CLASS;
    }
    return S_OK;
}

ORVANTA_EXPORT HRESULT DllUnregisterServer() {
    // A library that is not registered (never was, or already removed) leaves nothing to do.
    HRESULT hr = UnRegisterTypeLib(LIBID_LUMICORLib, kLumicorLibMajor, kLumicorLibMinor,
                                   kLumicorLibLcid);
    if (FAILED(hr) && hr != TYPE_E_LIBNOTREGISTERED) return SELFREG_E_TYPELIB;
    for (const ClassRegistration& c : {ControlClass(), PropPageClass()}) {
        if (FAILED(UnregisterServerClass(c))) return SELFREG_E_CLASS;
    }
    return S_OK;
}
