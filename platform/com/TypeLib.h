#pragma once
// ITypeInfo and ITypeLib: what a container that knows nothing but the type library reads to bind
// members by name and learn their DISPIDs and kinds, and to find a coclass's interfaces (the
// default one and the default source of events). Descriptions are returned by value: nothing to
// release.
#include <memory>

#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/TypeDescription.h"

struct ITypeLib;
using HREFTYPE = DWORD;

struct TYPEATTR {
    Guid guid;
    LCID lcid = 0;
    TYPEKIND typekind = TKIND_DISPATCH;
    WORD cFuncs = 0;
    WORD cImplTypes = 0;
    WORD wMajorVerNum = 0;
    WORD wMinorVerNum = 0;
    WORD wTypeFlags = 0;
};

struct TLIBATTR {
    Guid guid;
    LCID lcid = 0;
    WORD wMajorVerNum = 0;
    WORD wMinorVerNum = 0;
    WORD wLibFlags = 0;
};

struct ITypeInfo : IUnknown {
    static constexpr IID iid = MakeGuid("{00020401-0000-0000-C000-000000000046}");
    virtual HRESULT GetTypeAttr(TYPEATTR* attr) = 0;
    // TYPE_E_ELEMENTNOTFOUND past the last member.
    virtual HRESULT GetFuncDesc(UINT index, FuncDesc* desc) = 0;
    // The member's name, then its parameters' names (a put's value has none).
    virtual HRESULT GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) = 0;
    // Case-insensitive; names[0] a member, the others its parameters (their ids are their
    // positions).
    virtual HRESULT GetIDsOfNames(const char* const* names, UINT count, MEMBERID* ids) = 0;
    // MEMBERID_NIL describes the type itself. Any out pointer may be null.
    virtual HRESULT GetDocumentation(MEMBERID memid, BSTR* name, BSTR* docString,
                                     DWORD* helpContext, BSTR* helpFile) = 0;
    // Coclasses: the implemented interfaces.
    virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) = 0;
    virtual HRESULT GetImplTypeFlags(UINT index, INT* flags) = 0;
    virtual HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) = 0;
    virtual HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) = 0;

protected:
    ~ITypeInfo() = default;
};

struct ITypeLib : IUnknown {
    static constexpr IID iid = MakeGuid("{00020402-0000-0000-C000-000000000046}");
    virtual UINT GetTypeInfoCount() = 0;
    virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** info) = 0;
    virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) = 0;
    // TYPE_E_ELEMENTNOTFOUND when no interface or coclass has that GUID.
    virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
    virtual HRESULT GetLibAttr(TLIBATTR* attr) = 0;
    // Index -1 describes the library itself.
    virtual HRESULT GetDocumentation(INT index, BSTR* name, BSTR* docString, DWORD* helpContext,
                                     BSTR* helpFile) = 0;
    // Whether a type or a member of one has this name (case-insensitive).
    virtual HRESULT IsName(const char* name, BOOL* found) = 0;
    // Up to *found (in) matches: the type info and MEMBERID_NIL for a type's name, the type info
    // and the member's id for a member's; *found (out) is the number returned.
    virtual HRESULT FindName(const char* name, ITypeInfo** infos, MEMBERID* memids,
                             USHORT* found) = 0;

protected:
    ~ITypeLib() = default;
};

inline constexpr IID IID_ITypeInfo = ITypeInfo::iid;
inline constexpr IID IID_ITypeLib = ITypeLib::iid;

// A type library over a description (its coclasses may only name interfaces it holds, else
// E_INVALIDARG).
HRESULT CreateTypeLib(TypeLibDesc desc, ITypeLib** lib);
// A type info that stands alone (its containing library holds just this interface).
HRESULT CreateTypeInfo(InterfaceDesc desc, ITypeInfo** info);

// Every module with a type library exports this with C linkage; the platform loads the module
// and calls it to read the library (LoadTypeLib, LoadRegTypeLib).
extern "C" {
using DllGetTypeLibFn = HRESULT (*)(ITypeLib** lib);
}
inline constexpr const char* kDllGetTypeLibName = "DllGetTypeLib";
