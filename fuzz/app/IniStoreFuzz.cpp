// "config.ini" as any editor or a crash may leave it. Loading the file and parsing its text give
// the same entries, no entry holds a line break, and a value written back (whatever bytes it
// holds) reads back as one entry on one line.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/shell/IniStore.h"
#include "app/shell/TextFile.h"

namespace {

std::string TempFile() {
    static const std::string path = [] {
        char name[] = "/tmp/ini-store-fuzz-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0) __builtin_trap();
        close(fd);
        return std::string(name);
    }();
    return path;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string path = TempFile();
    if (!ReplaceFile(path, text)) __builtin_trap();

    IniStore loaded;
    if (!loaded.Load(path, false)) __builtin_trap();
    IniStore parsed;
    parsed.Parse(text);
    if (loaded.Entries() != parsed.Entries()) __builtin_trap();
    for (const auto& [key, value] : loaded.Entries()) {
        if (HasLineBreak(key) || HasLineBreak(value)) __builtin_trap();
        if (!value.empty() && (value.front() == ' ' || value.front() == '\t')) __builtin_trap();
    }

    // The input as a value of a fresh file.
    if (!ReplaceFile(path, "")) __builtin_trap();
    IniStore written;
    if (!written.Load(path, false)) __builtin_trap();
    if (!written.WriteString("S", "k", text)) __builtin_trap();
    IniStore again;
    if (!again.Load(path, false)) __builtin_trap();
    if (again.Entries().size() != 1) __builtin_trap();
    if (again.GetString("S", "k", "") != written.GetString("S", "k", "")) __builtin_trap();
    return 0;
}
