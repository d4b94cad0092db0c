#pragma once
// One of the capture control's collections, read through its dispatch interface: Count and the
// name member of its kind, and an exact look-up by name built on them. (The collections' own
// Find methods answer 0 for a name most of them do not hold, which would pick the first entry.)
#include <string>
#include <vector>

#include "platform/com/DispatchDriver.h"

class LumicorCollection {
public:
    LumicorCollection() = default;
    // `nameMember`: the DISPID of the kind's name-by-index member (FindDeviceName, ...).
    LumicorCollection(ComPtr<IDispatch> collection, DISPID nameMember)
        : driver_(std::move(collection)), nameMember_(nameMember) {}

    explicit operator bool() const { return static_cast<bool>(driver_); }
    // 0 without a collection or when Count cannot be read.
    int Count() const;
    // The name at the 0-based index; "" without such an entry.
    std::string Name(int index) const;
    std::vector<std::string> Names() const;
    // The 0-based index of the first entry named exactly `name`; -1 when there is none.
    int Find(const std::string& name) const;
    // Other members of the collection, by DISPID (heights, signals, mix levels, ...).
    const DispatchDriver& Driver() const { return driver_; }

private:
    DispatchDriver driver_;
    DISPID nameMember_ = 0;
};

// Whole values of dispatch results.
int64_t IntegerOfVariant(const Variant& value, int64_t fallback);
std::string TextOfVariant(const Variant& value);
