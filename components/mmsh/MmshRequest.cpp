#include "components/mmsh/MmshRequest.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool IsToken(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u > 32 && u < 127 && c != ':' && c != '(' && c != ')' && c != ',' && c != '"';
    });
}

// Pragma tokens are matched by prefix: one client glues "Connection: Close" onto a value.
void ReadPragma(std::string_view value, bool& play, std::string& clientGuid) {
    while (!value.empty()) {
        size_t comma = value.find(',');
        std::string_view token = Trim(value.substr(0, comma));
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
        if (StartsWithNoCase(token, "xPlayStrm=")) {
            play = token.substr(10).starts_with('1');
        } else if (StartsWithNoCase(token, "xClientGUID=")) {
            clientGuid = std::string(token.substr(12, 80));
        }
    }
}

}  // namespace

MmshParseState MmshRequestParser::Feed(std::span<const char> bytes) {
    if (state_ != MmshParseState::NeedMore) return state_;
    size_t searchFrom = buffer_.size() >= 3 ? buffer_.size() - 3 : 0;
    size_t room = kMaxRequestBytes - buffer_.size();
    buffer_.append(bytes.data(), std::min(room, bytes.size()));
    std::string_view text(buffer_);
    size_t end = std::string_view::npos;
    for (size_t i = searchFrom; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        if (i >= 1 && text[i - 1] == '\n') { end = i; break; }
        if (i >= 2 && text[i - 1] == '\r' && text[i - 2] == '\n') { end = i; break; }
    }
    if (end == std::string_view::npos) {
        if (bytes.size() > room || buffer_.size() >= kMaxRequestBytes) state_ = MmshParseState::TooLarge;
        return state_;
    }
    state_ = Parse(text.substr(0, end), request_);
    buffer_.clear();
    buffer_.shrink_to_fit();
    return state_;
}

MmshParseState MmshRequestParser::Parse(std::string_view block, MmshRequest& out) {
    std::vector<std::string_view> lines;
    while (!block.empty()) {
        size_t nl = block.find('\n');
        std::string_view line = block.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        block = nl == std::string_view::npos ? std::string_view() : block.substr(nl + 1);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) return MmshParseState::Malformed;

    // Request line: METHOD SP target SP HTTP/1.x
    std::string_view requestLine = lines[0];
    size_t sp1 = requestLine.find(' ');
    size_t sp2 = sp1 == std::string_view::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos) return MmshParseState::Malformed;
    std::string_view method = requestLine.substr(0, sp1);
    std::string_view target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string_view version = requestLine.substr(sp2 + 1);
    if (!IsToken(method) || target.empty() || target.find(' ') != std::string_view::npos ||
        !version.starts_with("HTTP/1."))
        return MmshParseState::Malformed;

    MmshRequest request;
    request.method = std::string(method);
    request.target = std::string(target);
    bool play = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(Trim(line.substr(0, colon)))) return MmshParseState::Malformed;
        std::string_view name = Trim(line.substr(0, colon));
        std::string_view value = Trim(line.substr(colon + 1));
        if (EqualsNoCase(name, "Pragma"))
            ReadPragma(value, play, request.clientGuid);
        else if (EqualsNoCase(name, "User-Agent"))
            request.userAgent = std::string(value.substr(0, 200));
    }

    if (method == "POST") {
        request.kind = MmshRequestKind::Log;
    } else if (method == "GET") {
        bool mediaPlayer = StartsWithNoCase(request.userAgent, "NSPlayer/") ||
                           StartsWithNoCase(request.userAgent, "NSServer/") || !request.clientGuid.empty();
        request.kind = !mediaPlayer ? MmshRequestKind::Download
                       : play       ? MmshRequestKind::Play
                                    : MmshRequestKind::Describe;
    } else {
        out = std::move(request);
        return MmshParseState::NotSupported;
    }
    out = std::move(request);
    return MmshParseState::Complete;
}
