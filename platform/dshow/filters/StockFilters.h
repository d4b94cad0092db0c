#pragma once
// This layer's classes: the filter graph, the capture graph builder, the system clock, the stock
// filters and the synthetic sources. RegisterFilterGraphClasses makes them reachable through
// CoCreateInstance in this process (call it once at start-up; it is idempotent);
// CreateFilterGraphObject creates them directly (and anything else through the class registry).
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/Unknown.h"
#include "platform/dshow/graph/FilterCatalog.h"

// REGDB_E_CLASSNOTREG for a class that is not one of this layer's.
HRESULT CreateStockObject(REFCLSID clsid, REFIID riid, void** object);

// This layer's classes directly; any other class through CoCreateInstance (in-process).
HRESULT CreateFilterGraphObject(REFCLSID clsid, REFIID riid, void** object);

template <class T>
HRESULT CreateFilterGraphObject(REFCLSID clsid, ComPtr<T>* out) {
    if (!out) return E_POINTER;
    return CreateFilterGraphObject(clsid, T::iid, out->ReleaseAndGetVoidAddress());
}

HRESULT RegisterFilterGraphClasses();

// The stock filters intelligent connect and Render may use (colour converter, video renderer).
std::vector<CatalogEntry> StockCatalogEntries();
