#include "platform/os/RegistryFormat.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendHexByte(std::string& out, uint8_t byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

// Length of the well-formed UTF-8 sequence at text[pos], or 0 when the byte starts none.
size_t Utf8SequenceLength(std::string_view text, size_t pos) {
    auto at = [&](size_t i) -> unsigned { return static_cast<unsigned char>(text[pos + i]); };
    auto continuation = [&](size_t i, unsigned low = 0x80, unsigned high = 0xBF) {
        return pos + i < text.size() && at(i) >= low && at(i) <= high;
    };
    unsigned lead = at(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
    if (lead == 0xE0) return continuation(1, 0xA0) && continuation(2) ? 3 : 0;
    if (lead == 0xED) return continuation(1, 0x80, 0x9F) && continuation(2) ? 3 : 0;
    if (lead >= 0xE1 && lead <= 0xEF) return continuation(1) && continuation(2) ? 3 : 0;
    if (lead == 0xF0) return continuation(1, 0x90) && continuation(2) && continuation(3) ? 4 : 0;
    if (lead == 0xF4)
        return continuation(1, 0x80, 0x8F) && continuation(2) && continuation(3) ? 4 : 0;
    if (lead >= 0xF1 && lead <= 0xF3)
        return continuation(1) && continuation(2) && continuation(3) ? 4 : 0;
    return 0;
}

// Copies text, replacing each byte that `plain` refuses (and every byte outside well-formed
// UTF-8) with `escape(byte)`.
template <class Plain, class Escape>
std::string EscapeBytes(std::string_view text, Plain plain, Escape escape) {
    std::string out;
    out.reserve(text.size() + 2);
    for (size_t pos = 0; pos < text.size();) {
        size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) {
            escape(out, static_cast<uint8_t>(text[pos]));
            ++pos;
        } else if (length == 1 && !plain(text[pos])) {
            escape(out, static_cast<uint8_t>(text[pos]));
            ++pos;
        } else {
            out.append(text.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

void FormatValue(std::string& out, const std::string& name, const RegistryValue& value) {
    if (name.empty()) {
        out += '@';
    } else {
        out += '"';
        out += EscapeRegistryString(name);
        out += '"';
    }
    out += '=';
    if (const auto* text = std::get_if<std::string>(&value)) {
        out += "sz:\"";
        out += EscapeRegistryString(*text);
        out += '"';
    } else if (const auto* number = std::get_if<uint32_t>(&value)) {
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(*number >> shift) & 0x0F];
    } else {
        out += "hex:";
        for (uint8_t byte : std::get<std::vector<uint8_t>>(value)) AppendHexByte(out, byte);
    }
    out += '\n';
}

void FormatKey(std::string& out, std::string& path, const RegistryKey& key, bool isRoot) {
    if (!isRoot || !key.Values().empty()) {
        out += "\n[";
        out += path;
        out += "]\n";
        for (const auto& [name, value] : key.Values()) FormatValue(out, name, value);
    }
    for (const RegistryKey* sub : key.SubKeys()) {
        size_t mark = path.size();
        path += '\\';
        path += EscapeRegistryKeyName(sub->Name());
        FormatKey(out, path, *sub, false);
        path.resize(mark);
    }
}

// Reads one line of the text at a time, with its number.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (pos_ > text_.size() ||
            (pos_ == text_.size() && !text_.empty() && text_.back() == '\n')) {
            return false;
        }
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    size_t Number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    size_t number_ = 0;
};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// A quoted string at the front of `text`; consumes it.
std::optional<std::string> ReadQuoted(std::string_view& text, std::string& why) {
    if (text.empty() || text.front() != '"') {
        why = "expected '\"'";
        return std::nullopt;
    }
    std::string out;
    size_t pos = 1;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '"') {
            text.remove_prefix(pos);
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= text.size()) break;
        char e = text[pos++];
        switch (e) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                int high = pos < text.size() ? HexValue(text[pos]) : -1;
                int low = pos + 1 < text.size() ? HexValue(text[pos + 1]) : -1;
                if (high < 0 || low < 0) {
                    why = "\\x needs two hex digits";
                    return std::nullopt;
                }
                out += static_cast<char>(high << 4 | low);
                pos += 2;
                break;
            }
            default:
                why = std::string("unknown escape \\") + e;
                return std::nullopt;
        }
    }
    why = "unterminated string";
    return std::nullopt;
}

std::optional<std::string> UnescapeKeyName(std::string_view name) {
    std::string out;
    for (size_t pos = 0; pos < name.size(); ++pos) {
        if (name[pos] != '%') {
            out += name[pos];
            continue;
        }
        int high = pos + 1 < name.size() ? HexValue(name[pos + 1]) : -1;
        int low = pos + 2 < name.size() ? HexValue(name[pos + 2]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high << 4 | low);
        pos += 2;
    }
    return out;
}

