#pragma once
// How an object names its property pages (devices, controls): the property frame creates one
// tab from each class identifier.
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

// A counted array of GUIDs; the callee allocates `elements` with std::malloc and the caller frees
// it with std::free (the task allocator of this platform).
struct CAUUID {
    ULONG count = 0;
    Guid* elements = nullptr;
};

struct ISpecifyPropertyPages : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B28B-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};
