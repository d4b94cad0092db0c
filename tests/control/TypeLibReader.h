#pragma once
// Reads a type library the way a container does, through ITypeLib and ITypeInfo only: the types
// by name and each dispatch interface's members with their parameter names.
#include <map>
#include <string>
#include <vector>

#include "platform/com/TypeLib.h"

namespace typelib_reader {

struct Member {
    FuncDesc get;     // the get or the method
    FuncDesc put;     // a property's put; memid DISPID_UNKNOWN when read-only
    bool hasPut = false;
    bool hasGet = false;
    std::vector<std::string> names;  // GetNames: the member, then its parameters
};

struct Type {
    ComPtr<ITypeInfo> info;
    TYPEATTR attr;
    std::string helpString;
    std::map<std::string, Member> members;  // by name
};

struct Library {
    std::map<std::string, Type> types;  // by name
    bool Has(const std::string& name) const { return types.count(name) != 0; }
};

inline Library Read(ITypeLib* lib) {
    Library out;
    for (UINT i = 0; lib && i < lib->GetTypeInfoCount(); ++i) {
        Type type;
        if (FAILED(lib->GetTypeInfo(i, type.info.ReleaseAndGetAddressOf()))) continue;
        type.info->GetTypeAttr(&type.attr);
        std::string name;
        type.info->GetDocumentation(MEMBERID_NIL, &name, &type.helpString, nullptr, nullptr);
        for (UINT f = 0; f < type.attr.cFuncs; ++f) {
            FuncDesc desc;
            if (FAILED(type.info->GetFuncDesc(f, &desc))) break;
            Member& member = type.members[desc.name];
            if (desc.invkind == INVOKE_PROPERTYPUT || desc.invkind == INVOKE_PROPERTYPUTREF) {
                member.put = desc;
                member.hasPut = true;
            } else {
                member.get = desc;
                member.hasGet = true;
            }
            if (member.names.empty()) {
                BSTR names[16];
                UINT count = 0;
                if (SUCCEEDED(type.info->GetNames(desc.memid, names, 16, &count))) {
                    member.names.assign(names, names + count);
                }
            }
        }
        out.types[name] = std::move(type);
    }
    return out;
}

}  // namespace typelib_reader