RegistryKey* ParseKeyHeader(std::string_view header, RegistryTree& tree, std::string& why) {
    // header is the text between '[' and the final ']'.
    size_t rootEnd = header.find('\\');
    std::string_view rootName = header.substr(0, rootEnd);
    std::optional<RegistryRoot> root = RegistryRootFromName(rootName);
    if (!root) {
        why = "unknown root key \"" + std::string(rootName) + "\"";
        return nullptr;
    }
    RegistryKey* key = &tree.Root(*root);
    if (rootEnd == std::string_view::npos) return key;
    std::string_view rest = header.substr(rootEnd + 1);
    size_t depth = 0;
    while (true) {
        size_t end = rest.find('\\');
        std::string_view part = rest.substr(0, end);
        if (part.empty()) {
            why = "empty key name";
            return nullptr;
        }
        std::optional<std::string> name = UnescapeKeyName(part);
        if (!name) {
            why = "malformed %XX escape in a key name";
            return nullptr;
        }
        if (++depth > kMaxRegistryDepth) {
            why = "keys nested too deeply";
            return nullptr;
        }
        key = &key->CreateSubKey(*name);
        if (end == std::string_view::npos) return key;
        rest.remove_prefix(end + 1);
    }
}

bool ParseHexDigits(std::string_view text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 != 0) return false;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexValue(text[i]);
        int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

bool ParseValueLine(std::string_view line, RegistryKey& key, std::string& why) {
    std::string name;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else {
        std::optional<std::string> quoted = ReadQuoted(line, why);
        if (!quoted) return false;
        if (quoted->empty()) {
            why = "the default value is written @, not \"\"";
            return false;
        }
        name = std::move(*quoted);
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') {
        why = "expected '=' after the value name";
        return false;
    }
    line = Trim(line.substr(1));
    if (line.starts_with("sz:")) {
        line.remove_prefix(3);
        std::optional<std::string> text = ReadQuoted(line, why);
        if (!text) return false;
        if (!Trim(line).empty()) {
            why = "text after the closing quote";
            return false;
        }
        key.SetValue(name, std::move(*text));
    } else if (line.starts_with("dword:")) {
        line.remove_prefix(6);
        if (line.empty() || line.size() > 8) {
            why = "a dword has 1 to 8 hex digits";
            return false;
        }
        uint32_t number = 0;
        for (char c : line) {
            int digit = HexValue(c);
            if (digit < 0) {
                why = "a dword has 1 to 8 hex digits";
                return false;
            }
            number = number << 4 | static_cast<uint32_t>(digit);
        }
        key.SetValue(name, number);
    } else if (line.starts_with("hex:")) {
        std::vector<uint8_t> bytes;
        if (!ParseHexDigits(line.substr(4), bytes)) {
            why = "binary data is pairs of hex digits";
            return false;
        }
        key.SetValue(name, std::move(bytes));
    } else {
        why = "unknown value type (sz, dword or hex)";
        return false;
    }
    return true;
}

}  // namespace

std::string EscapeRegistryString(std::string_view text) {
    return EscapeBytes(
        text, [](char c) { return c >= 0x20 && c != 0x7F && c != '"' && c != '\\'; },
        [](std::string& out, uint8_t byte) {
            switch (byte) {
                case '\\':
                    out += "\\\\";
                    return;
                case '"':
                    out += "\\\"";
                    return;
                case '\n':
                    out += "\\n";
                    return;
                case '\r':
                    out += "\\r";
                    return;
                case '\t':
                    out += "\\t";
                    return;
                default:
                    out += "\\x";
                    AppendHexByte(out, byte);
            }
        });
}

std::string EscapeRegistryKeyName(std::string_view name) {
    return EscapeBytes(
        name, [](char c) { return c >= 0x20 && c != 0x7F && c != '%'; },
        [](std::string& out, uint8_t byte) {
            out += '%';
            AppendHexByte(out, byte);
        });
}

std::string FormatRegistry(const RegistryTree& tree) {
    std::string out(kRegistrySignature);
    out += '\n';
    for (RegistryRoot root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        std::string path = RegistryRootName(root);
        FormatKey(out, path, tree.Root(root), true);
    }
    return out;
}

bool ParseRegistry(std::string_view text, RegistryTree& tree, RegistryParseError& error) {
    LineReader lines(text);
    std::string_view line;
    bool signed_ = false;
    RegistryKey* key = nullptr;
    std::string why;
    while (lines.Next(line)) {
        line = Trim(line);
        if (!signed_) {
            if (line.empty()) continue;
            if (line != kRegistrySignature) {
                error = {lines.Number(), "not a registry store (expected \"" +
                                             std::string(kRegistrySignature) + "\")"};
                return false;
            }
            signed_ = true;
            continue;
        }
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                error = {lines.Number(), "a key line ends with ']'"};
                return false;
            }
            key = ParseKeyHeader(line.substr(1, line.size() - 2), tree, why);
            if (!key) {
                error = {lines.Number(), why};
                return false;
            }
            continue;
        }
        if (line.front() != '@' && line.front() != '"') {
            error = {lines.Number(), "expected a [key] or a value line"};
            return false;
        }
        if (!key) {
            error = {lines.Number(), "a value before the first [key]"};
            return false;
        }
        if (!ParseValueLine(line, *key, why)) {
            error = {lines.Number(), why};
            return false;
        }
    }
    return true;
}
