#pragma once
// A type library description as an ITypeLib.
#include <memory>

#include "platform/com/ComObject.h"
#include "platform/com/TypeLib.h"

class TypeLibObject final : public ComObject<ITypeLib> {
public:
    explicit TypeLibObject(std::shared_ptr<const TypeLibDesc> desc);

    UINT GetTypeInfoCount() override;
    HRESULT GetTypeInfo(UINT index, ITypeInfo** info) override;
    HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override;
    HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override;
    HRESULT GetLibAttr(TLIBATTR* attr) override;
    HRESULT GetDocumentation(INT index, BSTR* name, BSTR* docString, DWORD* helpContext,
                             BSTR* helpFile) override;
    HRESULT IsName(const char* name, BOOL* found) override;
    HRESULT FindName(const char* name, ITypeInfo** infos, MEMBERID* memids, USHORT* found) override;

private:
    std::shared_ptr<const TypeLibDesc> desc_;
};
