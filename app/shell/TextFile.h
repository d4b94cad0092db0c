#pragma once
// Whole-file reads and safe rewrites of the program's small text files.
#include <string>
#include <string_view>
#include <vector>

// The file's bytes; false when it cannot be opened.
bool ReadTextFile(const std::string& path, std::string* text);
// Lines without their terminator; "\r\n", "\n" and a lone "\r" all end a line. A last line
// without a terminator counts; an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);
// Writes the bytes to a temporary file beside `path` and renames it over `path`, so a crash
// leaves either the old file or the new one, never a part of either.
bool ReplaceFile(const std::string& path, std::string_view bytes);
