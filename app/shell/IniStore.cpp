#include "app/shell/IniStore.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "app/shell/TextFile.h"

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view TrimLeft(std::string_view text) {
    size_t start = text.find_first_not_of(kBlanks);
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string_view TrimRight(std::string_view text) {
    size_t end = text.find_last_not_of(kBlanks);
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

// A value or name must stay on its line: a CR or LF inside it would start a new entry.
std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

// The leading decimal number of the text, as atoi reads it, limited to the int range.
int LeadingInt(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// The section name of a "[name]" line, or false.
bool SectionOf(std::string_view line, std::string_view* name) {
    if (line.find('=') != std::string_view::npos || line.size() < 2 || line.front() != '[' ||
        line.back() != ']') {
        return false;
    }
    *name = line.substr(1, line.size() - 2);
    return true;
}

// Sets key=value under [section] in the file's lines, as a private-profile write does: the
// existing line is replaced, else the entry is added at the end of its section, else the section
// is appended. Lines before any section header belong to the empty section name.
void SetInLines(std::vector<std::string>& lines, const std::string& section,
                const std::string& key, const std::string& entry) {
    std::string current;
    bool inSection = section.empty();
    size_t insertAt = section.empty() ? 0 : std::string::npos;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        std::string_view name;
        if (SectionOf(line, &name)) {
            if (inSection) break;
            inSection = name == section;
            if (inSection) insertAt = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!line.empty()) insertAt = i + 1;
        size_t equals = line.find('=');
        if (equals != std::string_view::npos && TrimRight(line.substr(0, equals)) == key) {
            lines[i] = entry;
            return;
        }
    }
    if (insertAt != std::string::npos) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
        return;
    }
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
}

}  // namespace

IniStore& IniStore::Instance() {
    static IniStore store;
    return store;
}

std::string IniStore::CompositeKey(std::string_view section, std::string_view key) {
    std::string composite(section);
    composite += ' ';
    composite += key;
    return composite;
}

void IniStore::Clear() {
    path_.clear();
    entries_.clear();
}

bool IniStore::Load(const std::string& path, bool createIfMissing) {
    if (!path_.empty() && path == path_) return true;
    std::string text;
    if (!ReadTextFile(path, &text)) {
        if (!createIfMissing) return false;
        std::ofstream created(path, std::ios::binary | std::ios::app);
        if (!created) return false;
        path_ = path;
        return true;
    }
    Parse(text);
    path_ = path;
    return true;
}

void IniStore::Parse(std::string_view text) {
    std::string section;
    for (const std::string& raw : SplitLines(text)) {
        std::string_view line = Trim(raw);
        if (line.empty()) continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            std::string_view name;
            if (SectionOf(line, &name)) section = name;
            continue;
        }
        std::string_view key = TrimRight(line.substr(0, equals));
        std::string_view value = TrimLeft(line.substr(equals + 1));
        entries_[CompositeKey(section, key)] = std::string(value);
    }
}

const std::string* IniStore::Find(std::string_view section, std::string_view key) const {
    auto at = entries_.find(CompositeKey(section, key));
    return at == entries_.end() ? nullptr : &at->second;
}

std::string IniStore::GetString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    const std::string* value = Find(section, key);
    return value ? *value : std::string(fallback);
}

int IniStore::GetInt(std::string_view section, std::string_view key, int fallback) const {
    const std::string* value = Find(section, key);
    return value ? LeadingInt(*value) : fallback;
}

bool IniStore::GetBool(std::string_view section, std::string_view key, bool fallback) const {
    const std::string* value = Find(section, key);
    return value ? LeadingInt(*value) != 0 : fallback;
}

char IniStore::GetChar(std::string_view section, std::string_view key, char fallback) const {
    const std::string* value = Find(section, key);
    return value && !value->empty() ? value->front() : fallback;
}

COLORREF IniStore::GetColor(std::string_view section, std::string_view key,
                            COLORREF fallback) const {
    const std::string* value = Find(section, key);
    if (!value || value->empty()) return fallback;
    int red = 0, green = 0, blue = 0;
    // A malformed or out-of-range colour is not guessed at: the default stays.
    if (std::sscanf(value->c_str(), "%d,%d,%d", &red, &green, &blue) != 3) return fallback;
    for (int part : {red, green, blue}) {
        if (part < 0 || part > 255) return fallback;
    }
    return RGB(red, green, blue);
}

int IniStore::GetIndex(std::string_view section, std::string_view key, int fallback,
                       int count) const {
    int index = GetInt(section, key, fallback);
    return index >= 0 && index < count ? index : fallback;
}

bool IniStore::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) {
    const std::string sectionLine = OneLine(section);
    const std::string keyLine = OneLine(key);
    const std::string valueLine = OneLine(value);
    // The memory copy holds what a later Load reads from the line.
    entries_[CompositeKey(sectionLine, keyLine)] = std::string(Trim(valueLine));
    if (path_.empty()) return false;
    std::string text;
    ReadTextFile(path_, &text);  // a missing file is written anew
    std::vector<std::string> lines = SplitLines(text);
    const bool crlf = text.find("\r\n") != std::string::npos;
    SetInLines(lines, sectionLine, keyLine, keyLine + "=" + valueLine);
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += crlf ? "\r\n" : "\n";
    }
    return ReplaceFile(path_, out);
}

bool IniStore::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniStore::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool IniStore::WriteChar(std::string_view section, std::string_view key, char value) {
    return WriteString(section, key, std::string(1, value));
}

bool IniStore::WriteColor(std::string_view section, std::string_view key, COLORREF value) {
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d,%d", static_cast<int>(value & 0xFF),
                  static_cast<int>((value >> 8) & 0xFF), static_cast<int>((value >> 16) & 0xFF));
    return WriteString(section, key, text);
}
