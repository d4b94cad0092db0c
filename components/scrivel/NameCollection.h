#pragma once
// One of the control's read-only lists (compressors, profiles, audio devices and pins) as a
// dispatch object: its Count, the name at a 0-based index, the index of a name and, for a list of
// video compressors, the configuration dialog of an entry.
#include <functional>
#include <string>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/com/DispatchObject.h"

class NameCollection final : public DispatchObject<NameCollection, IDispatch> {
public:
    // Shows the entry's dialog; FALSE when it has none or it cannot be opened.
    using PageOpener = std::function<BOOL(const std::string& name)>;

    static const DispatchTable& GetDispatchTable();

    void Assign(std::vector<std::string> names) { names_ = std::move(names); }
    void SetPageOpener(PageOpener opener) { opener_ = std::move(opener); }
    const std::vector<std::string>& Names() const { return names_; }

    int32_t Count() const { return static_cast<int32_t>(names_.size()); }
    // Empty past the end.
    std::string Name(int16_t index) const;
    // -1 when no entry is named exactly so.
    int16_t Find(const std::string& name) const;
    BOOL ShowPropertyPage(int16_t index) const;

private:
    std::vector<std::string> names_;
    PageOpener opener_;
};
