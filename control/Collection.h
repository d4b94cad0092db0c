#pragma once
// The part the nine collections share: the entries the session fills, the item objects that
// follow them, Count, Item(Key), _NewEnum, find by name and by index.
//
// The session appends to Entries(); the control then calls Sync(), which makes an item for every
// entry that has none and replaces the item of an entry that changed since its item was made
// (an item a container holds keeps its own values, so a write through the item never counts as
// a change). Entries past the end lose their items.
//
// Every automation member of a collection is a method or a read-only property, and a put on any
// of them fails with CTL_E_SETNOTSUPPORTED, methods (Item, the Find members) included.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "control/CollectionEnum.h"
#include "engine/CaptureSession.h"
#include "platform/com/DispatchMap.h"
#include "platform/com/DispatchObject.h"
#include "platform/com/VariantConvert.h"

// Whether an entry still says what it said when its item was made.
inline bool SameEntry(const std::string& a, const std::string& b) {
    return a == b;
}
inline bool SameEntry(const VideoFormatEntry& a, const VideoFormatEntry& b) {
    return a.name == b.name && a.height == b.height && a.width == b.width &&
           a.bitCount == b.bitCount && a.subtype == b.subtype;
}
inline bool SameEntry(const CCaptureSession::TvChannelEntry& a,
                      const CCaptureSession::TvChannelEntry& b) {
    return a.channel == b.channel && a.signal == b.signal;
}
inline bool SameEntry(const WmvProfileEntry& a, const WmvProfileEntry& b) {
    return a.name == b.name && a.description == b.description && a.id == b.id;
}

template <class Derived, class Interface, class ItemClass, class EntryType>
class CCollection : public DispatchObject<Derived, Interface>, private CollectionItemSource {
    using Dispatcher = DispatchObject<Derived, Interface>;

public:
    using Entry = EntryType;
    using EntryList = std::vector<EntryType>;

    EntryList& Entries() { return entries; }
    const EntryList& Entries() const { return entries; }

    void Sync() {
        const size_t n = entries.size();
        if (items.size() > n) {
            items.resize(n);
            madeFrom.resize(n);
        }
        for (size_t i = 0; i < n; ++i) {
            if (i == items.size()) {
                items.push_back(MakeCom<ItemClass>(entries[i]));
                madeFrom.push_back(entries[i]);
            } else if (!SameEntry(madeFrom[i], entries[i])) {
                items[i] = MakeCom<ItemClass>(entries[i]);
                madeFrom[i] = entries[i];
            }
        }
    }

    void Empty() {
        entries.clear();
        items.clear();
        madeFrom.clear();
    }

    // The number of items, as a 16-bit integer (a list longer than that reports the largest).
    int16_t Count() const {
        return static_cast<int16_t>(std::min<size_t>(items.size(), INT16_MAX));
    }

    // A string key (VT_BSTR itself) names an item; anything else converts to a 1-based position.
    // Null when there is no such item.
    ComPtr<IDispatch> Item(const Variant& key) const {
        if (key.Type() == VT_BSTR) {
            for (const ComPtr<ItemClass>& item : items) {
                if (item->Key() == key.Bstr()) return DispatchOf(item);
            }
            return nullptr;
        }
        Variant number;
        if (FAILED(VariantChangeType(&number, &key, 0, VT_I4))) return nullptr;
        const int32_t position = number.I4();
        if (position < 1 || static_cast<size_t>(position) > items.size()) return nullptr;
        return DispatchOf(items[static_cast<size_t>(position) - 1]);
    }

    ComPtr<IUnknown> NewEnum() { return XEnumVARIANT::Create(this->GetUnknown(), this); }

    HRESULT Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
        if (riid == IID_NULL && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
            const DispatchMember* m = Derived::GetDispatchTable().Find(member);
            if (m && m->kind == MemberKind::Method) {
                if (excepInfo) {
                    *excepInfo = EXCEPINFO{};
                    excepInfo->scode = CTL_E_SETNOTSUPPORTED;
                    excepInfo->bstrSource = Derived::GetDispatchTable().Name();
                    excepInfo->bstrDescription = "The member " + m->name + " cannot be set.";
                }
                return CTL_E_SETNOTSUPPORTED;
            }
        }
        return Dispatcher::Invoke(member, riid, lcid, flags, params, result, excepInfo, argErr);
    }

protected:
    // The 0-based position of the first item whose key equals `name` byte for byte; `miss` when
    // none does.
    int16_t FindByName(const std::string& name, int16_t miss) const {
        for (size_t i = 0; i < items.size() && i <= INT16_MAX; ++i) {
            if (items[i]->Key() == name) return static_cast<int16_t>(i);
        }
        return miss;
    }

    // The item at 0-based `index`, or null.
    const ItemClass* At(int16_t index) const {
        if (index < 0 || static_cast<size_t>(index) >= items.size()) return nullptr;
        return items[static_cast<size_t>(index)].Get();
    }
    ItemClass* At(int16_t index) {
        return const_cast<ItemClass*>(static_cast<const CCollection*>(this)->At(index));
    }

    // Count at 1, Item at `itemId`, _NewEnum at DISPID_NEWENUM: the members every collection has.
    static void AddCommonMembers(DispatchMap<Derived>& map, DISPID itemId) {
        map.Property(1, "Count", &CCollection::Count);
        map.Method(itemId, "Item", &CCollection::Item).Params({"Key"});
        map.Property(DISPID_NEWENUM, "_NewEnum", &CCollection::NewEnum).Restricted();
    }

    static ComPtr<IDispatch> DispatchOf(const ComPtr<ItemClass>& item) {
        return ComPtr<IDispatch>(static_cast<IDispatch*>(item.Get()));
    }

    std::vector<ComPtr<ItemClass>> items;

private:
    ULONG ItemCount() const override { return static_cast<ULONG>(items.size()); }
    HRESULT ItemAt(ULONG index, Variant* item) const override {
        if (index >= items.size() || !items[index]) return E_UNEXPECTED;
        *item = Variant::MakeDispatch(DispatchOf(items[index]).Get());
        return S_OK;
    }

    EntryList entries;
    // The entry each item was made from, position for position.
    EntryList madeFrom;
};
