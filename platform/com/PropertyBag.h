#pragma once
// An ordered set of named, typed values and its byte form, which containers keep for a control
// (PropExchange reads and writes it). Keys compare case-insensitively and keep their order of
// first writing. Value types: VT_I2, VT_I4, VT_UI4 (colours, versions), VT_BOOL, VT_R4, VT_R8,
// VT_BSTR.
//
// Bytes, little-endian: "OPRB", format 1 (16 bits), entry count (32 bits); per entry its VT_ code
// (16 bits), key length (16 bits) and key, then the value: 2, 4, 4, 1 (0 or 1), 4, 8 bytes, or
// for text a 32-bit length and the bytes; last a CRC-32 of everything before it. The same bag
// always gives the same bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/com/Variant.h"

// Not a property bag at all (wrong start, unknown format, too short for one).
inline constexpr HRESULT STG_E_INVALIDHEADER = MakeHResult(0x800300FB);
// A property bag that is damaged or cut short.
inline constexpr HRESULT STG_E_DOCFILECORRUPT = MakeHResult(0x80030109);

// The checksum that ends persisted property bytes (CRC-32, the zlib polynomial).
uint32_t PropertyBagChecksum(const uint8_t* data, size_t size);

class PropertyBag {
public:
    // Replaces the value of an existing key in place. E_INVALIDARG for an empty key, a key longer
    // than 65535 bytes or a value type outside the list above.
    HRESULT Write(std::string_view key, Variant value);
    // Null when the key is missing.
    const Variant* Read(std::string_view key) const;

    const std::vector<std::pair<std::string, Variant>>& Entries() const { return entries_; }
    size_t Size() const { return entries_.size(); }
    bool IsEmpty() const { return entries_.empty(); }

    std::vector<uint8_t> Serialize() const;
    // STG_E_INVALIDHEADER or STG_E_DOCFILECORRUPT for bytes that are not a whole, intact bag
    // (`bag` is then unchanged).
    static HRESULT Parse(const uint8_t* data, size_t size, PropertyBag* bag);

private:
    std::vector<std::pair<std::string, Variant>> entries_;
    std::unordered_map<std::string, size_t> index_;  // folded key -> entry
};
