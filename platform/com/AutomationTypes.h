#pragma once
// The scalar types and codes of automation, with the numbers the Windows platform gives them:
// variant type codes travel in DISPPARAMS and type descriptions, so the values are observable.
#include <cstdint>
#include <string>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
// Automation text is UTF-8 here; BSTR is an owned string.
using BSTR = std::string;
using SCODE = int32_t;
using DISPID = int32_t;
using MEMBERID = DISPID;
using LCID = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using WORD = uint16_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using BYTE = uint8_t;
// A colour as red in the low byte, then green, then blue (0x00BBGGRR).
using OLE_COLOR = uint32_t;
using OLE_HANDLE = uint32_t;
using OLE_XSIZE_HIMETRIC = int32_t;
using OLE_YSIZE_HIMETRIC = int32_t;
using OLE_XPOS_PIXELS = int32_t;
using OLE_YPOS_PIXELS = int32_t;

// Currency: a fixed-point number, the value times 10000.
struct CY {
    int64_t int64 = 0;
    constexpr bool operator==(const CY&) const = default;
};

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_USERDEFINED = 29,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// VariantChangeType flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;  // do not read an object's default member
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;    // VT_BOOL to text as "True"/"False"
inline constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;  // as VARIANT_ALPHABOOL (one locale here)

// Standard member identifiers.
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_EVALUATE = -5;
inline constexpr DISPID DISPID_ABOUTBOX = -552;
inline constexpr DISPID DISPID_CLICK = -600;
inline constexpr DISPID DISPID_DBLCLICK = -601;
inline constexpr DISPID DISPID_KEYDOWN = -602;
inline constexpr DISPID DISPID_KEYPRESS = -603;
inline constexpr DISPID DISPID_KEYUP = -604;
inline constexpr DISPID DISPID_MOUSEDOWN = -605;
inline constexpr DISPID DISPID_MOUSEMOVE = -606;
inline constexpr DISPID DISPID_MOUSEUP = -607;
inline constexpr MEMBERID MEMBERID_NIL = -1;

// IDispatch::Invoke flags.
inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr LCID LOCALE_NEUTRAL = 0;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;

inline constexpr IID IID_NULL = GUID_NULL;

// Automation and type-library results that the core result table does not carry.
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = MakeHResult(0x8002801C);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeHResult(0x80029C4A);
inline constexpr HRESULT CTL_E_GETNOTSUPPORTED = MakeHResult(0x800A018A);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHResult(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202);
