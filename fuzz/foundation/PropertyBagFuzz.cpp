// A control's persisted bytes as a container hands them back: possibly damaged, cut short or made
// by someone else. The first byte chooses whether the trailing checksum is made right, so that the
// fuzzer reaches the entries as well as the checksum test. A bag that parses must serialize to
// the same bytes, and loading it into every value type (each key asked as each type) must hold.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/PropExchange.h"
#include "platform/com/PropertyBag.h"

namespace {

void ExchangeEveryType(PropExchange& px, const std::vector<std::string>& keys) {
    px.ExchangeVersion(PropExchange::MakeVersion(1, 0));
    for (const std::string& key : keys) {
        int16_t s = 0;
        int32_t l = 0;
        BOOL b = FALSE;
        std::string text;
        OLE_COLOR color = 0;
        float f = 0;
        double d = 0;
        px.Short(key, s, 7);
        px.Long(key, l, 7);
        px.Bool(key, b, TRUE);
        px.String(key, text, "default");
        px.Color(key, color, 0x00FF00);
        px.Float(key, f, 1.5f);
        px.Double(key, d, 2.5);
        if (px.IsLoading() && b != TRUE && b != FALSE) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> bytes(data + 1, data + size);
    if (data[0] & 1 && bytes.size() >= 4) {
        uint32_t crc = PropertyBagChecksum(bytes.data(), bytes.size() - 4);
        for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    PropertyBag bag;
    HRESULT hr = PropertyBag::Parse(bytes.data(), bytes.size(), &bag);
    if (hr != S_OK) {
        if (hr != STG_E_INVALIDHEADER && hr != STG_E_DOCFILECORRUPT) __builtin_trap();
        if (!bag.IsEmpty()) __builtin_trap();
        return 0;
    }
    if (bag.Serialize() != bytes) __builtin_trap();

    std::vector<std::string> keys;
    for (const auto& entry : bag.Entries()) keys.push_back(entry.first);
    keys.push_back("missing key");
    if (PropExchange::Load(bytes.data(), bytes.size(),
                           [&](PropExchange& px) { ExchangeEveryType(px, keys); }) != S_OK) {
        __builtin_trap();
    }
    return 0;
}
