#pragma once
// GUID, IID and CLSID: parse and print the "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" form, compare,
// hash, and build media subtypes from a FourCC.
#include <array>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    constexpr bool operator==(const Guid&) const = default;
    constexpr auto operator<=>(const Guid&) const = default;

    // Accepts the form with or without braces; case-insensitive.
    static constexpr std::optional<Guid> Parse(std::string_view text);
    // "{...}" in upper case, as the registry stores class keys.
    std::string ToString() const {
        char text[39];
        std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                      data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6],
                      data4[7]);
        return text;
    }
    constexpr bool IsNull() const { return *this == Guid{}; }

    // The standard media subtype for a FourCC: XXXXXXXX-0000-0010-8000-00AA00389B71.
    static constexpr Guid FromFourCC(uint32_t fourCC) {
        return Guid{fourCC, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    }
    static constexpr uint32_t FourCC(char a, char b, char c, char d) {
        return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
               static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
    }
};

using IID = Guid;
using CLSID = Guid;
using REFIID = const Guid&;
using REFCLSID = const Guid&;
using REFGUID = const Guid&;
inline constexpr Guid GUID_NULL{};

namespace guid_detail {
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr bool ReadHex(std::string_view text, size_t& pos, size_t digits, uint64_t& out) {
    out = 0;
    for (size_t i = 0; i < digits; ++i, ++pos) {
        if (pos >= text.size()) return false;
        int v = HexValue(text[pos]);
        if (v < 0) return false;
        out = out << 4 | static_cast<uint64_t>(v);
    }
    return true;
}
constexpr bool Expect(std::string_view text, size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}
}  // namespace guid_detail

constexpr std::optional<Guid> Guid::Parse(std::string_view text) {
    using namespace guid_detail;
    bool braces = !text.empty() && text.front() == '{';
    if (braces) {
        if (text.size() != 38 || text.back() != '}') return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36) return std::nullopt;
    Guid g;
    size_t pos = 0;
    uint64_t v = 0;
    if (!ReadHex(text, pos, 8, v)) return std::nullopt;
    g.data1 = static_cast<uint32_t>(v);
    if (!Expect(text, pos, '-') || !ReadHex(text, pos, 4, v)) return std::nullopt;
    g.data2 = static_cast<uint16_t>(v);
    if (!Expect(text, pos, '-') || !ReadHex(text, pos, 4, v)) return std::nullopt;
    g.data3 = static_cast<uint16_t>(v);
    if (!Expect(text, pos, '-')) return std::nullopt;
    for (size_t i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(text, pos, '-')) return std::nullopt;
        if (!ReadHex(text, pos, 2, v)) return std::nullopt;
        g.data4[i] = static_cast<uint8_t>(v);
    }
    return g;
}

// Compile-time GUID from its text: `constexpr IID iid = MakeGuid("{...}");` fails to compile on a typo.
consteval Guid MakeGuid(std::string_view text) {
    auto g = Guid::Parse(text);
    if (!g) throw std::invalid_argument("malformed GUID literal");
    return *g;
}

template <>
struct std::hash<Guid> {
    size_t operator()(const Guid& g) const noexcept {
        uint64_t a = static_cast<uint64_t>(g.data1) << 32 | static_cast<uint64_t>(g.data2) << 16 | g.data3;
        uint64_t b = 0;
        for (uint8_t byte : g.data4) b = b << 8 | byte;
        return std::hash<uint64_t>{}(a * 0x9E3779B97F4A7C15ull ^ b);
    }
};
