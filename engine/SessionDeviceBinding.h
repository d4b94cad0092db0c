#pragma once
// Devices and compressors by friendly name, through the system device enumerator.
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/devices/DeviceEnumInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"

// The friendly names of a category in enumeration order; *present is false when the category
// yields no enumerator (empty or unknown).
std::vector<std::string> ListDeviceNames(ICreateDevEnum* devices, const CLSID& category, bool* present = nullptr);
// Binds the device whose friendly name equals `name` byte for byte. Enumeration does not stop at
// a match, so of several devices with that name the last one wins. Null when none matches or
// the binding fails.
ComPtr<IBaseFilter> BindDeviceByName(ICreateDevEnum* devices, const CLSID& category, const std::string& name);
// The first device of a category and its name; null when the category is empty or the binding fails.
ComPtr<IBaseFilter> BindFirstDevice(ICreateDevEnum* devices, const CLSID& category, std::string* name);
// A compressor: matches only a non-empty name, and then stores it in `storedName`; otherwise
// `storedName` keeps what it held and nothing is bound.
ComPtr<IBaseFilter> BindCompressorByName(ICreateDevEnum* devices, const CLSID& category, const std::string& name,
                                         std::string& storedName);
// Makes the engine's classes creatable and its categories enumerable; once per process.
void EnsureEnginePlatform();
