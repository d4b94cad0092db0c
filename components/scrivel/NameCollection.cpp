#include "components/scrivel/NameCollection.h"

#include "components/scrivel/ScrivelIds.h"
#include "platform/com/DispatchMap.h"

const DispatchTable& NameCollection::GetDispatchTable() {
    static const DispatchTable table = [] {
        DispatchMap<NameCollection> map(DIID__DScrivelNames, "_DScrivelNames");
        map.Property(1, "Count", &NameCollection::Count);
        map.Method(2, "Name", &NameCollection::Name).Params({"index"});
        map.Method(3, "Find", &NameCollection::Find).Params({"name"});
        map.Method(4, "ShowPropertyPage", &NameCollection::ShowPropertyPage).Params({"index"}).Type(VT_BOOL);
        return map.Build();
    }();
    return table;
}

std::string NameCollection::Name(int16_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= names_.size()) return {};
    return names_[static_cast<size_t>(index)];
}

int16_t NameCollection::Find(const std::string& name) const {
    for (size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == name) return static_cast<int16_t>(i);
    return -1;
}

BOOL NameCollection::ShowPropertyPage(int16_t index) const {
    if (!opener_ || index < 0 || static_cast<size_t>(index) >= names_.size()) return FALSE;
    return opener_(names_[static_cast<size_t>(index)]);
}
