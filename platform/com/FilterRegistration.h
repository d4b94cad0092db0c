#pragma once
// Filters registered in a filter category, so that a filter graph can list them by merit.
// Each filter is one key of the registry store (HKEY_CLASSES_ROOT):
//   CLSID\{category}\Instance\{filter clsid}
//     "FriendlyName"  text
//     "CLSID"         text "{...}"
//     "FilterData"    binary, the layout below
//
// FilterData, all numbers unsigned little-endian:
//   u32 version (1) | u32 merit | u32 pin count | pins
//   pin:  u32 flags (REG_PINFLAG_*) | u32 name length | name bytes (UTF-8)
//         | u32 connects-to length | connects-to bytes | 16 bytes pin category (null: none)
//         | u32 media type count | per type: 16 bytes major type, 16 bytes subtype
//   A GUID's 16 bytes: data1 as u32, data2 and data3 as u16, then data4's 8 bytes.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"

// The category of ordinary filters.
inline constexpr CLSID CLSID_LegacyAmFilterCategory =
    MakeGuid("{083863F1-70DE-11D0-BD40-00A0C911CE86}");

inline constexpr DWORD MERIT_PREFERRED = 0x00800000;
inline constexpr DWORD MERIT_NORMAL = 0x00600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x00400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x00200000;
inline constexpr DWORD MERIT_SW_COMPRESSOR = 0x00100000;
inline constexpr DWORD MERIT_HW_COMPRESSOR = 0x00100050;

inline constexpr DWORD REG_PINFLAG_B_ZERO = 0x1;      // the filter may have none of this pin
inline constexpr DWORD REG_PINFLAG_B_RENDERER = 0x2;  // the pin renders its input
inline constexpr DWORD REG_PINFLAG_B_MANY = 0x4;      // the filter may have many of this pin
inline constexpr DWORD REG_PINFLAG_B_OUTPUT = 0x8;    // an output pin

struct FilterMediaTypeRegistration {
    Guid majorType;  // GUID_NULL: any
    Guid subType;    // GUID_NULL: any
    bool operator==(const FilterMediaTypeRegistration&) const = default;
};

struct FilterPinRegistration {
    std::string name;
    DWORD flags = 0;
    std::string connectsToPin;
    Guid category;
    std::vector<FilterMediaTypeRegistration> mediaTypes;
    bool operator==(const FilterPinRegistration&) const = default;
};

struct FilterRegistration {
    CLSID clsid;
    std::string friendlyName;
    DWORD merit = MERIT_NORMAL;
    std::vector<FilterPinRegistration> pins;
    bool operator==(const FilterRegistration&) const = default;
};

inline constexpr uint32_t kFilterDataVersion = 1;

std::vector<uint8_t> EncodeFilterData(DWORD merit, const std::vector<FilterPinRegistration>& pins);
// False for bytes that do not follow the layout (of any length, from any source).
bool DecodeFilterData(std::span<const uint8_t> data, DWORD& merit,
                      std::vector<FilterPinRegistration>& pins);

// S_OK or SELFREG_E_CLASS.
HRESULT RegisterFilter(const FilterRegistration& filter,
                       const CLSID& category = CLSID_LegacyAmFilterCategory);
// S_OK also when it was not registered; SELFREG_E_CLASS when the store refuses.
HRESULT UnregisterFilter(const CLSID& filter, const CLSID& category = CLSID_LegacyAmFilterCategory);

// The filters of a category with at least `minimumMerit`, highest merit first (then by friendly
// name). Entries whose CLSID or FilterData cannot be read are left out.
std::vector<FilterRegistration> EnumRegisteredFilters(
    const CLSID& category = CLSID_LegacyAmFilterCategory, DWORD minimumMerit = 0);
