// A registry file as it may lie on disk after a crash, a bad edit or a hostile user. Whatever
// parses must format to text that parses again to the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/RegistryFormat.h"
#include "platform/os/RegistryTree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryTree tree;
    RegistryParseError error;
    if (!ParseRegistry(text, tree, error)) {
        if (error.message.empty() || error.line == 0) __builtin_trap();
        return 0;
    }
    std::string formatted = FormatRegistry(tree);
    RegistryTree again;
    RegistryParseError againError;
    if (!ParseRegistry(formatted, again, againError)) __builtin_trap();
    if (FormatRegistry(again) != formatted) __builtin_trap();
    return 0;
}
