#pragma once
// Type information as plain data: dispatch interfaces with their members, coclasses with the
// interfaces they implement, and the type library that holds them. A module builds a TypeLibDesc
// (dispatch maps describe their own interfaces) and hands it out as an ITypeLib (TypeLib.h).
#include <optional>
#include <string>
#include <vector>

#include "platform/com/AutomationTypes.h"
#include "platform/com/Variant.h"

using TYPEKIND = int32_t;
inline constexpr TYPEKIND TKIND_ENUM = 0;
inline constexpr TYPEKIND TKIND_RECORD = 1;
inline constexpr TYPEKIND TKIND_MODULE = 2;
inline constexpr TYPEKIND TKIND_INTERFACE = 3;
inline constexpr TYPEKIND TKIND_DISPATCH = 4;
inline constexpr TYPEKIND TKIND_COCLASS = 5;
inline constexpr TYPEKIND TKIND_ALIAS = 6;

using INVOKEKIND = int32_t;
inline constexpr INVOKEKIND INVOKE_FUNC = 1;
inline constexpr INVOKEKIND INVOKE_PROPERTYGET = 2;
inline constexpr INVOKEKIND INVOKE_PROPERTYPUT = 4;
inline constexpr INVOKEKIND INVOKE_PROPERTYPUTREF = 8;

inline constexpr WORD FUNCFLAG_FRESTRICTED = 0x1;
inline constexpr WORD FUNCFLAG_FSOURCE = 0x2;
inline constexpr WORD FUNCFLAG_FBINDABLE = 0x4;
inline constexpr WORD FUNCFLAG_FREQUESTEDIT = 0x8;
inline constexpr WORD FUNCFLAG_FDISPLAYBIND = 0x10;
inline constexpr WORD FUNCFLAG_FDEFAULTBIND = 0x20;
inline constexpr WORD FUNCFLAG_FHIDDEN = 0x40;
inline constexpr WORD FUNCFLAG_FUIDEFAULT = 0x200;
inline constexpr WORD FUNCFLAG_FNONBROWSABLE = 0x400;

inline constexpr WORD TYPEFLAG_FAPPOBJECT = 0x1;
inline constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
inline constexpr WORD TYPEFLAG_FLICENSED = 0x4;
inline constexpr WORD TYPEFLAG_FHIDDEN = 0x10;
inline constexpr WORD TYPEFLAG_FCONTROL = 0x20;
inline constexpr WORD TYPEFLAG_FDUAL = 0x40;
inline constexpr WORD TYPEFLAG_FNONEXTENSIBLE = 0x80;
inline constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
inline constexpr WORD TYPEFLAG_FRESTRICTED = 0x200;
inline constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;

inline constexpr INT IMPLTYPEFLAG_FDEFAULT = 0x1;
inline constexpr INT IMPLTYPEFLAG_FSOURCE = 0x2;
inline constexpr INT IMPLTYPEFLAG_FRESTRICTED = 0x4;

inline constexpr WORD LIBFLAG_FRESTRICTED = 0x1;
inline constexpr WORD LIBFLAG_FCONTROL = 0x2;
inline constexpr WORD LIBFLAG_FHIDDEN = 0x4;

inline constexpr USHORT PARAMFLAG_FIN = 0x1;
inline constexpr USHORT PARAMFLAG_FOUT = 0x2;
inline constexpr USHORT PARAMFLAG_FOPT = 0x10;
inline constexpr USHORT PARAMFLAG_FHASDEFAULT = 0x20;

// A type as automation sees it. `vt` is what travels at run time; `name` is the declared name when
// it says more than the VT_ code does ("OLE_COLOR", "IPictureDisp", "OLE_XPOS_PIXELS").
// VT_VOID is "no value" (a method without result); VT_VARIANT takes any value unconverted.
struct TypeDesc {
    VARTYPE vt = VT_VOID;
    std::string name;

    TypeDesc() = default;
    TypeDesc(VARTYPE type) : vt(type) {}
    TypeDesc(VARTYPE type, std::string declaredName) : vt(type), name(std::move(declaredName)) {}
    bool operator==(const TypeDesc&) const = default;

    // Colours travel as 32-bit integers (VT_I4), declared OLE_COLOR.
    static TypeDesc OleColor() { return {VT_I4, "OLE_COLOR"}; }
    bool IsObject() const { return vt == VT_DISPATCH || vt == VT_UNKNOWN; }
    // "short", "long", "BSTR", "OLE_COLOR"...: the declared name, else the VT_ code's.
    std::string Spelling() const;
};

struct ParamDesc {
    ParamDesc() = default;
    ParamDesc(std::string paramName, TypeDesc paramType, USHORT paramFlags = PARAMFLAG_FIN)
        : name(std::move(paramName)), type(std::move(paramType)), flags(paramFlags) {}

    std::string name;
    TypeDesc type;
    USHORT flags = PARAMFLAG_FIN;
    // Present for an optional parameter that takes this value when omitted.
    std::optional<Variant> defaultValue;
};

// One member as type information lists it: a property has one FuncDesc for its get and, unless
// read-only, one for its put (the put's last parameter is the new value).
struct FuncDesc {
    FuncDesc() = default;
    FuncDesc(MEMBERID id, std::string funcName, INVOKEKIND kind,
             std::vector<ParamDesc> funcParams = {}, TypeDesc funcResult = TypeDesc(VT_VOID),
             WORD funcFlags = 0)
        : memid(id),
          name(std::move(funcName)),
          invkind(kind),
          params(std::move(funcParams)),
          result(std::move(funcResult)),
          flags(funcFlags) {}

    MEMBERID memid = DISPID_UNKNOWN;
    std::string name;
    INVOKEKIND invkind = INVOKE_FUNC;
    std::vector<ParamDesc> params;
    TypeDesc result;
    WORD flags = 0;
    std::string helpString;
    DWORD helpContext = 0;

    size_t OptionalParamCount() const;
};

struct InterfaceDesc {
    IID iid;
    std::string name;
    TYPEKIND kind = TKIND_DISPATCH;
    WORD typeFlags = TYPEFLAG_FDISPATCHABLE;
    std::string helpString;
    DWORD helpContext = 0;
    std::vector<FuncDesc> funcs;
};

struct ImplementedInterface {
    IID iid;
    INT flags = 0;  // IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FSOURCE
};

struct CoclassDesc {
    CLSID clsid;
    std::string name;
    WORD typeFlags = TYPEFLAG_FCANCREATE;
    std::string helpString;
    DWORD helpContext = 0;
    std::vector<ImplementedInterface> interfaces;
};

struct TypeLibDesc {
    Guid libid;
    WORD majorVersion = 1;
    WORD minorVersion = 0;
    LCID lcid = 0;
    WORD libFlags = 0;
    std::string name;
    std::string helpString;
    std::string helpFile;
    DWORD helpContext = 0;
    // Type infos in this order: the interfaces first, then the coclasses.
    std::vector<InterfaceDesc> interfaces;
    std::vector<CoclassDesc> coclasses;
};
