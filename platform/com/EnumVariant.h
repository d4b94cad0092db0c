#pragma once
// IEnumVARIANT, and a reusable enumerator over a list of values that is read afresh at every
// call: an enumerator sees items appended after its creation and walks the current list.
//   Next(celt, out, fetched): fetched (if given) starts at 0; with a null fetched and celt > 1
//     E_INVALIDARG and nothing else happens; every output element is first emptied; then items
//     are delivered until celt are out or the list ends: S_OK when celt were delivered (also for
//     celt 0), else S_FALSE. An entry without an item fails the call with E_UNEXPECTED; the
//     elements it delivered are emptied again and the position is left where it was.
//   Skip(celt): S_OK when celt items were skipped, S_FALSE when the end came first; without a
//     list E_UNEXPECTED. Reset(): back to the first item. Clone(): the same list and position.
#include <functional>
#include <memory>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

struct IEnumVARIANT : IUnknown {
    static constexpr IID iid = MakeGuid("{00020404-0000-0000-C000-000000000046}");
    virtual HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** enumerator) = 0;

protected:
    ~IEnumVARIANT() = default;
};

inline constexpr IID IID_IEnumVARIANT = IEnumVARIANT::iid;

// The list an enumerator walks, shared by the enumerator and its clones.
class EnumVariantSource {
public:
    virtual ~EnumVariantSource() = default;
    virtual ULONG Count() const = 0;
    // The item at `index` (< Count()); E_UNEXPECTED for an entry that holds no item.
    virtual HRESULT Item(ULONG index, Variant* item) const = 0;
};

class EnumVariant final : public ComObject<IEnumVARIANT> {
public:
    explicit EnumVariant(std::shared_ptr<const EnumVariantSource> source, ULONG position = 0);

    // Over a live list reached through two functions (they may hold references to its owner).
    static ComPtr<EnumVariant> Create(std::function<ULONG()> count,
                                      std::function<HRESULT(ULONG, Variant*)> item);
    // Over a fixed copy of these values.
    static ComPtr<EnumVariant> Create(std::vector<Variant> items);

    HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) override;
    HRESULT Skip(ULONG celt) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumVARIANT** enumerator) override;

    ULONG Position() const { return position_; }

private:
    std::shared_ptr<const EnumVariantSource> source_;
    ULONG position_;
};
