#pragma once
// The filters intelligent connect may insert and the renderers Render may pick: this layer's stock
// filters (and any in-process filter another layer adds), then the filters registered in the
// class registry's filter category. Candidates come highest merit first; a filter of merit
// MERIT_DO_NOT_USE or less is never a candidate.
//
// Thread-safe.
#include <string>
#include <vector>

#include "platform/com/FilterRegistration.h"
#include "platform/dshow/FilterInterfaces.h"

struct CatalogEntry {
    CLSID clsid;
    std::string name;  // the name the filter gets in the graph
    DWORD merit = MERIT_NORMAL;
    // Accepted input and produced output types; GUID_NULL fields match anything. A renderer has
    // input types only.
    std::vector<FilterMediaTypeRegistration> inputTypes;
    std::vector<FilterMediaTypeRegistration> outputTypes;
    bool renderer = false;
    // Makes a new instance; null: CoCreateInstance of the class (in-process).
    HRESULT (*create)(IBaseFilter** filter) = nullptr;
};

class FilterCatalog {
public:
    static FilterCatalog& Instance();

    // Adds (or replaces, by CLSID) an in-process entry.
    void Add(const CatalogEntry& entry);
    // Transform filters (at least one input and one output type) accepting one of `offered`.
    std::vector<CatalogEntry> Transforms(const std::vector<AM_MEDIA_TYPE>& offered) const;
    // Renderers of the major type of one of `offered` (Render bridges the subtype).
    std::vector<CatalogEntry> Renderers(const std::vector<AM_MEDIA_TYPE>& offered) const;
    // The entry of a class, when there is one.
    bool Find(const CLSID& clsid, CatalogEntry* entry) const;

    static HRESULT Create(const CatalogEntry& entry, IBaseFilter** filter);

private:
    FilterCatalog();
    std::vector<CatalogEntry> Candidates(const std::vector<AM_MEDIA_TYPE>& offered, bool renderers) const;
};
