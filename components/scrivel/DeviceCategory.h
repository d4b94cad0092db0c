#pragma once
// The entries of one category of the system device enumerator (audio devices, compressors): their
// friendly names in enumeration order, and the filter of the entry with a given name.
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/Guid.h"

struct IBaseFilter;

std::vector<std::string> CategoryNames(const CLSID& category);
// Null when no entry has that name or its filter cannot be made.
ComPtr<IBaseFilter> BindCategoryEntry(const CLSID& category, const std::string& name);
