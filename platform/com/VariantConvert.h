#pragma once
// VariantChangeType with the coercion rules of the Windows platform that callers rely on:
// - numbers convert between each other; a value outside the target's range gives DISP_E_OVERFLOW;
//   reals round to integers half to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2);
// - text to number: decimal with optional sign, fraction, exponent and "," group separators,
//   blanks allowed around it; anything else is DISP_E_TYPEMISMATCH;
// - number to text: integers in decimal, VT_R8 with 15 and VT_R4 with 7 significant digits
//   ("1.5", "1E+20"), VT_CY with up to four decimals;
// - VT_BOOL is VARIANT_TRUE (-1) or VARIANT_FALSE; to a number it is -1 or 0 (all bits set for
//   an unsigned target); to text it is "-1" / "0", or "True" / "False" with VARIANT_ALPHABOOL or
//   VARIANT_LOCALBOOL; from text "True" / "False" (any case, also "#TRUE#" / "#FALSE#") or any
//   number (non-zero is VARIANT_TRUE);
// - VT_EMPTY converts to 0, "", VARIANT_FALSE and null interfaces; VT_NULL converts to nothing but
//   VT_NULL; VT_ERROR converts to nothing but VT_ERROR;
// - an object (VT_DISPATCH, or VT_UNKNOWN that answers IDispatch) converts to a scalar through its
//   default member (DISPID_VALUE, property get) unless VARIANT_NOVALUEPROP is given;
// - a by-reference source is read through its reference; the target type cannot be VT_BYREF.
// dest may be src. On failure dest is unchanged.
#include "platform/com/Variant.h"

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE type);
// The locale is ignored: text is always read and written with "." and ",".
HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags,
                            VARTYPE type);
