#pragma once
// The program's sectioned settings file ("config.ini"): every entry held in memory under its
// composite key (section, one blank, key), every write made to the file at once and to the
// memory copy. Keys compare byte-wise and case-sensitively.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

using COLORREF = uint32_t;

// Red in the low byte, then green, then blue.
constexpr COLORREF RGB(int red, int green, int blue) {
    return static_cast<COLORREF>(red & 0xFF) | (static_cast<COLORREF>(green & 0xFF) << 8) |
           (static_cast<COLORREF>(blue & 0xFF) << 16);
}

class IniStore {
public:
    // The process-wide store.
    static IniStore& Instance();

    // True when loaded. Loading the path already loaded does nothing. A missing file is created
    // empty when createIfMissing is set.
    bool Load(const std::string& path, bool createIfMissing);
    // Parses the text of a settings file into the memory copy (no file involved).
    void Parse(std::string_view text);
    const std::string& Path() const { return path_; }

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const;
    int GetInt(std::string_view section, std::string_view key, int fallback) const;
    bool GetBool(std::string_view section, std::string_view key, bool fallback) const;
    char GetChar(std::string_view section, std::string_view key, char fallback) const;
    COLORREF GetColor(std::string_view section, std::string_view key, COLORREF fallback) const;
    // An index into a list of `count` entries: a stored value outside 0..count-1 gives the
    // fallback, as an absent one does.
    int GetIndex(std::string_view section, std::string_view key, int fallback, int count) const;

    // Each writes the encoded value into the file and the memory copy. False when the file
    // could not be written (the memory copy holds the value either way).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInt(std::string_view section, std::string_view key, int value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);
    bool WriteChar(std::string_view section, std::string_view key, char value);
    bool WriteColor(std::string_view section, std::string_view key, COLORREF value);

    static std::string CompositeKey(std::string_view section, std::string_view key);
    const std::map<std::string, std::string>& Entries() const { return entries_; }
    // Forgets the file and every entry.
    void Clear();

private:
    const std::string* Find(std::string_view section, std::string_view key) const;

    std::string path_;
    std::map<std::string, std::string> entries_;
};
