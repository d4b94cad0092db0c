#pragma once
// One interface or coclass of a type library description, as an ITypeInfo. The description is
// shared and never changes, so type infos and their library can be handed out freely.
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/com/TypeLib.h"

class TypeInfoObject final : public ComObject<ITypeInfo> {
public:
    // `index` counts the library's interfaces first, then its coclasses.
    TypeInfoObject(std::shared_ptr<const TypeLibDesc> lib, UINT index);

    HRESULT GetTypeAttr(TYPEATTR* attr) override;
    HRESULT GetFuncDesc(UINT index, FuncDesc* desc) override;
    HRESULT GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) override;
    HRESULT GetIDsOfNames(const char* const* names, UINT count, MEMBERID* ids) override;
    HRESULT GetDocumentation(MEMBERID memid, BSTR* name, BSTR* docString, DWORD* helpContext,
                             BSTR* helpFile) override;
    HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override;
    HRESULT GetImplTypeFlags(UINT index, INT* flags) override;
    HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override;
    HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override;

private:
    const InterfaceDesc* Interface() const;
    const CoclassDesc* Coclass() const;
    // The get (or method) of a member before its put, as GetNames describes members.
    const FuncDesc* FindMember(MEMBERID memid) const;

    std::shared_ptr<const TypeLibDesc> lib_;
    UINT index_;
};
