#pragma once
// The text form of the registry store. A file reads:
//
//   ORVANTA-REGISTRY 1
//   # a comment (also ';'); blank lines are ignored
//   [HKEY_CLASSES_ROOT\CLSID\{2A249D65-5AE0-402F-A973-32C5BE45C87C}\InprocServer32]
//   @=sz:"/opt/orvanta/Lamina.so"
//   "ThreadingModel"=sz:"Both"
//   "Merit"=dword:00200000
//   "FilterData"=hex:0100000000002000
//
// The first line names the format and its version. A "[...]" line opens a key: a root name, then
// the key's names separated by "\"; in names, control bytes, '%', DEL and bytes that are not UTF-8
// are written %XX. Each following line is one value of that key: "@" is the default (unnamed)
// value, any other name is quoted; then "=", a type and the data:
//   sz:"..."     text; \\ \" \n \r \t and \xHH (any byte) are its escapes
//   dword:HEX    a 32-bit number, 1 to 8 hex digits
//   hex:HEX      bytes, two hex digits each, possibly none
// Every key is written, also keys without values, so that empty keys survive. An empty file (or
// one of blank lines) is an empty registry; anything else that does not follow this form is
// corrupt. Keys nest at most kMaxRegistryDepth deep (RegistryTree.h).
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/os/RegistryTree.h"

inline constexpr std::string_view kRegistrySignature = "ORVANTA-REGISTRY 1";

struct RegistryParseError {
    size_t line = 0;  // 1-based
    std::string message;
};

std::string FormatRegistry(const RegistryTree& tree);
// On false, `error` says where and why; `tree` then holds an unspecified part of the text.
bool ParseRegistry(std::string_view text, RegistryTree& tree, RegistryParseError& error);

// The escapes of the format, for anyone writing registry text by hand (tests, tools).
std::string EscapeRegistryString(std::string_view text);
std::string EscapeRegistryKeyName(std::string_view name);
