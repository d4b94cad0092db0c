#include "app/shell/DirectXVersion.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/RegistryStore.h"

bool ParseDirectXVersion(std::string_view text, int& major, int& minor) {
    std::vector<int> numbers;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    while (true) {
        int value = 0;
        auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || next == at || value < 0) return false;
        numbers.push_back(value);
        at = next;
        if (at == end) break;
        if (*at != '.' || numbers.size() == 4) return false;
        ++at;
    }
    if (numbers.size() < 3) return false;
    major = numbers[1];
    minor = numbers[2];
    return true;
}

bool GetDirectXVersion(const RegistryStore& registry, int& major, int& minor) {
    std::optional<std::string> version =
        registry.GetString(HKEY_LOCAL_MACHINE, kMediaPlatformKey, kMediaPlatformValue);
    if (!version) return false;
    // The value was read into a 256-byte buffer with its terminating zero.
    std::string_view text = *version;
    if (text.size() > 255) text = text.substr(0, 255);
    return ParseDirectXVersion(text, major, minor);
}
