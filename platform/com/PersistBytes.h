#pragma once
// How a container keeps a control's persisted state: as bytes it stores wherever it likes (the
// PropertyBag form, PropertyBag.h), handed to the control to load and asked from it to save.
#include <cstdint>
#include <vector>

#include "platform/com/Unknown.h"

struct IPersistBytes : IUnknown {
    static constexpr IID iid = MakeGuid("{E3794D95-F095-4B22-BC97-551AF8F46DFB}");
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    // S_OK when the control changed since it was loaded or last saved, else S_FALSE.
    virtual HRESULT IsDirty() = 0;
    // A new control: every persisted property takes its default.
    virtual HRESULT InitNew() = 0;
    // STG_E_INVALIDHEADER / STG_E_DOCFILECORRUPT for bytes that are not an intact store; the
    // control keeps its state then.
    virtual HRESULT Load(const uint8_t* data, size_t size) = 0;
    virtual HRESULT Save(std::vector<uint8_t>* data, BOOL clearDirty) = 0;

protected:
    ~IPersistBytes() = default;
};
