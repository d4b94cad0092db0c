#include "platform/dshow/graph/FilterCatalog.h"

#include <algorithm>
#include <mutex>

#include "platform/com/ClassRegistry.h"
#include "platform/dshow/filters/StockFilters.h"

namespace {
std::mutex& CatalogLock() {
    static std::mutex lock;
    return lock;
}

std::vector<CatalogEntry>& InProcessEntries() {
    static std::vector<CatalogEntry> entries;
    return entries;
}

// `majorOnly`: a renderer is a candidate for its major type; converters may bridge the subtype.
bool Accepts(const std::vector<FilterMediaTypeRegistration>& accepted, const std::vector<AM_MEDIA_TYPE>& offered,
             bool majorOnly) {
    for (const auto& type : offered) {
        for (const auto& a : accepted) {
            bool major = a.majorType.IsNull() || a.majorType == type.majortype;
            bool sub = majorOnly || a.subType.IsNull() || a.subType == type.subtype;
            if (major && sub) return true;
        }
    }
    return false;
}

CatalogEntry FromRegistration(const FilterRegistration& reg) {
    CatalogEntry entry;
    entry.clsid = reg.clsid;
    entry.name = reg.friendlyName;
    entry.merit = reg.merit;
    for (const auto& pin : reg.pins) {
        bool output = (pin.flags & REG_PINFLAG_B_OUTPUT) != 0;
        auto& list = output ? entry.outputTypes : entry.inputTypes;
        list.insert(list.end(), pin.mediaTypes.begin(), pin.mediaTypes.end());
        if (!output && (pin.flags & REG_PINFLAG_B_RENDERER)) entry.renderer = true;
    }
    return entry;
}
}  // namespace

FilterCatalog& FilterCatalog::Instance() {
    static FilterCatalog catalog;
    return catalog;
}

FilterCatalog::FilterCatalog() {
    for (const CatalogEntry& entry : StockCatalogEntries()) Add(entry);
}

void FilterCatalog::Add(const CatalogEntry& entry) {
    std::lock_guard lock(CatalogLock());
    auto& entries = InProcessEntries();
    auto it = std::find_if(entries.begin(), entries.end(), [&](const CatalogEntry& e) { return e.clsid == entry.clsid; });
    if (it != entries.end()) {
        *it = entry;
    } else {
        entries.push_back(entry);
    }
}

bool FilterCatalog::Find(const CLSID& clsid, CatalogEntry* entry) const {
    std::lock_guard lock(CatalogLock());
    for (const auto& e : InProcessEntries()) {
        if (e.clsid == clsid) {
            if (entry) *entry = e;
            return true;
        }
    }
    return false;
}

std::vector<CatalogEntry> FilterCatalog::Candidates(const std::vector<AM_MEDIA_TYPE>& offered, bool renderers) const {
    std::vector<CatalogEntry> all;
    {
        std::lock_guard lock(CatalogLock());
        all = InProcessEntries();
    }
    for (const FilterRegistration& reg : EnumRegisteredFilters(CLSID_LegacyAmFilterCategory, MERIT_DO_NOT_USE + 1)) {
        bool known = std::any_of(all.begin(), all.end(), [&](const CatalogEntry& e) { return e.clsid == reg.clsid; });
        if (!known) all.push_back(FromRegistration(reg));
    }
    std::vector<CatalogEntry> result;
    for (auto& entry : all) {
        if (entry.merit <= MERIT_DO_NOT_USE) continue;
        bool isRenderer = entry.renderer || entry.outputTypes.empty();
        if (renderers != isRenderer) continue;
        if (!renderers && entry.outputTypes.empty()) continue;
        if (!Accepts(entry.inputTypes, offered, renderers)) continue;
        result.push_back(std::move(entry));
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const CatalogEntry& a, const CatalogEntry& b) { return a.merit > b.merit; });
    return result;
}

std::vector<CatalogEntry> FilterCatalog::Transforms(const std::vector<AM_MEDIA_TYPE>& offered) const {
    return Candidates(offered, false);
}

std::vector<CatalogEntry> FilterCatalog::Renderers(const std::vector<AM_MEDIA_TYPE>& offered) const {
    return Candidates(offered, true);
}

HRESULT FilterCatalog::Create(const CatalogEntry& entry, IBaseFilter** filter) {
    if (!filter) return E_POINTER;
    *filter = nullptr;
    if (entry.create) return entry.create(filter);
    return CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(filter));
}
