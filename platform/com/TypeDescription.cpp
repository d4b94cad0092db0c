#include "platform/com/TypeDescription.h"

std::string TypeDesc::Spelling() const {
    if (!name.empty()) return name;
    switch (vt) {
        case VT_I1:
            return "char";
        case VT_UI1:
            return "unsigned char";
        case VT_I2:
            return "short";
        case VT_UI2:
            return "unsigned short";
        case VT_I4:
            return "long";
        case VT_UI4:
            return "unsigned long";
        case VT_I8:
            return "int64";
        case VT_UI8:
            return "uint64";
        case VT_INT:
            return "int";
        case VT_UINT:
            return "unsigned int";
        case VT_R4:
            return "float";
        case VT_R8:
            return "double";
        case VT_CY:
            return "CURRENCY";
        case VT_BOOL:
            return "VARIANT_BOOL";
        case VT_BSTR:
            return "BSTR";
        case VT_ERROR:
            return "SCODE";
        case VT_DISPATCH:
            return "IDispatch*";
        case VT_UNKNOWN:
            return "IUnknown*";
        case VT_VARIANT:
            return "VARIANT";
        case VT_VOID:
            return "void";
        case VT_HRESULT:
            return "HRESULT";
        default:
            return VarTypeName(vt);
    }
}

size_t FuncDesc::OptionalParamCount() const {
    size_t count = 0;
    for (const ParamDesc& p : params) {
        if (p.flags & PARAMFLAG_FOPT) ++count;
    }
    return count;
}
