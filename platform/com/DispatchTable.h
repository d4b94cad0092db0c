#pragma once
// The members of one dispatch interface, each listed once, and the IDispatch behaviour built on
// them: GetIDsOfNames by name (case-insensitive), Invoke by DISPID with the Windows results, and
// the interface's type information. DispatchMap<T> (DispatchMap.h) fills a table from member
// functions and lambdas; this part does not depend on the object's type.
//
// Invoke:
// - DISPATCH_METHOD calls a method, DISPATCH_PROPERTYGET reads a property (both flags together,
//   as many callers pass them, do whichever the member is); DISPATCH_PROPERTYPUT writes a
//   property, DISPATCH_PROPERTYPUTREF one of object type; anything else on a member is
//   DISP_E_MEMBERNOTFOUND, as is an unknown DISPID. DISPID_VALUE reaches the default member.
// - A put on a read-only property is CTL_E_SETNOTSUPPORTED (EXCEPINFO, when given, carries it
//   too); a put without the named DISPID_PROPERTYPUT value is DISP_E_PARAMNOTOPTIONAL.
// - More positional arguments than parameters, or fewer than the required ones, is
//   DISP_E_BADPARAMCOUNT; a required parameter left out among named arguments, or passed as the
//   missing marker, is DISP_E_PARAMNOTOPTIONAL; a named argument naming no parameter is
//   DISP_E_PARAMNOTFOUND.
// - Each argument is converted to its parameter's declared type with VariantChangeType (a
// VT_VARIANT
//   parameter takes the argument as it is, references included; an OLE_COLOR or OLE_HANDLE takes
//   any 32-bit integer bit for bit); a failure returns that result (DISP_E_TYPEMISMATCH,
//   DISP_E_OVERFLOW) with argErr set to the argument's rgvarg index.
// - The handler's result is converted to the declared type; handlers fail by throwing
//   DispatchError or DispatchException (DispatchException.h).
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/com/TypeDescription.h"
#include "platform/com/Variant.h"

enum MemberFlags : uint32_t {
    kMemberReadOnly = 0x1,
    kMemberRestricted = 0x2,
    // Answers DISPID_VALUE as well as its own DISPID (an object's value in conversions).
    kMemberDefault = 0x4,
    kMemberHidden = 0x8,
};

enum class MemberKind : uint8_t { Method, Property };

// Runs a member on `self`. `args` holds the parameters in declaration order, converted to their
// declared types (a put's new value last); `result` may receive a value of any type, which is
// then converted to the declared type.
using DispatchHandler =
    std::function<void(void* self, std::vector<Variant>& args, Variant* result)>;

struct DispatchMember {
    DISPID dispid = DISPID_UNKNOWN;
    std::string name;
    MemberKind kind = MemberKind::Method;
    // A method's result (VT_VOID: none) or a property's type.
    TypeDesc type;
    // A method's parameters, or a property's index parameters.
    std::vector<ParamDesc> params;
    uint32_t flags = 0;
    std::string helpString;
    // The method, or the property's get.
    DispatchHandler invoke;
    // The property's put; empty for a read-only property.
    DispatchHandler put;

    bool IsReadOnly() const {
        return kind == MemberKind::Property && (!put || (flags & kMemberReadOnly));
    }
};

class DispatchTable {
public:
    DispatchTable(IID iid, std::string name, std::string helpString = {});

    // Throws std::logic_error for a second member with the same DISPID or name, a second default
    // member, a method without handler or an optional parameter before a required one.
    void Add(DispatchMember member);

    const IID& Iid() const { return iid_; }
    const std::string& Name() const { return name_; }
    const std::vector<DispatchMember>& Members() const { return members_; }
    const DispatchMember* Find(DISPID dispid) const;
    const DispatchMember* FindByName(std::string_view name) const;

    HRESULT GetIDsOfNames(REFIID riid, const char* const* names, UINT count, DISPID* ids) const;
    HRESULT Invoke(void* self, DISPID dispid, REFIID riid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) const;

    // The interface as type information lists it: a FuncDesc per method, per property get and per
    // writable property's put (PUTREF for object-typed properties).
    InterfaceDesc Describe() const;
    // A type info of Describe() that stands alone.
    HRESULT GetTypeInfo(ITypeInfo** info) const;

private:
    IID iid_;
    std::string name_;
    std::string helpString_;
    std::vector<DispatchMember> members_;
    std::unordered_map<DISPID, size_t> byId_;
    std::unordered_map<std::string, size_t> byName_;  // lower-case names
    ptrdiff_t defaultMember_ = -1;
};

// Converts a value to a declared type; same-width integers of either sign are taken bit for bit
// (a colour 0x80000005 travels as a negative VT_I4), VT_VOID clears, VT_VARIANT keeps.
HRESULT ConvertToDeclaredType(Variant* value, const TypeDesc& type);
